// Right and left kicks. Each TEST runs in its own process under ctest, so the
// kicks' `wait` stamps start fresh in every test.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "decision/tervalonaction.h"

namespace {

struct Rig {
    boost::shared_ptr<Worldmodel> world{new Worldmodel("Blue")};
    boost::shared_ptr<Tervalonaction> act{new Tervalonaction(world)};

    Rig() { act->debug_flag_ = false; }
    void at(double t) { world->current_status().time_ = t; }
    void measure(const char* joint, double angle) { act->cur_joint[joint] = angle; }
    // One cycle of a kick (a fresh command table, then one step); returns its output.
    std::string kick(bool left)
    {
        act->new_joint.clear();
        testing::internal::CaptureStdout();
        left ? act->kick_left() : act->kick_right();
        return testing::internal::GetCapturedStdout();
    }
    int phase_after(bool left, double t)
    {
        at(t);
        kick(left);
        return act->action_state_;
    }
};

}  // namespace

TEST(KickRight, VeryFirstKickLeavesPhaseZeroOnlyAfterTimeOne)
{
    Rig r;
    EXPECT_EQ(0, r.phase_after(false, 0.5));
    EXPECT_DOUBLE_EQ(20.0, r.act->aim_joint["rlj5"]);  // stand pose
    EXPECT_EQ(0, r.phase_after(false, 1.0));           // not more than one second after 0
    EXPECT_EQ(10, r.phase_after(false, 1.5));
}

TEST(KickRight, VeryFirstStepAtOneAndAHalfSecondsLeavesPhaseZero)
{
    Rig r;
    EXPECT_EQ(10, r.phase_after(false, 1.5));
}

TEST(KickLeft, VeryFirstKickIsHeldForMoreThanOneSecond)
{
    Rig r;
    EXPECT_EQ(0, r.phase_after(true, 30.0));
    EXPECT_EQ(0, r.phase_after(true, 30.9));
    EXPECT_EQ(0, r.phase_after(true, 31.0));
    EXPECT_EQ(10, r.phase_after(true, 31.01));
}

TEST(Kick, JointThresholdsAtAndJustPast)
{
    struct Case {
        bool left;
        int phase;
        const char* joint;
        double value;
        int next;
    };
    const std::vector<Case> cases = {
        {false, 10, "llj6", 7.8, 10},   {false, 10, "llj6", 7.81, 1},
        {false, 1, "llj6", 11.8, 1},    {false, 1, "llj6", 11.81, 2},
        {false, 2, "rlj4", -22.0, 2},   {false, 2, "rlj4", -21.9, 3},
        {false, 3, "rlj4", -92.0, 3},   {false, 3, "rlj4", -92.5, 4},
        {false, 4, "rlj4", -42.0, 4},   {false, 4, "rlj4", -41.9, 5},
        {true, 10, "rlj6", -7.8, 10},   {true, 10, "rlj6", -7.81, 1},
        {true, 1, "rlj6", -11.8, 1},    {true, 1, "rlj6", -11.81, 2},
        {true, 2, "llj4", -22.0, 2},    {true, 2, "llj4", -21.9, 3},
        {true, 3, "llj4", -92.0, 3},    {true, 3, "llj4", -92.5, 4},
        {true, 4, "llj4", -42.0, 4},    {true, 4, "llj4", -41.9, 5},
    };
    for (const Case& c : cases) {
        Rig r;
        r.act->action_state_ = c.phase;
        r.measure(c.joint, c.value);
        EXPECT_EQ(c.next, r.phase_after(c.left, 3.0))
            << (c.left ? "left" : "right") << " phase " << c.phase << " " << c.joint << "=" << c.value;
    }
}

TEST(Kick, NewPhaseTargetsComeOneCycleLater)
{
    for (bool left : {false, true}) {
        Rig r;
        r.act->action_state_ = 2;
        r.measure(left ? "llj4" : "rlj4", -10.0);
        const char* ankle = left ? "llj5" : "rlj5";
        ASSERT_EQ(3, r.phase_after(left, 3.0));
        EXPECT_DOUBLE_EQ(-35.0 * 0.36, r.act->new_joint[ankle]);  // still the swing (measured 0)
        r.kick(left);
        EXPECT_DOUBLE_EQ(35.0 * 0.1, r.act->new_joint[ankle]);    // now the recoil
    }
}

