#include "agent/connection.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

const std::size_t BUFFER_SIZE = 16384;
const int WAIT_SECONDS = 60;

// A read error worth trying again: nothing was lost, the data is still coming.
bool transient(int err) { return err == EINTR || err == EAGAIN || err == EWOULDBLOCK; }

}  // namespace

Connection::Connection(std::string host, int port) : socket_(), host_(host), port_(port)
{
    socket_.bind(rcss::net::Addr(0, static_cast<unsigned long>(INADDR_ANY)));
    socket_.connect(rcss::net::Addr(static_cast<rcss::net::Addr::PortType>(port), host_));
}

bool Connection::select_input()
{
    const int fd = socket_.getFD();
    if (fd < 0 || fd >= FD_SETSIZE) {
        std::cerr << "(Connection::select_input) select failed " << std::strerror(EBADF) << std::endl;
        std::abort();
    }
    fd_set readfds;
    FD_ZERO(&readfds);
    FD_SET(fd, &readfds);
    // Linux reduces the time limit by the time spent, so after an interruption
    // the wait resumes with what is left of the 60 seconds.
    timeval limit;
    limit.tv_sec = WAIT_SECONDS;
    limit.tv_usec = 0;
    for (;;) {
        const int rc = ::select(fd + 1, &readfds, nullptr, nullptr, &limit);
        if (rc > 0) return true;
        if (rc < 0 && errno == EINTR) continue;
        if (rc == 0) {
            // A timed-out wait sets no error number; say what happened instead.
            std::cerr << "(Connection::select_input) select failed "
                      << "timed out after " << WAIT_SECONDS << " seconds" << std::endl;
        } else {
            std::cerr << "(Connection::select_input) select failed " << std::strerror(errno)
                      << std::endl;
        }
        std::abort();
    }
}

bool Connection::get_message(std::string& msg)
{
    static char buffer[BUFFER_SIZE];
    const int fd = socket_.getFD();

    // Never read past the current message, so the next one stays in the socket.
    std::size_t have = 0;
    while (have < 4) {
        select_input();
        const ssize_t got = ::read(fd, buffer + have, 4 - have);
        if (got == 0) return false;
        if (got < 0) {
            if (transient(errno)) continue;
            return false;
        }
        have += static_cast<std::size_t>(got);
    }

    const unsigned char* p = reinterpret_cast<const unsigned char*>(buffer);
    const unsigned long n = (static_cast<unsigned long>(p[0]) << 24) |
                            (static_cast<unsigned long>(p[1]) << 16) |
                            (static_cast<unsigned long>(p[2]) << 8) | static_cast<unsigned long>(p[3]);
    if (n > MAX_MESSAGE) {
        std::cerr << "too long message; aborting" << std::endl;
        std::abort();
    }

    char* payload = buffer + 4;
    have = 0;
    while (have < n) {
        select_input();
        const ssize_t got = ::read(fd, payload + have, n - have);
        if (got == 0) return false;
        if (got < 0) {
            // A lasting error (a reset or dead socket) would be reported again
            // on every read; give up on the stream rather than spin.
            if (transient(errno)) continue;
            return false;
        }
        have += static_cast<std::size_t>(got);
    }

    // The text ends at the first zero byte, if there is one.
    const void* zero = std::memchr(payload, '\0', n);
    msg.assign(payload, zero ? static_cast<const char*>(zero) - payload : n);
    return true;
}

void Connection::put_message(const std::string& msg)
{
    if (msg.empty()) return;

    const std::size_t n = msg.size();
    unsigned char head[4] = {static_cast<unsigned char>((n >> 24) & 0xff),
                             static_cast<unsigned char>((n >> 16) & 0xff),
                             static_cast<unsigned char>((n >> 8) & 0xff),
                             static_cast<unsigned char>(n & 0xff)};
    const std::size_t total = 4 + n;
    std::size_t sent = 0;
    // Prefix and text go out as one block; the kernel may take it in pieces,
    // so keep going until all of it is out. MSG_NOSIGNAL: a server that has
    // gone away must not kill the process; the next receive sees the end.
    while (sent < total) {
        iovec iov[2];
        int count = 0;
        if (sent < 4) {
            iov[count].iov_base = head + sent;
            iov[count].iov_len = 4 - sent;
            ++count;
        }
        const std::size_t text_from = sent < 4 ? 0 : sent - 4;
        iov[count].iov_base = const_cast<char*>(msg.data()) + text_from;
        iov[count].iov_len = n - text_from;
        ++count;

        msghdr mh;
        std::memset(&mh, 0, sizeof mh);
        mh.msg_iov = iov;
        mh.msg_iovlen = static_cast<std::size_t>(count);
        const ssize_t put = ::sendmsg(socket_.getFD(), &mh, MSG_NOSIGNAL);
        if (put < 0) {
            if (errno == EINTR) continue;
            return;
        }
        sent += static_cast<std::size_t>(put);
    }
}

void Connection::close() { socket_.close(); }
