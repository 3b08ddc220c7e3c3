#include "app/state/main_executor.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace quillmere {

void QtMainExecutor::post(std::function<void()> work) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

void ManualMainExecutor::post(std::function<void()> work) {
    std::lock_guard guard(lock_);
    items_.push_back(std::move(work));
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

}  // namespace quillmere
