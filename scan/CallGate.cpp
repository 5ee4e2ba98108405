#include "scan/CallGate.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

struct CCallGate::Request {
    enum class State { Posted, Running, Done, Abandoned };
    std::function<void()> fn;
    State state = State::Posted;
};

namespace {

// A plain posted event: no method looked up by name and no call object per hand-over.
const QEvent::Type kRunNextEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

// Lives on the user-interface thread; each posted event runs the next queued request.
class CCallGateReceiver : public QObject {
public:
    explicit CCallGateReceiver(std::shared_ptr<CCallGate::Core> core) : m_core(std::move(core)) {}

    bool event(QEvent* e) override {
        if (e->type() != kRunNextEvent)
            return QObject::event(e);
        CCallGate::RunNext(m_core);
        return true;
    }

private:
    const std::shared_ptr<CCallGate::Core> m_core;
};

CCallGate::CCallGate()
    : m_core(std::make_shared<Core>()),
      m_pUiThread(QThread::currentThread()),
      m_pReceiver(new CCallGateReceiver(m_core)) {}

CCallGate::~CCallGate() {
    Close();
    // Deleting the receiver drops the events still queued for it.
    delete m_pReceiver;
}

bool CCallGate::Call(std::function<void()> fn) {
    if (!fn) {
        return false;
    }
    if (QThread::currentThread() == m_pUiThread) {
        {
            std::lock_guard lock(m_core->mutex);
            if (m_core->bClosed) {
                return false;
            }
        }
        fn();
        return true;
    }

    auto request = std::make_shared<Request>();
    request->fn = std::move(fn);
    std::unique_lock lock(m_core->mutex);
    if (m_core->bClosed) {
        return false;
    }
    // Posting under the lock means nothing is posted once Close has returned, so the receiver
    // can be deleted safely after it.
    m_core->queue.push_back(request);
    QCoreApplication::postEvent(m_pReceiver, new QEvent(kRunNextEvent));
    ++m_core->nWaiting;
    m_core->released.wait(lock, [&] {
        return request->state == Request::State::Done ||
               (m_core->bClosed && request->state == Request::State::Posted);
    });
    --m_core->nWaiting;
    if (request->state == Request::State::Done) {
        return true;
    }
    request->state = Request::State::Abandoned;
    // Destroy the captures here, on the caller's thread, while what they refer to still exists.
    std::function<void()> dropped = std::move(request->fn);
    lock.unlock();
    return false;
}

void CCallGate::RunNext(const std::shared_ptr<Core>& core) {
    std::function<void()> fn;
    std::shared_ptr<Request> request;
    {
        std::lock_guard lock(core->mutex);
        if (core->queue.empty()) {
            return;
        }
        request = std::move(core->queue.front());
        core->queue.pop_front();
        if (core->bClosed || request->state != Request::State::Posted) {
            return;
        }
        request->state = Request::State::Running;
        fn = std::move(request->fn);
    }
    fn();
    fn = nullptr;
    {
        std::lock_guard lock(core->mutex);
        request->state = Request::State::Done;
    }
    core->released.notify_all();
}

void CCallGate::Close() {
    {
        std::lock_guard lock(m_core->mutex);
        m_core->bClosed = true;
    }
    m_core->released.notify_all();
}

bool CCallGate::IsClosed() const {
    std::lock_guard lock(m_core->mutex);
    return m_core->bClosed;
}

int CCallGate::WaitingCalls() const {
    std::lock_guard lock(m_core->mutex);
    return m_core->nWaiting;
}
