#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

#include "decision/tervalonaction.h"

namespace {

struct Blocker {
    boost::shared_ptr<Worldmodel> world{new Worldmodel("Blue")};
    boost::shared_ptr<Tervalonaction> act{new Tervalonaction(world)};

    Blocker()
    {
        act->debug_flag_ = false;
        act->action_end_ = false;
    }
    int step()
    {
        act->new_joint.clear();
        act->handup();
        return act->action_state_;
    }
    void read(const char* j, double a) { act->cur_joint[j] = a; }
    double aim(const char* j) { return act->aim_joint[j]; }
};

struct ReadyCase {
    double raj2, rlj5, rlj4;
    bool crouches;
};

void PrintTo(const ReadyCase& c, std::ostream* os)
{
    *os << "raj2 " << c.raj2 << " rlj5 " << c.rlj5 << " rlj4 " << c.rlj4;
}

}  // namespace

class HandupReadyTest : public testing::TestWithParam<ReadyCase> {};

TEST_P(HandupReadyTest, CrouchStartsOnlyWhenAllThreeReadingsPass)
{
    const ReadyCase c = GetParam();
    Blocker b;
    b.read("raj2", c.raj2);
    b.read("rlj5", c.rlj5);
    b.read("rlj4", c.rlj4);
    EXPECT_EQ(c.crouches ? 1 : 0, b.step());
    EXPECT_EQ(16u, b.act->new_joint.size());  // arms out, whatever the readings
    EXPECT_DOUBLE_EQ((65.0 - 0.0) * 0.5, b.act->new_joint["laj2"]);
    EXPECT_FALSE(b.act->action_end_);
}

INSTANTIATE_TEST_SUITE_P(Handup, HandupReadyTest,
                         testing::Values(ReadyCase{-64.01, 20.99, -44.01, true},
                                         ReadyCase{-64.0, 20.99, -44.01, false},
                                         ReadyCase{-64.01, 21.0, -44.01, false},
                                         ReadyCase{-64.01, 20.99, -44.0, false},
                                         ReadyCase{0.0, 0.0, 0.0, false}));

TEST(Handup, CrouchIsHeldUntilReleased)
{
    Blocker b;
    b.act->action_state_ = 1;
    b.read("hj2", 0.0);
    b.read("rlj1", 0.0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(1, b.step());
        EXPECT_EQ(17u, b.act->new_joint.size());
        EXPECT_EQ(44.0, b.aim("hj2"));
        EXPECT_DOUBLE_EQ(-40.0 * 0.03, b.act->new_joint["llj1"]);
        EXPECT_EQ(-110.0, b.aim("rlj4"));
        EXPECT_FALSE(b.act->action_end_);
    }
}

TEST(Handup, RiseHandsOverToStopOnceHeadAndHipAreUp)
{
    Blocker b;
    b.act->action_state_ = 2;
    b.read("hj2", 1.0);
    b.read("rlj1", 0.5);
    b.read("rlj5", 25.0);
    EXPECT_EQ(2, b.step());
    EXPECT_EQ(40.0, b.aim("rlj3"));  // rise targets alone
    EXPECT_EQ(0u, b.act->new_joint.count("raj1"));
    b.read("hj2", 0.5);
    b.read("rlj1", 1.0);
    EXPECT_EQ(2, b.step());
    EXPECT_FALSE(b.act->action_end_);

    b.read("rlj1", 0.5);
    b.read("rlj5", 19.0);  // the stop posture is not reached yet
    EXPECT_EQ(2, b.step());
    EXPECT_FALSE(b.act->action_end_);
    EXPECT_EQ(20.0, b.aim("rlj3"));  // stop's pose replaces the rise where both set
    EXPECT_EQ(-30.0, b.aim("rlj4"));
    EXPECT_EQ(-90.0, b.aim("raj1"));
    EXPECT_EQ(0.0, b.aim("hj2"));  // and the rise keeps the rest
    EXPECT_EQ(-65.0, b.aim("raj2"));
    EXPECT_DOUBLE_EQ((0.0 - 0.5) * 0.05, b.act->new_joint["rlj1"]);

    b.read("rlj5", 19.5);
    EXPECT_EQ(0, b.step());
    EXPECT_TRUE(b.act->action_end_);
}

TEST(Handup, ReleaseBeforeTheCrouchRisesAtOnce)
{
    Blocker b;
    b.step();  // arms going out
    b.act->action_state_ = 2;
    b.read("hj2", 5.0);
    EXPECT_EQ(2, b.step());
    EXPECT_EQ(30.0, b.aim("rlj5"));
    EXPECT_DOUBLE_EQ((0.0 - 5.0) * 0.02, b.act->new_joint["hj2"]);
}

TEST(Handup, OtherPhasesDoNothing)
{
    for (int phase : {-1, 3, 11}) {
        Blocker b;
        b.act->action_state_ = phase;
        EXPECT_EQ(phase, b.step());
        EXPECT_TRUE(b.act->new_joint.empty());
        EXPECT_FALSE(b.act->action_end_);
    }
}

TEST(Handup, TraceLineOnlyWithDebug)
{
    Blocker b;
    b.act->action_state_ = 1;
    testing::internal::CaptureStdout();
    b.step();
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    b.act->debug_flag_ = true;
    testing::internal::CaptureStdout();
    b.step();
    EXPECT_EQ("handup()\n", testing::internal::GetCapturedStdout());
}
