#ifndef TRAVONELQUIST_AGENT_SOCCERBOTBEHAVIOR_H
#define TRAVONELQUIST_AGENT_SOCCERBOTBEHAVIOR_H

#include <string>

#include <boost/shared_ptr.hpp>

#include "agent/behavior.h"
#include "effectors/actionhandler.h"
#include "perception/parser.h"
#include "worldmodel/worldmodel.h"

// One soccer cycle: perception into the world model, one decision step,
// the collected commands out.
class SoccerbotBehavior : public Behavior {
public:
    // The standard robot; today's server also has types 0-4 of a
    // heterogeneous model, which differ in legs, arms and feet.
    static const int kStandardRobot = -1;
    static const int kRobotTypes = 5;

    SoccerbotBehavior(boost::shared_ptr<Worldmodel> world, boost::shared_ptr<Actionhandler> ach,
                      int robot_type = kStandardRobot);

    // The model the scene command creates for a robot type.
    static std::string robot_model(int robot_type);

    std::string init() override;
    std::string think(const std::string& message) override;
    void cmdview();

private:
    bool init_;
    int robot_type_;
    boost::shared_ptr<Parser> parser_;
    boost::shared_ptr<Worldmodel> world_;
    boost::shared_ptr<Actionhandler> ach_;
};

#endif
