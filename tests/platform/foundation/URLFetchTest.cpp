#include <atomic>
#include <gtest/gtest.h>
#include <thread>

#include "platform/foundation/URLFetch.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

using test::TestHttpServer;

// Redirects are followed on the web only; addresses outside it are refused.
TEST(URLFetch, answersTheBodyOfTheFetchedPageAndFollowsOnlyWebRedirects) {
    TestHttpServer server;
    server.setResponse("/moved", {302, "", {{"Location", "/page"}}, {}});
    server.setResponse("/page", {200, "contents", {}, {}});
    std::string error;
    EXPECT_EQ(contentsOfURL(server.url("/moved"), {}, &error), "contents") << error;
    EXPECT_EQ(server.requestedPaths(), (std::vector<std::string>{"/moved", "/page"}));

    test::TempDir dir;
    test::writeFile(dir.file("secret"), "secret");
    server.setResponse("/outside", {302, "", {{"Location", "file://" + dir.file("secret")}}, {}});
    error.clear();
    EXPECT_FALSE(contentsOfURL(server.url("/outside"), {}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(contentsOfURL("file://" + dir.file("secret"), {}, &error));
}

// The cap holds whether the answer declares its length or streams past it.
TEST(URLFetch, answersUpToTheCapArriveAndLongerOnesAreCutOff) {
    TestHttpServer server;
    URLFetchLimits limits;
    limits.maxBytes = 1000;
    server.setResponse("/exact", {200, std::string(1000, 'a'), {}, {}});
    server.setResponse("/declared", {200, std::string(1001, 'a'), {}, {}});
    server.setResponse("/streamed", {200, std::string(100, 'a'), {}, TestHttpServer::Response::Mode::Endless});
    std::string error;
    EXPECT_EQ(contentsOfURL(server.url("/exact"), limits, &error), std::string(1000, 'a')) << error;
    for (const char* path : {"/declared", "/streamed"}) {
        error.clear();
        EXPECT_FALSE(contentsOfURL(server.url(path), limits, &error)) << path;
        EXPECT_NE(error.find("larger than 1000 bytes"), std::string::npos) << error;
    }
}

// A stalled server holds the fetch until its time-out; the cancel flag ends it first.
TEST(URLFetch, aCancelledFetchEndsAsAFailureBeforeItsTimeOut) {
    TestHttpServer server;
    server.setResponse("/stall", {200, "", {}, TestHttpServer::Response::Mode::Stall});
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    URLFetchLimits limits;
    limits.totalTimeout = std::chrono::minutes(5);
    limits.cancel = &cancel;
    std::thread canceller([&] {
        while (server.requestCount() == 0 && !done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        cancel = true;
    });
    std::string error;
    EXPECT_FALSE(contentsOfURL(server.url("/stall"), limits, &error));
    done = true;
    canceller.join();
    EXPECT_NE(error.find("cancelled"), std::string::npos) << error;
}

} // namespace
} // namespace pellora
