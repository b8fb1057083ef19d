#include <gtest/gtest.h>
#include <thread>

#include "platform/foundation/MainThread.h"

namespace pellora {
namespace {

TEST(MainThreadDispatcher, queueRunsCallsInPostingOrderOnTheDrainingThread) {
    QueueDispatcher dispatcher;
    std::vector<int> order;
    std::thread worker([&] {
        dispatcher.post([&] { order.push_back(1); });
        dispatcher.postAndWait([&] { order.push_back(2); });
        dispatcher.post([&] { order.push_back(3); });
    });
    const auto mainThread = std::this_thread::get_id();
    bool ranOnMain = true;
    dispatcher.post([&] { ranOnMain = ranOnMain && std::this_thread::get_id() == mainThread; });
    while (order.size() < 3) dispatcher.waitAndDrain(std::chrono::milliseconds(10));
    worker.join();
    dispatcher.drain();
    EXPECT_TRUE(ranOnMain);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

} // namespace
} // namespace pellora
