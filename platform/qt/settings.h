// The program's persistent settings: organisation "Brandolin", application "Corvane",
// group "1.0" (~/.config/Brandolin/Corvane.conf on Linux).
#pragma once

#include <QSettings>
#include <memory>

// Opens the settings with the "1.0" group entered. Re-reads the backing store first, so a
// value another process wrote is seen.
std::unique_ptr<QSettings> OpenCorvaneSettings();
