#include "agent/rcssnet.h"

// Placeholder until the socket layer lands.
namespace rcss {
namespace net {
Addr::Addr(PortType port, unsigned long host) : port_(port), host_(host) {}
Addr::Addr(PortType port, const std::string&) : port_(port), host_(0) {}
TCPSocket::TCPSocket() : fd_(-1) {}
TCPSocket::~TCPSocket() {}
void TCPSocket::bind(const Addr&) {}
void TCPSocket::connect(const Addr&) { throw ConnectErr("not yet"); }
void TCPSocket::close() {}
}  // namespace net
}  // namespace rcss
