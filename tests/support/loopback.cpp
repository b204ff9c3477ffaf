#include "support/loopback.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

int remaining_ms(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for events on fd until the deadline. 1 ready, 0 timed out, -1 error.
int wait_fd(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        int r = ::poll(&p, 1, remaining_ms(deadline));
        if (r > 0) return 1;
        if (r == 0) return 0;
        if (errno != EINTR) return -1;
    }
}

bool make_addr(const std::string& addr, int port, sockaddr_in& sa)
{
    std::memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<unsigned short>(port));
    return ::inet_pton(AF_INET, addr.c_str(), &sa.sin_addr) == 1;
}

}  // namespace

std::string prefix(unsigned long n)
{
    std::string p(4, '\0');
    p[0] = static_cast<char>((n >> 24) & 0xff);
    p[1] = static_cast<char>((n >> 16) & 0xff);
    p[2] = static_cast<char>((n >> 8) & 0xff);
    p[3] = static_cast<char>(n & 0xff);
    return p;
}

std::string frame(const std::string& payload) { return prefix(payload.size()) + payload; }

Io send_all(int fd, const char* data, std::size_t n, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    std::size_t done = 0;
    while (done < n) {
        int w = wait_fd(fd, POLLOUT, deadline);
        if (w == 0) return Io::timeout;
        if (w < 0) return Io::error;
        ssize_t r = ::send(fd, data + done, n - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (r > 0) {
            done += static_cast<std::size_t>(r);
        } else if (r < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            return (errno == EPIPE || errno == ECONNRESET) ? Io::closed : Io::error;
        }
    }
    return Io::ok;
}

Io recv_exact(int fd, std::string& out, std::size_t n, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    out.clear();
    char buf[4096];
    while (out.size() < n) {
        int w = wait_fd(fd, POLLIN, deadline);
        if (w == 0) return Io::timeout;
        if (w < 0) return Io::error;
        std::size_t want = std::min(sizeof buf, n - out.size());
        ssize_t r = ::recv(fd, buf, want, MSG_DONTWAIT);
        if (r > 0) {
            out.append(buf, static_cast<std::size_t>(r));
        } else if (r == 0) {
            return Io::closed;
        } else if (errno == ECONNRESET) {
            return Io::closed;
        } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            return Io::error;
        }
    }
    return Io::ok;
}

Io send_frame(int fd, const std::string& payload, int timeout_ms)
{
    const std::string block = frame(payload);
    return send_all(fd, block.data(), block.size(), timeout_ms);
}

Io recv_frame(int fd, std::string& payload, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    std::string head;
    Io r = recv_exact(fd, head, 4, timeout_ms);
    if (r != Io::ok) return r;
    const unsigned long n = (static_cast<unsigned long>(static_cast<unsigned char>(head[0])) << 24) |
                            (static_cast<unsigned long>(static_cast<unsigned char>(head[1])) << 16) |
                            (static_cast<unsigned long>(static_cast<unsigned char>(head[2])) << 8) |
                            static_cast<unsigned long>(static_cast<unsigned char>(head[3]));
    return recv_exact(fd, payload, n, remaining_ms(deadline));
}

int connect_to(const std::string& addr, int port, int timeout_ms)
{
    sockaddr_in sa;
    if (!make_addr(addr, port, sa)) return -1;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int r = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    if (r < 0 && errno == EINPROGRESS) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
        int err = 0;
        socklen_t len = sizeof err;
        if (wait_fd(fd, POLLOUT, deadline) == 1 &&
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0) {
            r = 0;
        }
    }
    if (r < 0) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, flags);
    return fd;
}

LoopbackServer::LoopbackServer(const std::string& addr, int port)
    : addr_(addr), port_(port), listen_fd_(-1), client_fd_(-1)
{
    sockaddr_in sa;
    if (!make_addr(addr, port, sa)) {
        ADD_FAILURE() << "bad loopback address " << addr;
        return;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        ADD_FAILURE() << "socket: " << std::strerror(errno);
        return;
    }
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // A test run right after another on the same address may meet the old
    // socket still closing; retry briefly.
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0) {
        if (errno != EADDRINUSE || Clock::now() >= deadline) {
            ADD_FAILURE() << "bind " << addr << ":" << port << ": " << std::strerror(errno);
            ::close(fd);
            return;
        }
        ::usleep(20000);
    }
    if (::listen(fd, 4) < 0) {
        ADD_FAILURE() << "listen: " << std::strerror(errno);
        ::close(fd);
        return;
    }
    listen_fd_ = fd;
}

LoopbackServer::~LoopbackServer()
{
    close_client();
    close_listener();
}

bool LoopbackServer::accept_client(int timeout_ms)
{
    if (listen_fd_ < 0) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    if (wait_fd(listen_fd_, POLLIN, deadline) != 1) return false;
    int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return false;
    close_client();
    client_fd_ = fd;
    return true;
}

Io LoopbackServer::send_frame(const std::string& payload, int timeout_ms)
{
    if (client_fd_ < 0) return Io::error;
    return testsupport::send_frame(client_fd_, payload, timeout_ms);
}

Io LoopbackServer::recv_frame(std::string& payload, int timeout_ms)
{
    if (client_fd_ < 0) return Io::error;
    return testsupport::recv_frame(client_fd_, payload, timeout_ms);
}

Io LoopbackServer::send_raw(const std::string& bytes, int timeout_ms)
{
    if (client_fd_ < 0) return Io::error;
    return send_all(client_fd_, bytes.data(), bytes.size(), timeout_ms);
}

Io LoopbackServer::recv_raw(std::string& out, std::size_t n, int timeout_ms)
{
    if (client_fd_ < 0) return Io::error;
    return recv_exact(client_fd_, out, n, timeout_ms);
}

Io LoopbackServer::wait_closed(int timeout_ms, std::string* rest)
{
    if (client_fd_ < 0) return Io::error;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    char buf[4096];
    for (;;) {
        int w = wait_fd(client_fd_, POLLIN, deadline);
        if (w == 0) return Io::timeout;
        if (w < 0) return Io::error;
        ssize_t r = ::recv(client_fd_, buf, sizeof buf, MSG_DONTWAIT);
        if (r == 0 || (r < 0 && errno == ECONNRESET)) return Io::ok;
        if (r > 0 && rest) rest->append(buf, static_cast<std::size_t>(r));
        if (r < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return Io::error;
    }
}

bool LoopbackServer::quiet_for(int timeout_ms)
{
    if (client_fd_ < 0) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    return wait_fd(client_fd_, POLLIN, deadline) == 0;
}

void LoopbackServer::close_client()
{
    if (client_fd_ >= 0) {
        ::close(client_fd_);
        client_fd_ = -1;
    }
}

void LoopbackServer::close_listener()
{
    if (listen_fd_ >= 0) {
        ::close(listen_fd_);
        listen_fd_ = -1;
    }
}

}  // namespace testsupport
