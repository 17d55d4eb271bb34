// The recording's waveform on the skin's parchment panel: its peaks, the part already played
// shaded, and a playhead that moves smoothly while the recording plays. A press or a drag
// moves the playback to that point. The overview is computed by a WaveformLoader once the
// session has started a new recording; the playhead's place is a PlayheadClock's.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdint>

#include "player/playhead_clock.h"
#include "player/waveform_loader.h"

class PlayerSession;

class WaveformView : public QWidget {
    Q_OBJECT
  public:
    explicit WaveformView(PlayerSession& session, QWidget* parent = nullptr);

    // The skin's scale: the playhead is drawn that much wider.
    void SetSkinScale(int scale);
    const WaveformOverview& Overview() const { return loader_.Overview(); }
    // Where the playhead is drawn, in ms of the recording.
    uint32_t PlayheadMs() const { return clock_.Position(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    // Follows the session's state: the animation runs only while the recording plays.
    void OnDisplayChanged();
    // Moves the playhead to where the engine and the time since its last report put it.
    void Advance();
    // The point of the recording under x, in ms, and the playhead's x (-1 when nothing is
    // loaded into the engine).
    uint32_t MsAt(double x) const;
    double HeadX() const;
    // Seeks to the point under x; while dragging, at most once per kSeekIntervalMs.
    void SeekAt(double x);
    void SeekPending();
    void OverviewChanged();

    PlayerSession& session_;
    WaveformLoader loader_;
    PlayheadClock clock_;
    QElapsedTimer elapsed_;  // the clock's time base
    QTimer animation_;
    QTimer seekThrottle_;
    bool seekPending_ = false;
    uint32_t dragTarget_ = 0;  // ms
    int peak_ = 0;             // the largest magnitude of the overview: it fills the height
    uint32_t shownDuration_ = 0;
    int skinScale_ = 1;
};
