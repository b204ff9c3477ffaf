#ifndef TRAVONELQUIST_EFFECTORS_ACTION_H
#define TRAVONELQUIST_EFFECTORS_ACTION_H

#include <boost/shared_ptr.hpp>

#include "effectors/actionhandler.h"
#include "worldmodel/worldmodel.h"

// A command builder that can see the world model.
class Action : public Actionhandler {
public:
    explicit Action(boost::shared_ptr<Worldmodel> world) : world_(world) {}

    boost::shared_ptr<Worldmodel> world_;
};

#endif
