#ifndef TRAVONELQUIST_AGENT_CONNECTION_H
#define TRAVONELQUIST_AGENT_CONNECTION_H

#include <string>

#include "agent/rcssnet.h"

// The one TCP connection to the server. Messages in both directions are a
// 4-byte big-endian length followed by the payload.
class Connection {
public:
    static const unsigned int MAX_MESSAGE = 16380;

    Connection(std::string host, int port);
    ~Connection() = default;

    std::string host() const { return host_; }
    int port() const { return port_; }

    bool get_message(std::string& msg);
    void put_message(const std::string& msg);
    bool select_input();
    void close();

private:
    rcss::net::TCPSocket socket_;
    std::string host_;
    int port_;
};

#endif
