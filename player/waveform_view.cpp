#include "player/waveform_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "player/player_session.h"
#include "player/skin/skin_metrics.h"

namespace {

constexpr int kAnimationMs = 30;     // the playhead's steps while playing (about 33 a second)
constexpr int kSeekIntervalMs = 50;  // a drag seeks at most this often: each seek resets the device
// A recording whose loudest sample is quieter than this (1/64 of full scale) is drawn at its
// true height against it, so that near-silence does not fill the panel.
constexpr int kQuietPeak = 512;

}  // namespace

WaveformView::WaveformView(PlayerSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    setObjectName(QStringLiteral("waveform"));
    setAccessibleName(tr("Waveform"));
    setToolTip(tr("Click or drag to move in the message"));
    setCursor(Qt::PointingHandCursor);
    elapsed_.start();
    animation_.setInterval(kAnimationMs);
    connect(&animation_, &QTimer::timeout, this, &WaveformView::Advance);
    seekThrottle_.setSingleShot(true);
    seekThrottle_.setInterval(kSeekIntervalMs);
    connect(&seekThrottle_, &QTimer::timeout, this, &WaveformView::SeekPending);

    connect(&loader_, &WaveformLoader::OverviewChanged, this, &WaveformView::OverviewChanged);
    connect(&session, &PlayerSession::RecordingChanged, this, [this] {
        loader_.Load(session_.TempPath(), session_.RecordingDataBytes());
        clock_.Jump(session_.PositionMs(), elapsed_.elapsed());
        OnDisplayChanged();
    });
    // The panel fills in as the recording is decoded.
    connect(&session, &PlayerSession::RecordingGrew, this,
            [this] { loader_.Refresh(session_.TempPath(), session_.RecordingDataBytes()); });
    connect(&session, &PlayerSession::DisplayChanged, this, &WaveformView::OnDisplayChanged);
    connect(&session, &PlayerSession::Seeked, this, [this](uint32_t ms) {
        clock_.Jump(ms, elapsed_.elapsed());
        update();
    });
}

void WaveformView::SetSkinScale(int scale) {
    skinScale_ = scale;
    update();
}

void WaveformView::OverviewChanged() {
    const WaveformOverview& o = loader_.Overview();
    peak_ = 0;
    for (size_t b = 0; b < o.Buckets(); ++b) {
        peak_ = std::max({peak_, -static_cast<int>(o.low[b]), static_cast<int>(o.high[b])});
    }
    update();
}

void WaveformView::OnDisplayChanged() {
    if (session_.State() == Playing) {
        if (!animation_.isActive()) animation_.start();
    } else {
        animation_.stop();
    }
    Advance();
}

void WaveformView::Advance() {
    const double before = HeadX();
    clock_.Update(session_.PositionMs(), session_.State(), session_.Speed(), session_.DurationMs(),
                  elapsed_.elapsed());
    if (session_.DurationMs() != shownDuration_) {
        shownDuration_ = session_.DurationMs();
        update();
        return;
    }
    // Only the stretch the playhead crossed changes.
    const double after = HeadX();
    if (after == before) return;
    const int margin = skin::kPlayheadWidth * skinScale_ + 1;
    const auto left = static_cast<int>(std::floor(std::min(before, after))) - margin;
    const auto right = static_cast<int>(std::ceil(std::max(before, after))) + margin;
    update(QRect(left, 0, right - left, height()));
}

double WaveformView::HeadX() const {
    const uint32_t duration = session_.DurationMs();
    if (duration == 0) return -1;
    return static_cast<double>(std::min(clock_.Position(), duration)) * width() / duration;
}

uint32_t WaveformView::MsAt(double x) const {
    if (width() <= 0) return 0;
    const double share = std::clamp(x / width(), 0.0, 1.0);
    return static_cast<uint32_t>(std::llround(share * session_.DurationMs()));
}

void WaveformView::SeekAt(double x) {
    dragTarget_ = MsAt(x);
    if (seekThrottle_.isActive()) {
        seekPending_ = true;
        return;
    }
    session_.Seek(dragTarget_);
    seekThrottle_.start();
}

void WaveformView::SeekPending() {
    if (!seekPending_) return;
    seekPending_ = false;
    session_.Seek(dragTarget_);
    seekThrottle_.start();
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    seekThrottle_.stop();
    seekPending_ = false;
    SeekAt(event->position().x());
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) SeekAt(event->position().x());
}

void WaveformView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    SeekPending();  // the drag ends where the pointer was let go
    seekThrottle_.stop();
}

void WaveformView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const double headX = HeadX();
    const QRectF area(event->rect());
    if (headX > 0) {
        painter.fillRect(QRectF(0, 0, headX, height()).intersected(area),
                         ColorFromRef(skin::kWaveformPlayedBackColor));
    }

    // One column per device pixel, each the extremes of the buckets it covers, scaled so the
    // loudest peak_ fills the height.
    const WaveformOverview& o = loader_.Overview();
    if (!o.Empty() && width() > 0) {
        const qreal ratio = devicePixelRatioF();
        const qreal column = 1.0 / ratio;
        const auto columns = static_cast<size_t>(std::lround(width() * ratio));
        const size_t n = o.Buckets();
        const qreal middle = height() / 2.0;
        const qreal scale = middle / std::max(peak_, kQuietPeak);
        const QColor played = ColorFromRef(skin::kWaveformPlayedColor);
        const QColor ahead = ColorFromRef(skin::kWaveformColor);
        const auto first = static_cast<size_t>(std::max(0.0, std::floor(area.left() * ratio)));
        const auto last = std::min(columns, static_cast<size_t>(std::ceil(area.right() * ratio)));
        for (size_t c = first; c < last; ++c) {
            const size_t from = c * n / columns;
            const size_t to = std::max(from + 1, (c + 1) * n / columns);
            int low = o.low[from];
            int high = o.high[from];
            for (size_t b = from + 1; b < to; ++b) {
                low = std::min<int>(low, o.low[b]);
                high = std::max<int>(high, o.high[b]);
            }
            const qreal x = static_cast<qreal>(c) * column;
            const qreal top = middle - high * scale;
            // At least one device pixel, so that silence shows as a line.
            const qreal tall = std::max<qreal>((high - low) * scale, column);
            painter.fillRect(QRectF(x, top, column, tall), x < headX ? played : ahead);
        }
    }

    if (headX >= 0) {
        const qreal w = skin::kPlayheadWidth * skinScale_;
        const qreal x = std::clamp<qreal>(headX - w / 2, 0, width() - w);
        painter.fillRect(QRectF(x, 0, w, height()), ColorFromRef(skin::kPlayheadColor));
    }
}
