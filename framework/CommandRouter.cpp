#include "framework/CommandRouter.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QStatusTipEvent>
#include <QWidget>
#include <algorithm>

#include "framework/CommandIds.h"
#include "framework/ResourceStrings.h"
#include "framework/Resources.h"

unsigned CommandIdOf(const QAction* action) {
    if (action == nullptr) {
        return 0;
    }
    bool ok = false;
    const unsigned id = action->property(kCommandIdProperty).toUInt(&ok);
    return ok ? id : 0;
}

CCommandRouter::CCommandRouter(QObject* parent)
    : QObject(parent), m_idle([this] { UpdateAll(); }) {}

CCommandRouter::~CCommandRouter() = default;

void CCommandRouter::SetTarget(Slot slot, CCmdTarget* target) {
    Entry& e = m_targets[static_cast<std::size_t>(slot)];
    e.pTarget = target;
    e.life = target != nullptr ? target->LifeToken() : std::weak_ptr<void>();
}

CCmdTarget* CCommandRouter::Target(Slot slot) const {
    return Live(slot);
}

CCmdTarget* CCommandRouter::Live(Slot slot) const {
    const Entry& e = m_targets[static_cast<std::size_t>(slot)];
    if (e.pTarget == nullptr || e.life.expired()) {
        return nullptr;
    }
    return e.pTarget;
}

void CCommandRouter::AddAction(QAction* action, unsigned id) {
    if (action == nullptr) {
        return;
    }
    action->setProperty(kCommandIdProperty, id);
    const QString resource = LoadStringResource(id);
    if (!resource.isEmpty()) {
        action->setStatusTip(PromptPart(resource));
        const QString tip = TooltipPart(resource);
        if (!tip.isEmpty()) {
            action->setToolTip(tip);
        }
    }
    if (!m_actions.contains(action)) {
        m_actions.append(action);
        connect(action, &QAction::triggered, this, [this, id] { Execute(id); });
        connect(action, &QAction::hovered, this, [this, id] { ShowPrompt(PromptFor(id)); });
    }
}

QList<QAction*> CCommandRouter::Actions(unsigned id) const {
    QList<QAction*> out;
    for (const QPointer<QAction>& a : m_actions) {
        if (a && CommandIdOf(a) == id) {
            out.append(a);
        }
    }
    return out;
}

void CCommandRouter::WatchMenu(QMenu* menu) {
    if (menu == nullptr) {
        return;
    }
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        std::vector<unsigned> ids;
        for (QAction* a : menu->actions()) {
            const unsigned id = CommandIdOf(a);
            if (id != 0 && std::find(ids.begin(), ids.end(), id) == ids.end()) {
                ids.push_back(id);
            }
        }
        for (unsigned id : ids) {
            UpdateCommand(id);
        }
    });
    connect(menu, &QMenu::aboutToHide, this, &CCommandRouter::ShowIdlePrompt);
}

void CCommandRouter::WatchStatusTips(QWidget* window) {
    if (window != nullptr) {
        window->installEventFilter(this);
    }
}

bool CCommandRouter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (tip.isEmpty()) {
            ShowIdlePrompt();
        } else {
            ShowPrompt(tip);
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

bool CCommandRouter::Execute(unsigned id) {
    bool handled = false;
    for (Slot slot : {Slot::View, Slot::Frame, Slot::Application}) {
        CCmdTarget* target = Live(slot);
        if (target != nullptr && target->OnCmdMsg(id, nullptr)) {
            handled = true;
            break;
        }
    }
    // A command usually changes what the others may do; show it without waiting for idle.
    UpdateAll();
    return handled;
}

void CCommandRouter::UpdateCommand(unsigned id) {
    const QList<QAction*> list = Actions(id);
    if (list.isEmpty()) {
        return;
    }
    CCmdUI ui(id, std::vector<QAction*>(list.begin(), list.end()));
    const Slot order[] = {Slot::View, Slot::Frame, Slot::Application};
    for (Slot slot : order) {
        CCmdTarget* target = Live(slot);
        if (target != nullptr && target->OnCmdMsg(id, &ui)) {
            if (!ui.EnableChanged()) {
                // The handler only checked or renamed: enabling follows the command handler.
                break;
            }
            return;
        }
    }
    bool runs = false;
    for (Slot slot : order) {
        CCmdTarget* target = Live(slot);
        if (target != nullptr && target->HasCommandHandler(id)) {
            runs = true;
            break;
        }
    }
    ui.Enable(runs);
}

std::vector<unsigned> CCommandRouter::KnownIds() const {
    std::vector<unsigned> ids;
    for (const QPointer<QAction>& a : m_actions) {
        const unsigned id = a ? CommandIdOf(a) : 0;
        if (id != 0 && std::find(ids.begin(), ids.end(), id) == ids.end()) {
            ids.push_back(id);
        }
    }
    return ids;
}

void CCommandRouter::UpdateAll() {
    m_actions.removeAll(QPointer<QAction>());
    for (unsigned id : KnownIds()) {
        UpdateCommand(id);
    }
}

void CCommandRouter::StartIdleUpdates(int intervalMs) {
    m_idle.Start(intervalMs);
}

void CCommandRouter::StopIdleUpdates() {
    m_idle.Stop();
}

void CCommandRouter::SetPromptCallback(PromptCallback callback) {
    m_promptCallback = std::move(callback);
}

QString CCommandRouter::IdleText() const {
    return LoadStringResource(IDS_IDLE_MESSAGE);
}

QString CCommandRouter::PromptFor(unsigned id) const {
    const QString prompt = PromptPart(LoadStringResource(id));
    return prompt.isEmpty() ? IdleText() : prompt;
}

void CCommandRouter::ShowPrompt(const QString& prompt) {
    m_strLastPrompt = prompt;
    if (m_promptCallback) {
        m_promptCallback(prompt);
    }
}

void CCommandRouter::ShowIdlePrompt() {
    ShowPrompt(IdleText());
}
