#include "agent/agent.h"

#include <iostream>

Agent::Agent(boost::shared_ptr<Behavior> behavior, const std::string& host, int port)
    : conn_(new Connection(host, port)), behavior_(behavior), loop_(1)
{
}

Agent::Agent(boost::shared_ptr<Behavior> behavior, boost::shared_ptr<Connection> conn)
    : conn_(conn), behavior_(behavior), loop_(1)
{
}

Agent::~Agent()
{
    // The behaviour goes first, the connection after it.
    behavior_.reset();
    conn_.reset();
}

void Agent::run()
{
    conn_->put_message(behavior_->init());

    std::string msg;
    std::string reply;
    // The flag is tested before reading, so no message is taken once stopped.
    while (loop_ && conn_->get_message(msg)) {
        reply = behavior_->think(msg);
        if (reply == "end") stop();
        conn_->put_message(reply);
    }
}

void Agent::stop() { loop_ = 0; }

void Agent::done()
{
    conn_->close();
    std::cout << "closed connection to " << conn_->host() << ":" << conn_->port() << std::endl;
}
