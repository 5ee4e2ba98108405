#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

// The icons a message box can carry.
enum class MessageIcon { Information, Stop, Exclamation };

// What a message box shows; handed to the hook below.
struct MessageBoxRecord {
    QString caption;  // the application title
    QString text;
    QString detail;  // the OS's reason, when there is one
    MessageIcon icon = MessageIcon::Information;
};

// Shows a modal box with an OK button, captioned with the application title (string 57344,
// "Vornak" when the table has none). `detail` goes into the box's detailed text, so the main
// text stays as given. Returns IDOK (1).
int AfxMessageBox(const QString& text, MessageIcon icon = MessageIcon::Information,
                  const QString& detail = QString(), QWidget* parent = nullptr);

// The detail for a failed device call: the OS's text for `errorNumber` and the device path.
QString OsErrorDetail(int errorNumber, const QString& devicePath = QString());

// A hook sees every box before it shows. When it returns a result the box is not shown and
// AfxMessageBox returns that result; tests use it to observe boxes without blocking.
using MessageBoxHook = std::function<std::optional<int>(const MessageBoxRecord&)>;
// Installs `hook` (an empty one removes it) and returns the previous one.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
