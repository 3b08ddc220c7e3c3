#include "core/render/engine/serial_queue.h"

#include <pthread.h>

#include <utility>

namespace quillmere {

SerialQueue::SerialQueue(const std::string& label) : worker([this] { run(); }) {
    // Only a debugging aid, so a name the system refuses is no error.
    pthread_setname_np(worker.native_handle(), label.substr(0, 15).c_str());
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard guard(lock);
        closing = true;
    }
    wake.notify_one();
    worker.join();
}

void SerialQueue::submit(std::function<void()> item) {
    {
        std::lock_guard guard(lock);
        items.push_back(std::move(item));
    }
    wake.notify_one();
}

void SerialQueue::run() {
    for (;;) {
        std::function<void()> item;
        {
            std::unique_lock guard(lock);
            wake.wait(guard, [this] { return closing || !items.empty(); });
            if (items.empty()) return;
            item = std::move(items.front());
            items.pop_front();
        }
        item();
    }
}

}  // namespace quillmere
