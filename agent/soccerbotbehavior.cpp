#include "agent/soccerbotbehavior.h"

#include <iostream>

SoccerbotBehavior::SoccerbotBehavior(boost::shared_ptr<Worldmodel> world,
                                     boost::shared_ptr<Actionhandler> ach, int robot_type)
    : init_(false), robot_type_(robot_type), parser_(world), world_(world), ach_(ach) {}

std::string SoccerbotBehavior::robot_model(int robot_type)
{
    if (robot_type < 0 || robot_type >= kRobotTypes) return "rsg/agent/nao/nao.rsg";
    return "rsg/agent/nao/nao_hetero.rsg " + std::to_string(robot_type);
}

std::string SoccerbotBehavior::init()
{
    ach_->clear();
    ach_->scene(robot_model(robot_type_));
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
