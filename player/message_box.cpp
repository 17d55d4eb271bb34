#include "player/message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include "player/trace.h"

namespace {

// More than a box can show in a few screens of wrapped lines: a longer text (a path of
// megabytes handed over) keeps its start and end, so laying it out stays quick.
constexpr qsizetype kMostShown = 2000;

QString Bounded(const QString& text) {
    if (text.size() <= kMostShown) return text;
    return text.left(kMostShown / 2) + QStringLiteral("...") + text.right(kMostShown / 2);
}

// The box stands over the program's window, also when that window is not the active one
// (a hand-over while another program has the focus).
QWidget* Owner(QWidget* parent) {
    if (parent) return parent->window();
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && top->windowType() == Qt::Window) return top;
    }
    return nullptr;
}

}  // namespace

void ShowMessageBox(QWidget* parent, const QString& message, const QString& file, BoxIcon icon) {
    const QMessageBox::Icon shown = icon == BoxIcon::Stop          ? QMessageBox::Critical
                                    : icon == BoxIcon::Information ? QMessageBox::Information
                                                                   : QMessageBox::Warning;
    QMessageBox box(shown, QStringLiteral("Corvane"), Bounded(message), QMessageBox::Ok,
                    Owner(parent));
    box.setTextFormat(Qt::PlainText);
    if (!file.isEmpty()) {
        box.setInformativeText(Bounded(file));
        // A file named "<b>x</b>.wav" is shown as it is, never as rich text.
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
            label->setTextFormat(Qt::PlainText);
    }
    if (TraceEnabled()) QTimer::singleShot(0, box.button(QMessageBox::Ok), &QAbstractButton::click);
    box.raise();
    box.activateWindow();
    box.exec();
}
