#include <atomic>
#include <gtest/gtest.h>
#include <thread>

#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

namespace pellora {
namespace {

// An observer may also remove itself while it is being called.
TEST(NotificationCenter, deliversSynchronouslyToObserversOfTheName) {
    NotificationCenter center;
    std::vector<std::string> heard;
    const auto token = center.addObserver("A", [&](const std::string& name, const PlistValue& info) {
        heard.push_back(name + ":" + info.description());
    });
    center.post("A", 1);
    center.post("B", 2);
    center.removeObserver(token);
    center.post("A", 3);
    EXPECT_EQ(heard, std::vector<std::string>{"A:1"});

    int calls = 0;
    NotificationCenter::Token self = 0;
    self = center.addObserver("A", [&](const std::string&, const PlistValue&) {
        ++calls;
        center.removeObserver(self);
    });
    center.post("A");
    center.post("A");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenter, noCallAfterRemovalReturnsWhileOtherThreadsPost) {
    NotificationCenter center;
    std::atomic<bool> stop{false};
    std::thread poster([&] {
        while (!stop) center.post("tick");
    });
    for (int round = 0; round < 200; ++round) {
        auto alive = std::make_shared<std::atomic<bool>>(true);
        std::atomic<int> callsAfterRemoval{0};
        const auto token = center.addObserver("tick", [alive, &callsAfterRemoval](const std::string&, const PlistValue&) {
            if (!*alive) ++callsAfterRemoval;
        });
        center.removeObserver(token);
        *alive = false;
        std::this_thread::yield();
        EXPECT_EQ(callsAfterRemoval, 0);
    }
    stop = true;
    poster.join();
}

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
