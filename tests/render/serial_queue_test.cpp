#include "core/render/serial_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <set>
#include <vector>

namespace quillmere {
namespace {

TEST(SerialQueueTest, ItemsRunOneAtATimeInSubmissionOrderOnOneOtherThread) {
    std::vector<int> order;
    std::set<std::thread::id> threads;
    std::atomic<int> running = 0;
    std::atomic<bool> overlapped = false;
    {
        SerialQueue queue("Quillmere.render");
        EXPECT_EQ(queue.label(), "Quillmere.render");
        for (int item = 0; item < 200; ++item) {
            queue.submit([&, item] {
                if (running.fetch_add(1) != 0) overlapped = true;
                order.push_back(item);
                threads.insert(std::this_thread::get_id());
                std::this_thread::yield();
                running.fetch_sub(1);
            });
        }
    }
    ASSERT_EQ(order.size(), 200u);
    for (int item = 0; item < 200; ++item) EXPECT_EQ(order[item], item);
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_NE(*threads.begin(), std::this_thread::get_id());
}

TEST(SerialQueueTest, DestructionRunsWhatIsQueuedAndWhatThatQueuesBeforeJoining) {
    std::promise<void> release;
    std::vector<std::string> ran;
    {
        SerialQueue queue("test");
        queue.submit([&, gate = release.get_future().share()] {
            gate.wait();
            ran.push_back("first");
        });
        queue.submit([&] {
            ran.push_back("second");
            queue.submit([&] { ran.push_back("queued by second"); });
        });
        release.set_value();
    }
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "second", "queued by second"}));
}

}  // namespace
}  // namespace quillmere
