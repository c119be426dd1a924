#pragma once
// What the program tells the desktop over the session bus while it is out of sight:
// its progress on the task bar's launcher and a notification. Neither waits for an
// answer, so a desktop without these services costs nothing.

#include <QString>

#include <optional>

namespace platform {

// The launcher of desktop entry `entryId` shows `fraction` (0 to 1) as a progress
// bar, or no bar when there is none. The com.canonical.Unity.LauncherEntry signal,
// read by KDE Plasma, Dash to Dock, Plank and others.
void showLauncherProgress(const QString& entryId, std::optional<double> fraction);

// A desktop notification through org.freedesktop.Notifications, sent without
// waiting for the reply.
void notify(const QString& entryId, const QString& summary, const QString& body);

}  // namespace platform
