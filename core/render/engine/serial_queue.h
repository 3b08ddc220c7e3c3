#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace quillmere {

// One worker thread that runs submitted work items one at a time, in submission order. Items
// must not throw: they are the outermost code of the thread.
class SerialQueue {
  public:
    // Starts the thread, named after `label` (cut to the 15 bytes a thread name holds).
    explicit SerialQueue(const std::string& label);
    // Runs every item submitted so far, and any those items submit, then joins the thread. Must
    // not be called on the queue's own thread.
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void submit(std::function<void()> item);

  private:
    void run();

    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::function<void()>> items;
    bool closing = false;
    // Last: started when everything it uses exists.
    std::thread worker;
};

}  // namespace quillmere
