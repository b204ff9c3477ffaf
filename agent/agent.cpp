#include "agent/agent.h"

// Placeholder until the loop lands.
Agent::Agent(boost::shared_ptr<Behavior> behavior, const std::string& host, int port)
    : conn_(new Connection(host, port)), behavior_(behavior), loop_(1) {}
Agent::Agent(boost::shared_ptr<Behavior> behavior, boost::shared_ptr<Connection> conn)
    : conn_(conn), behavior_(behavior), loop_(1) {}
Agent::~Agent() = default;
void Agent::run() {}
void Agent::stop() { loop_ = 0; }
void Agent::done() {}
