#ifndef TRAVONELQUIST_AGENT_RCSSNET_H
#define TRAVONELQUIST_AGENT_RCSSNET_H

#include <stdexcept>
#include <string>

// A small stand-in for the simulator's socket library, on plain POSIX
// sockets: just what the connection needs.
namespace rcss {
namespace net {

class BindErr : public std::runtime_error {
public:
    explicit BindErr(const std::string& what) : std::runtime_error(what) {}
};

class ConnectErr : public std::runtime_error {
public:
    explicit ConnectErr(const std::string& what) : std::runtime_error(what) {}
};

// IPv4 address and port.
class Addr {
public:
    typedef unsigned short PortType;
    Addr(PortType port, unsigned long host);      // numeric host, host byte order
    Addr(PortType port, const std::string& host); // numeric text or a name to resolve
    PortType port() const { return port_; }
    unsigned long host() const { return host_; }

private:
    PortType port_;
    unsigned long host_;
};

class TCPSocket {
public:
    TCPSocket();
    ~TCPSocket();
    TCPSocket(const TCPSocket&) = delete;
    TCPSocket& operator=(const TCPSocket&) = delete;

    void bind(const Addr& addr);     // throws BindErr
    void connect(const Addr& addr);  // throws ConnectErr
    int getFD() const { return fd_; }
    void close();

private:
    int fd_;
    int create_errno_;  // why the socket could not be created, if it could not
};

}  // namespace net
}  // namespace rcss

#endif
