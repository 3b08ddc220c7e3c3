#include "app/state/main_executor.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace quillmere {

void QtMainExecutor::post(std::function<void()> work) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

void ManualMainExecutor::post(std::function<void()> work) {
    {
        std::lock_guard guard(lock_);
        items_.push_back(std::move(work));
    }
    posted_.notify_all();
}

int ManualMainExecutor::runPending() {
    int count = 0;
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard guard(lock_);
            if (items_.empty()) return count;
            work = std::move(items_.front());
            items_.pop_front();
        }
        work();
        ++count;
    }
}

bool ManualMainExecutor::runUntil(const std::function<bool()>& done,
                                  std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        runPending();
        if (done()) return true;
        std::unique_lock guard(lock_);
        if (!posted_.wait_until(guard, deadline, [this] { return !items_.empty(); })) {
            guard.unlock();
            return done();
        }
    }
}

}  // namespace quillmere
