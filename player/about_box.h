// The about dialog: the logo, the program's name, the platform it runs on, its version and
// a one-line notice. It ends with OK, or with 2 (cancel) when a hand-over arrives.
#pragma once

#include <QDialog>

class QLabel;

class CAboutBox : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutBox(QWidget* parent = nullptr);

    // "For <system>\n<kind of device>", the second line of the box.
    static QString PlatformText();

  private:
    QLabel* title_ = nullptr;     // "Corvane", 18-pixel bold
    QLabel* platform_ = nullptr;  // the platform line, 12-pixel bold
};
