// A one-line text display drawn in its own colours: the whole control filled with
// backColor, the text in textColor, placed by textFormat. Text is always plain and never
// wrapped; a text wider than the control is drawn in a smaller font rather than clipped.
#pragma once

#include <QWidget>
#include <cstdint>

#include "player/skin/skin_palette.h"

// Screen readers hear a control's accessible name and, as its description, what it shows
// now: this sets the description and tells them it changed.
void ShowToScreenReaders(QWidget* control, const QString& shown);

class CTransparentStatic : public QWidget {
    Q_OBJECT
  public:
    enum TextFormat : int { Left = 0, Centre = 1, Right = 2 };

    explicit CTransparentStatic(const QString& text = QString(), QWidget* parent = nullptr);

    // The setters only store the value; the next paint uses it.
    void SetBackColor(ColorRef color) { backColor = color; }
    void SetTextColor(ColorRef color) { textColor = color; }
    void SetTextFormat(int format) { textFormat = format; }
    ColorRef GetBackColor() const { return backColor; }
    ColorRef GetTextColor() const { return textColor; }
    int GetTextFormat() const { return textFormat; }

    // Sets the text and repaints when it changed.
    void SetText(const QString& text);
    const QString& Text() const { return text_; }

    // Where the text is drawn, and the font it is drawn with: the control's own font, made
    // smaller when the text would not fit in it.
    QRect TextRect() const;
    QFont DrawingFont() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    ColorRef backColor = 0xFFFFFF;
    ColorRef textColor = 0;
    int textFormat = Left;
    QString text_;
};
