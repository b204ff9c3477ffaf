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
    SoccerbotBehavior(boost::shared_ptr<Worldmodel> world, boost::shared_ptr<Actionhandler> ach);

    std::string init() override;
    std::string think(const std::string& message) override;
    void cmdview();

private:
    bool init_;
    boost::shared_ptr<Parser> parser_;
    boost::shared_ptr<Worldmodel> world_;
    boost::shared_ptr<Actionhandler> ach_;
};

#endif
