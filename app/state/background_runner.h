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

// One low-priority worker thread that runs its work one item at a time, in order, so that a
// collaborator serving one call at a time (the histogram builder) is never entered twice.
// Destruction drops the items not yet started and waits for the running one.
class LowPriorityWorker final : public BackgroundRunner {
  public:
    // `name` names the thread (cut to 15 bytes).
    explicit LowPriorityWorker(std::string name);
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
    // Last: started when everything it uses exists.
    std::thread thread_;
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
