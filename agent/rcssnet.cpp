#include "agent/rcssnet.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rcss {
namespace net {

namespace {

sockaddr_in to_sockaddr(const Addr& addr)
{
    sockaddr_in sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_port = htons(addr.port());
    sa.sin_addr.s_addr = htonl(static_cast<uint32_t>(addr.host()));
    return sa;
}

std::string endpoint(const Addr& addr)
{
    in_addr in;
    in.s_addr = htonl(static_cast<uint32_t>(addr.host()));
    char text[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &in, text, sizeof text);
    return std::string(text) + ":" + std::to_string(addr.port());
}

}  // namespace

Addr::Addr(PortType port, unsigned long host) : port_(port), host_(host) {}

Addr::Addr(PortType port, const std::string& host) : port_(port), host_(0)
{
    in_addr in;
    if (::inet_pton(AF_INET, host.c_str(), &in) == 1) {
        host_ = ntohl(in.s_addr);
        return;
    }
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (rc != 0 || found == nullptr) {
        // An unresolvable host is a failed connection for the caller.
        throw ConnectErr("cannot resolve host '" + host + "': " + ::gai_strerror(rc));
    }
    host_ = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
}

TCPSocket::TCPSocket() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), create_errno_(fd_ < 0 ? errno : 0) {}

TCPSocket::~TCPSocket() { close(); }

void TCPSocket::bind(const Addr& addr)
{
    if (fd_ < 0) throw BindErr(std::string("no socket: ") + std::strerror(create_errno_ ? create_errno_ : EBADF));
    const sockaddr_in sa = to_sockaddr(addr);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) < 0) {
        throw BindErr(endpoint(addr) + ": " + std::strerror(errno));
    }
}

void TCPSocket::connect(const Addr& addr)
{
    if (fd_ < 0) throw ConnectErr(std::string("no socket: ") + std::strerror(create_errno_ ? create_errno_ : EBADF));
    const sockaddr_in sa = to_sockaddr(addr);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) return;
    int err = errno;
    if (err == EINTR) {
        // The connection attempt goes on in the background; wait for its outcome.
        pollfd p{fd_, POLLOUT, 0};
        int rc;
        do {
            rc = ::poll(&p, 1, -1);
        } while (rc < 0 && errno == EINTR);
        socklen_t len = sizeof err;
        if (rc < 0) {
            err = errno;
        } else if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) < 0) {
            err = errno;
        }
        if (err == 0) return;
    }
    throw ConnectErr(endpoint(addr) + ": " + std::strerror(err));
}

void TCPSocket::close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace net
}  // namespace rcss
