#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "framework/CmdTarget.h"
#include "framework/CmdUI.h"
#include "framework/IdleUpdates.h"

class QAction;
class QMenu;
class QWidget;

// Every action that stands for a command carries its id in this property.
inline constexpr char kCommandIdProperty[] = "commandId";
// The command id of an action, 0 when it has none.
unsigned CommandIdOf(const QAction* action);

// Routes commands and their update handlers: the view first, then the frame, then the
// application; the first target that handles a command ends the routing. Update handlers run
// when a watched menu is about to show, on idle (a short while after an event), and after every
// command, so toolbar buttons follow state changes at once. A command with no update handler
// is enabled when some target runs it and disabled otherwise.
//
// Fly-by prompts: hovering an action (menu item or toolbar button) hands the prompt part of
// its string resource to the prompt callback; when no prompt shows any more the idle text
// (string 57345) goes there instead.
class CCommandRouter : public QObject {
    Q_OBJECT
public:
    enum class Slot { View = 0, Frame = 1, Application = 2 };
    using PromptCallback = std::function<void(const QString&)>;

    explicit CCommandRouter(QObject* parent = nullptr);
    ~CCommandRouter() override;

    // nullptr clears the slot. A target that is destroyed drops out by itself.
    void SetTarget(Slot slot, CCmdTarget* target);
    CCmdTarget* Target(Slot slot) const;

    // Gives `action` its id, the prompt as status tip and the tooltip from the string table,
    // and routes its triggering. One id may have several actions.
    void AddAction(QAction* action, unsigned id);
    QList<QAction*> Actions(unsigned id) const;

    // Update handlers of the menu's actions before it shows; idle prompt after it hides.
    void WatchMenu(QMenu* menu);
    // Status-tip events reaching `window` (toolbar buttons, menu items) become prompts.
    void WatchStatusTips(QWidget* window);

    // Routes the command; true when some target handled it.
    bool Execute(unsigned id);
    // Routes the update of one command (all its actions) or of every known command.
    void UpdateCommand(unsigned id);
    void UpdateAll();

    // Idle updates: `intervalMs` after an event that may change a command's state.
    void StartIdleUpdates(int intervalMs = 100);
    void StopIdleUpdates();
    bool IdleUpdatesRunning() const { return m_idle.Running(); }

    void SetPromptCallback(PromptCallback callback);
    // The prompt that hovering command `id` shows: its prompt part, else the idle text.
    QString PromptFor(unsigned id) const;
    QString IdleText() const;
    void ShowPrompt(const QString& prompt);
    void ShowIdlePrompt();
    QString LastPrompt() const { return m_strLastPrompt; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        CCmdTarget* pTarget = nullptr;
        std::weak_ptr<void> life;
    };
    CCmdTarget* Live(Slot slot) const;
    std::vector<unsigned> KnownIds() const;

    std::array<Entry, 3> m_targets;
    QList<QPointer<QAction>> m_actions;
    CIdleUpdates m_idle;
    PromptCallback m_promptCallback;
    QString m_strLastPrompt;
};
