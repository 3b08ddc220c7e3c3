#include "app/state/background_runner.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace quillmere {
namespace {

// The niceness of utility work: it yields to the GUI and the render thread.
constexpr int kLowPriority = 10;

}  // namespace

LowPriorityWorker::LowPriorityWorker(std::string name, unsigned threads) : name_(std::move(name)) {
    for (unsigned count = 0; count < std::max(threads, 1u); ++count) {
        threads_.emplace_back([this] { loop(); });
    }
}

LowPriorityWorker::~LowPriorityWorker() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
        items_.clear();
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void LowPriorityWorker::run(std::function<void()> work) {
    {
        std::lock_guard guard(lock_);
        items_.push_back(std::move(work));
    }
    wake_.notify_one();
}

void LowPriorityWorker::loop() {
    ::pthread_setname_np(::pthread_self(), name_.substr(0, 15).c_str());
    // On Linux a thread's niceness is its own; failing to lower it only costs smoothness.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kLowPriority);
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock guard(lock_);
            wake_.wait(guard, [this] { return stopping_ || !items_.empty(); });
            if (stopping_) return;
            work = std::move(items_.front());
            items_.pop_front();
        }
        work();
    }
}

void ManualRunner::runItem(std::size_t index) {
    std::function<void()> work = std::move(items.at(index));
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(index));
    work();
}

void ManualRunner::runAll() {
    while (!items.empty()) runItem(0);
}

}  // namespace quillmere
