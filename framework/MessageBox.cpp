#include "framework/MessageBox.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <cstring>
#include <utility>

#include "framework/CommandIds.h"
#include "framework/ModalRun.h"
#include "framework/PushButtonStyle.h"
#include "framework/Resources.h"
#include "framework/SharedStyle.h"

namespace {

MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}

QMessageBox::Icon QtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Stop:
            return QMessageBox::Critical;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Information:
            break;
    }
    return QMessageBox::Information;
}

QString AppTitle() {
    const QString title = LoadStringResource(IDS_APP_TITLE);
    return title.isEmpty() ? QStringLiteral("Vornak") : title;
}

}  // namespace

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    return std::exchange(Hook(), std::move(hook));
}

int AfxMessageBox(const QString& text, MessageIcon icon, const QString& detail, QWidget* parent) {
    const MessageBoxRecord record{AppTitle(), text, detail, icon};
    if (Hook()) {
        // A copy: the hook may install another one while it runs.
        const MessageBoxHook hook = Hook();
        if (const std::optional<int> result = hook(record)) {
            return *result;
        }
    }
    QMessageBox box(QtIcon(icon), record.caption, record.text, QMessageBox::Ok, parent);
    // The platform's box buttons carry their text only, and the keyboard cues of every push
    // button of the program.
    for (QAbstractButton* button : box.buttons()) {
        button->setIcon(QIcon());
        button->setStyle(SharedStyle<CPushButtonStyle>());
    }
    if (!detail.isEmpty()) {
        box.setDetailedText(detail);
    }
    DoModal(box);
    return IDOK;
}

QString OsErrorDetail(int errorNumber, const QString& devicePath) {
    // strerror is not thread-safe; strerror_r (GNU flavour) hands back its own text.
    char buffer[256] = {};
    const char* reason = strerror_r(errorNumber, buffer, sizeof buffer);
    QString detail =
        QStringLiteral("%1 (errno %2)").arg(QString::fromLocal8Bit(reason)).arg(errorNumber);
    if (!devicePath.isEmpty()) {
        detail = devicePath + QStringLiteral(": ") + detail;
    }
    return detail;
}
