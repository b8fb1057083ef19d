#pragma once

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace pellora::test {

// A scripted HTTP/1.1 server on 127.0.0.1 at an ephemeral port. It serves one
// connection at a time on a thread of its own, one request per connection, and
// answers each path with the response set for it (404 for other paths).
class TestHttpServer {
public:
    struct Response {
        enum class Mode {
            Complete,  // status line, headers, Content-Length and the body
            Stall,     // reads the request and never answers, until the client hangs up
            Endless,   // no Content-Length; repeats the body until the client hangs up (64 MiB at most)
        };
        int status = 200;
        std::string body;
        std::vector<std::pair<std::string, std::string>> headers;
        Mode mode = Mode::Complete;
    };

    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    void setResponse(const std::string& path, Response response);
    int port() const { return _port; }
    std::string url(const std::string& path) const;
    // How many requests arrived, and their paths in order.
    std::size_t requestCount() const { return requestedPaths().size(); }
    std::vector<std::string> requestedPaths() const;

    // A port on 127.0.0.1 on which nothing listens.
    static int closedPort();

private:
    void serve();
    void handle(int connection);
    bool waitFor(int fd, short events) const;
    bool sendAll(int connection, const std::string& bytes) const;

    int _listener = -1;
    int _port = 0;
    int _stopPipe[2] = {-1, -1};
    mutable std::mutex _mutex;
    std::map<std::string, Response> _responses;
    std::vector<std::string> _requestedPaths;
    std::thread _thread;
};

} // namespace pellora::test
