#pragma once

#include <QString>
#include <functional>

class QWidget;

// Set to a file path, this variable makes the program save its main window as a PNG once the
// platform shows it painted, then end: how the package test proves an installed copy starts.
inline constexpr char kStartupSnapshotVariable[] = "VORNAK_STARTUP_SNAPSHOT";

// From the event loop, waits until `window` is exposed, takes what the platform holds of it
// (the painted pixels, not a fresh render) and writes it to `path` as PNG. `done` gets true
// then, false when the window was not exposed within `timeoutMs`, was destroyed, or the file
// could not be written.
void ArmStartupSnapshot(QWidget* window, const QString& path, std::function<void(bool)> done,
                        int timeoutMs = 10000);
