#ifndef TRAVONELQUIST_AGENT_BEHAVIOR_H
#define TRAVONELQUIST_AGENT_BEHAVIOR_H

#include <string>

// What the agent loop drives: a start-up text, then one reply per message.
class Behavior {
public:
    virtual ~Behavior() = default;
    virtual std::string init() = 0;
    virtual std::string think(const std::string& message) = 0;
};

#endif
