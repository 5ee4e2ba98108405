#pragma once

#include <QPointer>
#include <QString>
#include <vector>

class QAction;

// The state of one command's user-interface items (menu item, toolbar button), handed to the
// update handlers. Every action carrying the id follows; widgets made from an action (toolbar
// buttons) follow the action.
class CCmdUI {
public:
    CCmdUI(unsigned id, const std::vector<QAction*>& actions);

    unsigned m_nID;

    void Enable(bool on = true);
    // 0 unchecked, 1 checked; anything else counts as checked.
    void SetCheck(int check = 1);
    void SetText(const QString& text);

    // Whether an update handler set the enable state (the router decides it otherwise).
    bool EnableChanged() const { return m_bEnableChanged; }

private:
    std::vector<QPointer<QAction>> m_actions;
    bool m_bEnableChanged = false;
};
