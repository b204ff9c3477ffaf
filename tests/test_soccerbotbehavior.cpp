#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "agent/soccerbotbehavior.h"
#include "decision/tervalonaction.h"
#include "support/paths.h"

namespace {

// A decision step that says which step it is and what time it found in the
// world model, so the tests can see the order of the cycle.
class Recorder : public Actionhandler {
public:
    explicit Recorder(boost::shared_ptr<Worldmodel> world) : world_(world) {}

    bool action() override
    {
        ++steps;
        seen_times.push_back(world_->current_status().time_);
        say("step" + std::to_string(steps));
        return true;
    }

    int steps = 0;
    std::vector<double> seen_times;

private:
    boost::shared_ptr<Worldmodel> world_;
};

struct Fixture {
    boost::shared_ptr<Worldmodel> world{new Worldmodel("Blue")};
    boost::shared_ptr<Recorder> decision{new Recorder(world)};
    SoccerbotBehavior behavior{world, decision};
};

}  // namespace

TEST(SoccerbotBehavior, StartUpTextIsTheSceneCommandAlone)
{
    Fixture f;
    f.decision->say("stray");
    EXPECT_EQ("(scene rsg/agent/nao/nao.rsg)", f.behavior.init());
    EXPECT_EQ(0, f.decision->steps);
}

TEST(SoccerbotBehavior, OnlyTheFirstReplyCarriesTheInitCommand)
{
    Fixture f;
    f.behavior.init();
    EXPECT_EQ("(init (unum 0)(teamname Blue))(say step1)", f.behavior.think("(time (now 0.02))"));
    EXPECT_EQ("(say step2)", f.behavior.think("(time (now 0.04))"));
    EXPECT_EQ("(say step3)", f.behavior.think("(time (now 0.06))"));
}

TEST(SoccerbotBehavior, TeamNameComesFromTheWorldModel)
{
    boost::shared_ptr<Worldmodel> world(new Worldmodel("MERLO-Skyline"));
    boost::shared_ptr<Actionhandler> plain(new Actionhandler);
    SoccerbotBehavior behavior(world, plain);
    EXPECT_EQ("(init (unum 0)(teamname MERLO-Skyline))", behavior.think(""));
    EXPECT_EQ("", behavior.think(""));
}

TEST(SoccerbotBehavior, EmptyMessageStillRunsTheDecisionStep)
{
    Fixture f;
    f.behavior.think("");
    EXPECT_EQ("(say step2)", f.behavior.think(""));
    EXPECT_EQ(2, f.decision->steps);
}

TEST(SoccerbotBehavior, CommandsFromBetweenCyclesAreDropped)
{
    Fixture f;
    f.behavior.think("");
    f.decision->say("stray");
    f.decision->beam(1, 2, 3);
    EXPECT_EQ("(say step2)", f.behavior.think(""));
}

TEST(SoccerbotBehavior, PerceptionReachesTheWorldModelBeforeTheDecisionStep)
{
    Fixture f;
    f.behavior.think("(time (now 0.02))(HJ (n hj1) (ax 12.5))");
    f.behavior.think("(time (now 0.04))");
    ASSERT_EQ(2u, f.decision->seen_times.size());
    EXPECT_EQ(0.02, f.decision->seen_times[0]);
    EXPECT_EQ(0.04, f.decision->seen_times[1]);
    EXPECT_EQ(12.5, f.world->status_history(1).hj_.at("hj1"));
    EXPECT_EQ(&f.world->status_history(2), &f.world->status_history(3)) << "two messages parsed";
}

TEST(SoccerbotBehavior, CmdviewBreaksTheLineAfterEveryCommand)
{
    Fixture f;
    f.behavior.think("");
    testing::internal::CaptureStdout();
    f.behavior.cmdview();
    EXPECT_EQ("---------------コマンド---------------\n"
              "(init (unum 0)\n(teamname Blue)\n)\n(say step1)\n\n",
              testing::internal::GetCapturedStdout());
}

// The real decision object on recorded server messages: every reply is
// non-empty joint text, and only the first one starts with the init command.
TEST(SoccerbotBehavior, RunsTheRealDecisionOnRecordedMessages)
{
    boost::shared_ptr<Worldmodel> world(new Worldmodel("Blue"));
    boost::shared_ptr<Tervalonaction> decision(new Tervalonaction(world));
    SoccerbotBehavior behavior(world, decision);
    std::ifstream in(testsupport::data_dir() + "/full-vision.txt");
    ASSERT_TRUE(in.good());
    std::string line;
    int n = 0;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    std::vector<std::string> replies;
    while (std::getline(in, line) && n < 10) {
        replies.push_back(behavior.think(line));
        ++n;
    }
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(10u, replies.size());
    EXPECT_EQ(0u, replies[0].find("(init (unum 0)(teamname Blue))"));
    for (std::size_t k = 1; k < replies.size(); ++k) {
        EXPECT_EQ(std::string::npos, replies[k].find("(init")) << k;
    }
}
