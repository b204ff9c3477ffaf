#ifndef TRAVONELQUIST_AGENT_AGENT_H
#define TRAVONELQUIST_AGENT_AGENT_H

#include <csignal>
#include <string>

#include <boost/shared_ptr.hpp>

#include "agent/behavior.h"
#include "agent/connection.h"

// Receive, think, send: one perception in, one reply out, until the server
// closes the connection or the loop is stopped.
class Agent {
public:
    Agent(boost::shared_ptr<Behavior> behavior, const std::string& host, int port);
    Agent(boost::shared_ptr<Behavior> behavior, boost::shared_ptr<Connection> conn);
    ~Agent();

    void run();
    void stop();  // safe inside a signal handler
    void done();

private:
    boost::shared_ptr<Connection> conn_;
    boost::shared_ptr<Behavior> behavior_;
    volatile std::sig_atomic_t loop_;
};

#endif
