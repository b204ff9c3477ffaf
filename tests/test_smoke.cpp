#include <gtest/gtest.h>

#include "agent/soccerbotbehavior.h"
#include "decision/tervalonaction.h"

TEST(Smoke, SceneCommandIsTheStartUpText)
{
    boost::shared_ptr<Worldmodel> world(new Worldmodel("Blue"));
    boost::shared_ptr<Tervalonaction> decision(new Tervalonaction(world));
    SoccerbotBehavior behavior(world, decision);
    EXPECT_EQ("(scene rsg/agent/nao/nao.rsg)", behavior.init());
}
