// Kick-off kick: the endless arm-and-leg swing, and its trailing left-leg kick
// that runs only when the phase counter is carried into it.
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

    Rig() { act->action_end_ = false; }
    void measure(const char* joint, double angle) { act->cur_joint[joint] = angle; }
    std::string step()
    {
        act->new_joint.clear();
        testing::internal::CaptureStdout();
        act->kick_off();
        return testing::internal::GetCapturedStdout();
    }
};

}  // namespace

TEST(KickOff, ThresholdsAtAndJustPast)
{
    struct Case {
        int phase;
        const char* joint;
        double value;
        int next;
    };
    const std::vector<Case> cases = {
        {0, "laj1", -50.0, 0},  {0, "laj1", -50.5, 1},  {1, "laj1", 150.0, 1},  {1, "laj1", 151.0, 0},
        {2, "llj2", 62.0, 2},   {2, "llj2", 62.5, 3},   {3, "llj4", -139.0, 3}, {3, "llj4", -139.5, 4},
        {4, "llj4", -34.0, 4},  {4, "llj4", -34.5, 5},
    };
    for (const Case& c : cases) {
        Rig r;
        r.act->action_state_ = c.phase;
        r.measure(c.joint, c.value);
        r.step();
        EXPECT_EQ(c.next, r.act->action_state_) << "phase " << c.phase << " " << c.joint << "=" << c.value;
        EXPECT_FALSE(r.act->action_end_);
    }
}

TEST(KickOff, SwingRepeatsWithoutEverEndingAndWithItsOwnGains)
{
    Rig r;
    for (int round = 0; round < 3; ++round) {
        r.measure("laj1", -120.0);
        r.step();
        ASSERT_EQ(1, r.act->action_state_);
        r.measure("llj6", 10.0);
        r.measure("rlj6", 10.0);
        r.step();
        EXPECT_DOUBLE_EQ(15000.0, r.act->new_joint["laj1"]);  // 300 degrees off at gain 50
        EXPECT_DOUBLE_EQ(-0.5, r.act->new_joint["llj6"]);     // the left ankle is driven softly
        EXPECT_DOUBLE_EQ(-50.0, r.act->new_joint["rlj6"]);
        r.measure("laj1", 160.0);
        r.step();
        ASSERT_EQ(0, r.act->action_state_);  // back to the start, never on to 2
    }
    EXPECT_FALSE(r.act->action_end_);
}

TEST(KickOff, LegKickEndsInPhaseZeroWhenStraightAndStill)
{
    struct Case {
        double llj4;
        bool has_gyro;
        Worldmodel::TVector3 gyro;
        bool done;
    };
    const std::vector<Case> cases = {
        {-1.0, false, {}, false},             {-0.5, false, {}, true},
        {-0.5, true, {0.1, 0.3, 0.0}, false}, {-0.5, true, {0.29, -4.0, 0.1}, true},
        {-0.5, true, {0.0, 0.0, 0.3}, false},
    };
    for (const Case& c : cases) {
        Rig r;
        r.act->action_state_ = 5;
        r.measure("llj4", c.llj4);
        if (c.has_gyro) r.world->current_status().gyr_["torso"] = c.gyro;
        EXPECT_EQ("test2\n", r.step());
        EXPECT_EQ(c.done ? 0 : 5, r.act->action_state_);
        EXPECT_EQ(c.done, r.act->action_end_);
        EXPECT_EQ(c.has_gyro ? 1u : 0u, r.world->current_status().gyr_.size());  // perception untouched
    }
}

TEST(KickOff, LegKickDrivesFromTheParametersAndNeverFromANaN)
{
    Rig r;
    r.act->action_state_ = 2;
    r.step();
    EXPECT_DOUBLE_EQ(-15.0, r.act->aim_joint["llj4"]);
    EXPECT_DOUBLE_EQ(0.0, r.act->new_joint["llj4"]);  // inpuct_ 0: no drive
    EXPECT_DOUBLE_EQ(0.0, r.act->aim_joint["llj1"]);

    r.act->inpuct_ = 1.0;
    r.act->angle_ = 12.0;
    r.step();
    EXPECT_DOUBLE_EQ(-15.0 * 0.87, r.act->new_joint["llj4"]);
    EXPECT_DOUBLE_EQ(12.0, r.act->new_joint["llj1"]);

    r.act->inpuct_ = std::numeric_limits<double>::quiet_NaN();
    r.act->angle_ = std::numeric_limits<double>::infinity();
    r.step();
    for (const auto& kv : r.act->aim_joint) EXPECT_TRUE(std::isfinite(kv.second)) << kv.first;
    for (const auto& kv : r.act->new_joint) EXPECT_TRUE(std::isfinite(kv.second)) << kv.first;
}

TEST(KickOff, PhasesOutsideTheTableDoNothing)
{
    for (int phase : {6, 7, 10, -1}) {
        Rig r;
        r.act->action_state_ = phase;
        r.measure("laj1", 170.0);
        r.measure("llj4", 5.0);
        EXPECT_EQ("", r.step());
        EXPECT_EQ(phase, r.act->action_state_);
        EXPECT_FALSE(r.act->action_end_);
        EXPECT_TRUE(r.act->aim_joint.empty());
    }
}
