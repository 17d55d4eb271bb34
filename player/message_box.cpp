#include "player/message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include "player/trace.h"

void ShowMessageBox(QWidget* parent, const QString& message, const QString& file, BoxIcon icon) {
    const QMessageBox::Icon shown = icon == BoxIcon::Stop          ? QMessageBox::Critical
                                    : icon == BoxIcon::Information ? QMessageBox::Information
                                                                   : QMessageBox::Warning;
    QMessageBox box(shown, QStringLiteral("Corvane"), message, QMessageBox::Ok,
                    parent ? parent : QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    if (!file.isEmpty()) {
        box.setInformativeText(file);
        // A file named "<b>x</b>.wav" is shown as it is, never as rich text.
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
            label->setTextFormat(Qt::PlainText);
    }
    if (TraceEnabled()) QTimer::singleShot(0, box.button(QMessageBox::Ok), &QAbstractButton::click);
    box.raise();
    box.activateWindow();
    box.exec();
}
