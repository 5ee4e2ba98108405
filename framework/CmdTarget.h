#pragma once

#include <functional>
#include <memory>
#include <unordered_map>

class CCmdUI;

// Something that handles commands by id: the view, the frame, the application. Handlers are
// registered per id, the way a message table lists them; a derived class may also override
// OnCmdMsg to pass commands on to objects of its own.
class CCmdTarget {
public:
    using CommandHandler = std::function<void()>;
    using UpdateHandler = std::function<void(CCmdUI&)>;

    CCmdTarget();
    virtual ~CCmdTarget();
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // With `ui` null: runs the command. With `ui`: runs the command's update handler.
    // True when this target handled it, which ends the routing.
    virtual bool OnCmdMsg(unsigned id, CCmdUI* ui);
    // Whether the target runs command `id`; a command nobody runs is shown disabled.
    virtual bool HasCommandHandler(unsigned id) const;

    void AddCommandHandler(unsigned id, CommandHandler handler);
    void AddUpdateHandler(unsigned id, UpdateHandler handler);

    // Expires with the target, so a router never calls a destroyed one.
    std::weak_ptr<void> LifeToken() const { return m_pLife; }

private:
    std::unordered_map<unsigned, CommandHandler> m_commands;
    std::unordered_map<unsigned, UpdateHandler> m_updates;
    std::shared_ptr<void> m_pLife;
};