TEST(KickRight, SettleWaitsOneSecondFromPhaseFiveWhichAlsoHoldsTheNextKick)
{
    Rig r;
    r.act->action_end_ = false;
    r.act->action_state_ = 4;
    r.measure("rlj4", -41.0);
    ASSERT_EQ(5, r.phase_after(false, 10.0));

    r.measure("rlj5", 19.5);
    r.measure("rlj3", 19.5);
    EXPECT_EQ(5, r.phase_after(false, 10.5));  // stance reached, but too soon
    EXPECT_EQ(5, r.phase_after(false, 11.0));  // exactly one second is not more
    r.measure("rlj5", 19.0);                   // stance tests are strict
    EXPECT_EQ(5, r.phase_after(false, 11.25));
    r.measure("rlj5", 19.5);
    r.measure("rlj3", 19.0);
    EXPECT_EQ(5, r.phase_after(false, 11.25));
    EXPECT_FALSE(r.act->action_end_);
    r.measure("rlj3", 19.01);
    EXPECT_EQ(0, r.phase_after(false, 11.25));
    EXPECT_TRUE(r.act->action_end_);

    // The next right kick may not swing before one second after that phase 5 began.
    EXPECT_EQ(0, r.phase_after(false, 10.75));
    EXPECT_EQ(10, r.phase_after(false, 11.25));
}

TEST(KickLeft, SettlePrintsRightLegReadingsButTestsTheLeftLeg)
{
    Rig r;
    r.act->action_state_ = 4;
    r.measure("llj4", -41.0);
    r.at(50.0);
    EXPECT_EQ("action_state_  === === 4\n", r.kick(true));
    ASSERT_EQ(5, r.act->action_state_);

    r.measure("rlj3", 19.5);
    r.measure("rlj5", 20.25);
    r.at(52.0);
    EXPECT_EQ("action_state_  === === 5\n"
              "rlj3 > 19  =====   19.5\n"
              "rlj5 > 19  =====20.25\n",
              r.kick(true));
    EXPECT_EQ(5, r.act->action_state_);  // the left leg is not in stance yet

    r.measure("llj5", 19.5);
    r.measure("llj3", 19.5);
    EXPECT_EQ(5, r.phase_after(true, 50.5));
    EXPECT_EQ(5, r.phase_after(true, 51.0));
    EXPECT_EQ(0, r.phase_after(true, 51.5));
    EXPECT_TRUE(r.act->action_end_);
}

TEST(Kick, TraceLines)
{
    Rig r;
    r.at(0.25);
    r.act->action_state_ = 3;
    r.act->debug_flag_ = true;
    EXPECT_EQ("kick_right() 3\n", r.kick(false));
    EXPECT_EQ("kick_left()\naction_state_  === === 3\n", r.kick(true));
    r.act->debug_flag_ = false;
    EXPECT_EQ("", r.kick(false));
    EXPECT_EQ("action_state_  === === 3\n", r.kick(true));  // printed whatever the flag
}

TEST(Kick, PhasesOutsideTheTableDoNothing)
{
    for (int phase : {-1, 6, 7, 9, 11, 100}) {
        for (bool left : {false, true}) {
            Rig r;
            r.act->action_state_ = phase;
            r.act->action_end_ = false;
            for (const char* j : {"llj6", "rlj4", "llj4", "rlj5", "rlj3", "llj5", "llj3"}) r.measure(j, 50.0);
            r.measure("rlj6", -50.0);
            EXPECT_EQ(phase, r.phase_after(left, 5.0));
            EXPECT_FALSE(r.act->action_end_);
            EXPECT_TRUE(r.act->aim_joint.empty()) << phase;
        }
    }
}

TEST(KickRight, TimeWithoutANumberDoesNotStallTheSettle)
{
    Rig r;
    r.act->action_state_ = 4;
    r.measure("rlj4", -41.0);
    ASSERT_EQ(5, r.phase_after(false, std::numeric_limits<double>::quiet_NaN()));
    r.measure("rlj5", 19.5);
    r.measure("rlj3", 19.5);
    EXPECT_EQ(5, r.phase_after(false, 20.0));  // the second counts from the first usable time
    EXPECT_EQ(5, r.phase_after(false, 21.0));
    EXPECT_EQ(0, r.phase_after(false, 21.02));
}

TEST(KickLeft, FirstCallWithoutATimeStampsAtTheFirstUsableTime)
{
    Rig r;
    EXPECT_EQ(0, r.phase_after(true, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(0, r.phase_after(true, 7.0));
    EXPECT_EQ(0, r.phase_after(true, 8.0));
    EXPECT_EQ(10, r.phase_after(true, 8.05));
}
