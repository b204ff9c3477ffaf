// Tuned gait. Each TEST runs in its own process under ctest, so the gait's
// phase clock is stamped by the test's first call.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "decision/tervalonaction.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Rig {
    boost::shared_ptr<Worldmodel> world{new Worldmodel("Blue")};
    boost::shared_ptr<Tervalonaction> act{new Tervalonaction(world)};

    Rig()
    {
        act->debug_flag_ = false;
        act->action_end_ = false;
        goal(3.0, 0.0);
    }
    void goal(double dist, double bearing) { act->goto_pos_ = Worldmodel::TVector3(dist, bearing, 0.0); }
    int step(double t)
    {
        world->current_status().time_ = t;
        act->new_joint.clear();
        act->tune_walk();
        return act->action_state_;
    }
    double aim(const char* joint) { return act->aim_joint[joint]; }
};

}  // namespace

TEST(TuneWalk, StanceThenStrideAdvancingEveryElevenHundredths)
{
    Rig r;
    r.act->cur_joint["rlj5"] = 19.0;
    EXPECT_EQ(0, r.step(0.0));
    EXPECT_DOUBLE_EQ(10.0 * 0.08, r.act->new_joint["raj4"]);
    r.act->cur_joint["rlj5"] = 19.01;
    EXPECT_EQ(1, r.step(0.0));  // phase clock starts here
    EXPECT_DOUBLE_EQ(24.0, r.aim("rlj2"));  // stride postures from the next call

    EXPECT_EQ(1, r.step(std::nextafter(0.11, 0.0)));
    EXPECT_DOUBLE_EQ(32.1173882, r.aim("rlj2"));
    EXPECT_DOUBLE_EQ(0.0, r.aim("rlj3"));  // hip pitch stays at the stance value
    EXPECT_EQ(2, r.step(0.11));
    EXPECT_DOUBLE_EQ(25.5126122, r.aim("rlj2"));
    EXPECT_EQ(3, r.step(0.22));  // exactly one rhythm after 0.11
    EXPECT_DOUBLE_EQ(32.1173882, r.aim("llj2"));
    EXPECT_EQ(4, r.step(0.4));
    EXPECT_DOUBLE_EQ(25.5126122, r.aim("llj2"));
    EXPECT_EQ(1, r.step(0.6));  // wraps round
}

TEST(TuneWalk, GoalDistanceBoundsEndTheGaitInTheOddPhases)
{
    struct Case {
        int phase;
        double dist;
        bool ends;
    };
    const std::vector<Case> cases = {
        {1, 0.2, false}, {1, 6.0, false}, {1, 0.19999, true}, {1, 6.00001, true},
        {3, 0.2, false}, {3, 6.0, false}, {3, 0.1, true},     {3, 7.0, true},
        {2, 0.1, false}, {4, 7.0, false}, {1, kNaN, false},   {5, 0.1, true},
        {7, 7.0, true},  {6, 7.0, false},
    };
    for (const Case& c : cases) {
        Rig r;
        r.act->action_state_ = c.phase;
        r.goal(c.dist, 0.0);
        const int next = r.step(1.0);
        EXPECT_EQ(c.ends, r.act->action_end_) << "phase " << c.phase << " dist " << c.dist;
        if (c.ends) {
            EXPECT_EQ(0, next);  // rlj5 measures 0: the stance is held
            EXPECT_DOUBLE_EQ(24.0, r.aim("llj2"));
        }
    }
}

TEST(TuneWalk, EndingWhileStillInStanceRestartsTheStride)
{
    Rig r;
    r.act->action_state_ = 1;
    r.goal(0.1, 0.0);
    r.act->cur_joint["rlj5"] = 19.5;
    EXPECT_EQ(1, r.step(1.0));
    EXPECT_TRUE(r.act->action_end_);
    EXPECT_DOUBLE_EQ((20.0 - 19.5) * 0.08, r.act->new_joint["rlj5"]);  // stance targets were sent
}

TEST(TuneWalk, BearingIsLimitedToSixDegreesAndNegated)
{
    struct Case {
        double bearing, yaw;
    };
    const std::vector<Case> cases = {
        {10.0, -6.0}, {-10.0, 6.0}, {6.0, -6.0}, {-6.0, 6.0}, {3.5, -3.5},
        {1e300, -6.0}, {-1e300, 6.0}, {kNaN, 0.0},
        {1.1, -static_cast<double>(1.1f)},  // steered in single precision
    };
    for (const Case& c : cases) {
        Rig r;
        r.goal(3.0, c.bearing);
        r.act->action_state_ = 2;
        ASSERT_EQ(2, r.step(1.0));
        EXPECT_EQ(c.yaw, r.aim("llj1")) << c.bearing;
        EXPECT_EQ(0.0, r.aim("rlj1"));
        r.act->action_state_ = 4;
        ASSERT_EQ(4, r.step(1.0));
        EXPECT_EQ(c.yaw, r.aim("rlj1")) << c.bearing;
        EXPECT_EQ(0.0, r.aim("llj1"));
        for (const auto& kv : r.act->new_joint) EXPECT_FALSE(std::isnan(kv.second)) << kv.first;
    }
}

TEST(TuneWalk, PhaseFiveIsOneAndPhasesAboveFiveDoNothing)
{
    Rig r;
    r.act->action_state_ = 5;
    EXPECT_EQ(1, r.step(1.0));
    EXPECT_DOUBLE_EQ(32.1173882, r.aim("rlj2"));
    for (int phase : {6, 7, 8, 12}) {
        Rig q;
        q.act->action_state_ = phase;
        q.step(1.0);
        EXPECT_EQ(phase, q.step(2.0));
        EXPECT_TRUE(q.act->aim_joint.empty());
        EXPECT_FALSE(q.act->action_end_);
    }
}

TEST(TuneWalk, TraceLine)
{
    Rig r;
    r.act->debug_flag_ = true;
    testing::internal::CaptureStdout();
    r.step(1.0);
    EXPECT_EQ("tune_walk()\n", testing::internal::GetCapturedStdout());
    r.act->debug_flag_ = false;
    testing::internal::CaptureStdout();
    r.step(1.0);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

TEST(TuneWalk, TimeWithoutANumberDoesNotStopTheStride)
{
    Rig r;
    r.act->action_state_ = 2;
    EXPECT_EQ(2, r.step(kNaN));
    EXPECT_EQ(2, r.step(5.0));  // the first usable time starts the phase clock
    EXPECT_EQ(3, r.step(5.2));
}
