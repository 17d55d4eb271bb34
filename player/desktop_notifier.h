// Desktop notifications through org.freedesktop.Notifications on the session bus. Nothing,
// and no message, when there is no bus or no notification service: a notification is a
// courtesy, never needed.
#pragma once

#include <QString>

// Shows summary with body as a notification of the player; returns at once.
void NotifyDesktop(const QString& summary, const QString& body);
