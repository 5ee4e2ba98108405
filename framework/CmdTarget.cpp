#include "framework/CmdTarget.h"

#include "framework/CmdUI.h"

CCmdTarget::CCmdTarget() : m_pLife(std::make_shared<char>(0)) {}

CCmdTarget::~CCmdTarget() = default;

bool CCmdTarget::OnCmdMsg(unsigned id, CCmdUI* ui) {
    if (ui == nullptr) {
        const auto it = m_commands.find(id);
        if (it == m_commands.end() || !it->second) {
            return false;
        }
        // A copy, so a handler may replace its own registration while it runs.
        const CommandHandler handler = it->second;
        handler();
        return true;
    }
    const auto it = m_updates.find(id);
    if (it == m_updates.end() || !it->second) {
        return false;
    }
    const UpdateHandler handler = it->second;
    handler(*ui);
    return true;
}

bool CCmdTarget::HasCommandHandler(unsigned id) const {
    const auto it = m_commands.find(id);
    return it != m_commands.end() && it->second;
}

void CCmdTarget::AddCommandHandler(unsigned id, CommandHandler handler) {
    m_commands[id] = std::move(handler);
}

void CCmdTarget::AddUpdateHandler(unsigned id, UpdateHandler handler) {
    m_updates[id] = std::move(handler);
}
