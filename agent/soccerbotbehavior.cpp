#include "agent/soccerbotbehavior.h"

#include <iostream>

SoccerbotBehavior::SoccerbotBehavior(boost::shared_ptr<Worldmodel> world,
                                     boost::shared_ptr<Actionhandler> ach)
    : init_(false), parser_(world), world_(world), ach_(ach) {}

std::string SoccerbotBehavior::init()
{
    ach_->clear();
    ach_->scene("rsg/agent/nao/nao.rsg");
    return ach_->get_commands();
}

std::string SoccerbotBehavior::think(const std::string& message)
{
    ach_->clear();
    if (!init_) {
        init_ = true;
        ach_->init(world_->teamname());
    }
    parser_->parse(message);
    ach_->action();
    std::string reply = ach_->get_commands();
    // Today's server waits for this at the end of every reply before it
    // simulates the next cycle.
    if (world_->generation() == GEN_TODAY) reply += "(syn)";
    return reply;
}

void SoccerbotBehavior::cmdview()
{
    std::string text = ach_->get_commands();
    for (std::string::size_type pos = text.find(')'); pos != std::string::npos;
         pos = text.find(')', pos + 2)) {
        text.insert(pos + 1, "\n");
    }
    std::cout << "---------------コマンド---------------" << std::endl << text << std::endl;
}
