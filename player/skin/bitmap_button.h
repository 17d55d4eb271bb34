// A push button that draws one of four images and never its text: pressed, else focused,
// else disabled, else up (a missing image falls through to the next rule). The focused
// image (a ring) is drawn only while the focus ring is shown, that is, while the user moves
// by keyboard. Enter and Return press the button like Space does.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

class BitmapButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit BitmapButton(const QString& text, QWidget* parent = nullptr);

    // Replaces the images (a null pixmap leaves that state to the next rule).
    void SetImages(QPixmap up, QPixmap pressed, QPixmap focused, QPixmap disabled);
    // The image the button shows in its current state.
    const QPixmap& CurrentImage() const;
    void SetFocusRingShown(bool shown);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QPixmap up_, pressed_, focused_, disabled_;
    bool focusRingShown_ = true;
};
