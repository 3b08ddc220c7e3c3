#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillmere {

// Runs work away from the GUI thread: thumbnails and histograms.
class BackgroundRunner {
  public:
    virtual ~BackgroundRunner() = default;

    // Queues `work`; it must not throw. Callable from the GUI thread.
    virtual void run(std::function<void()> work) = 0;
};

// Low-priority worker threads that start their work in the order it came, as many items at once
// as they are threads: one thread runs one item at a time, so that a collaborator serving one
// call at a time (the histogram builder) is never entered twice; several make independent items
// side by side (the filmstrip's thumbnails, each read by a reader process of its own).
// Destruction drops the items not yet started and waits for the running ones.
class LowPriorityWorker final : public BackgroundRunner {
  public:
    // `name` names the threads (cut to 15 bytes); `threads` is at least 1.
    explicit LowPriorityWorker(std::string name, unsigned threads = 1);
    ~LowPriorityWorker() override;

    LowPriorityWorker(const LowPriorityWorker&) = delete;
    LowPriorityWorker& operator=(const LowPriorityWorker&) = delete;

    void run(std::function<void()> work) override;

  private:
    void loop();

    std::string name_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> items_;
    bool stopping_ = false;
    // Last: started when everything they use exists.
    std::vector<std::thread> threads_;
};

// Background work kept until its owner runs it, in any order it likes (tests).
class ManualRunner final : public BackgroundRunner {
  public:
    void run(std::function<void()> work) override { items.push_back(std::move(work)); }

    // Runs and forgets the item at `index`.
    void runItem(std::size_t index);
    void runAll();

    std::vector<std::function<void()>> items;
};

}  // namespace quillmere
