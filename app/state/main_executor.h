#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace quillmere {

// Hands work to the GUI thread, where the application state lives. Engine completions and
// background results reach the state only through it.
class MainExecutor {
  public:
    virtual ~MainExecutor() = default;

    // Queues `work` to run later on the GUI thread, never inline. Callable from any thread.
    virtual void post(std::function<void()> work) = 0;
};

// Work for one receiver, handed to the GUI thread through an executor, that runs only while the
// receiver lives: the receiver holds `alive` for as long as it exists, and work arriving after it
// is gone is dropped. Made on the GUI thread; may then be called from any thread.
template <class Receiver>
class MainPost {
  public:
    MainPost(std::shared_ptr<MainExecutor> executor, Receiver& receiver,
             const std::shared_ptr<void>& alive)
        : executor_(std::move(executor)), receiver_(&receiver), alive_(alive) {}

    void operator()(std::function<void(Receiver&)> work) const {
        executor_->post([alive = alive_, receiver = receiver_, work = std::move(work)] {
            if (alive.lock()) work(*receiver);
        });
    }

  private:
    std::shared_ptr<MainExecutor> executor_;
    Receiver* receiver_;
    std::weak_ptr<void> alive_;
};

// Posts to the application's event loop as a queued call. Needs a running QCoreApplication;
// work still queued when the application object goes away is dropped.
class QtMainExecutor final : public MainExecutor {
  public:
    void post(std::function<void()> work) override;
};

// A GUI-thread queue that its owner drains by hand, so that it decides when posted work runs
// (tests, and code that must settle without an event loop).
class ManualMainExecutor final : public MainExecutor {
  public:
    void post(std::function<void()> work) override;

    // Runs everything posted so far and whatever that posts in turn; the number of items run.
    int runPending();

  private:
    std::mutex lock_;
    std::deque<std::function<void()>> items_;
};

}  // namespace quillmere
