#include "framework/CmdUI.h"

#include <QAction>

CCmdUI::CCmdUI(unsigned id, const std::vector<QAction*>& actions) : m_nID(id) {
    m_actions.reserve(actions.size());
    for (QAction* a : actions) {
        m_actions.emplace_back(a);
    }
}

void CCmdUI::Enable(bool on) {
    m_bEnableChanged = true;
    for (const QPointer<QAction>& a : m_actions) {
        if (a && a->isEnabled() != on) {
            a->setEnabled(on);
        }
    }
}

void CCmdUI::SetCheck(int check) {
    for (const QPointer<QAction>& a : m_actions) {
        if (!a) {
            continue;
        }
        if (!a->isCheckable()) {
            a->setCheckable(true);
        }
        if (a->isChecked() != (check != 0)) {
            a->setChecked(check != 0);
        }
    }
}

void CCmdUI::SetText(const QString& text) {
    for (const QPointer<QAction>& a : m_actions) {
        if (a && a->text() != text) {
            a->setText(text);
        }
    }
}
