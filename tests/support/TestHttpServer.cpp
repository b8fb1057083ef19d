#include "support/TestHttpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace pellora::test {
namespace {

constexpr std::size_t kMaxRequestBytes = 64 * 1024;
constexpr std::size_t kMaxEndlessBytes = 64u << 20;

// A socket bound to an ephemeral port on 127.0.0.1.
int boundSocket(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("bind failed");
    }
    port = ntohs(address.sin_port);
    return fd;
}

const char* reasonPhrase(int status) {
    return status == 200 ? "OK" : status == 302 ? "Found" : status == 404 ? "Not Found" : "Status";
}

} // namespace

TestHttpServer::TestHttpServer() {
    // Requests to this server must not go through a proxy the environment names.
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    _listener = boundSocket(_port);
    if (::listen(_listener, 8) != 0 || ::pipe2(_stopPipe, O_CLOEXEC) != 0) {
        ::close(_listener);
        throw std::runtime_error("listen failed");
    }
    _thread = std::thread([this] { serve(); });
}

TestHttpServer::~TestHttpServer() {
    const char stop = 1;
    [[maybe_unused]] const auto written = ::write(_stopPipe[1], &stop, 1);
    _thread.join();
    ::close(_listener);
    ::close(_stopPipe[0]);
    ::close(_stopPipe[1]);
}

void TestHttpServer::setResponse(const std::string& path, Response response) {
    std::lock_guard lock(_mutex);
    _responses[path] = std::move(response);
}

std::string TestHttpServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(_port) + path;
}

std::vector<std::string> TestHttpServer::requestedPaths() const {
    std::lock_guard lock(_mutex);
    return _requestedPaths;
}

int TestHttpServer::closedPort() {
    int port = 0;
    ::close(boundSocket(port));
    return port;
}

// False when the server is stopping.
bool TestHttpServer::waitFor(int fd, short events) const {
    pollfd fds[2] = {{fd, events, 0}, {_stopPipe[0], POLLIN, 0}};
    while (::poll(fds, 2, -1) < 0) {
        if (errno != EINTR) return false;
    }
    return (fds[1].revents & POLLIN) == 0;
}

bool TestHttpServer::sendAll(int connection, const std::string& bytes) const {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        if (!waitFor(connection, POLLOUT)) return false;
        const ssize_t count = ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count <= 0) return false;
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

void TestHttpServer::serve() {
    while (waitFor(_listener, POLLIN)) {
        const int connection = ::accept4(_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        handle(connection);
        ::close(connection);
    }
}

void TestHttpServer::handle(int connection) {
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos) {
        if (request.size() > kMaxRequestBytes || !waitFor(connection, POLLIN)) return;
        char buffer[4096];
        const ssize_t count = ::recv(connection, buffer, sizeof buffer, 0);
        if (count <= 0) return;
        request.append(buffer, static_cast<std::size_t>(count));
    }
    // "GET /path HTTP/1.1"
    const std::size_t pathStart = request.find(' ') + 1;
    const std::string path = request.substr(pathStart, request.find(' ', pathStart) - pathStart);

    Response response;
    {
        std::lock_guard lock(_mutex);
        _requestedPaths.push_back(path);
        const auto it = _responses.find(path);
        response = it != _responses.end() ? it->second : Response{404, "not found", {}, {}};
    }

    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + reasonPhrase(response.status) + "\r\n";
    for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
    head += "Connection: close\r\n";
    switch (response.mode) {
    case Response::Mode::Complete:
        head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n\r\n";
        sendAll(connection, head + response.body);
        break;
    case Response::Mode::Stall:
        waitFor(connection, POLLIN);  // the client hanging up ends the stall
        break;
    case Response::Mode::Endless:
        if (!sendAll(connection, head + "\r\n") || response.body.empty()) break;
        for (std::size_t sent = 0; sent < kMaxEndlessBytes; sent += response.body.size()) {
            if (!sendAll(connection, response.body)) break;
        }
        break;
    }
}

} // namespace pellora::test
