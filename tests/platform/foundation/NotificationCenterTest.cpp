#include <atomic>
#include <gtest/gtest.h>
#include <thread>

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

} // namespace
} // namespace pellora
