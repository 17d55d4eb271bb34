// A push button that draws one of four images and never its text: pressed, else focused,
// else disabled, else up (a missing image falls through to the next rule).
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

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap up_, pressed_, focused_, disabled_;
};
