// Ball walk. Each TEST runs in its own process under ctest, so `rhythm` starts
// at 0.085 and the phase clock is stamped by the test's first call.
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
        ball(3.0, 0.0);
    }
    void at(double t) { world->current_status().time_ = t; }
    void ball(double dist, double bearing) { world->current_status().ball_ = Worldmodel::TVector3(dist, bearing, 0.0); }
    void measure(const char* joint, double angle) { act->cur_joint[joint] = angle; }
    int step(double t)
    {
        at(t);
        act->new_joint.clear();
        act->ballwalk();
        return act->action_state_;
    }
    double aim(const char* joint) { return act->aim_joint[joint]; }
    // Leave the stance at time t: the phase clock starts at t.
    void start_stride(double t)
    {
        act->action_state_ = 0;
        measure("rlj5", 19.5);
        ASSERT_EQ(1, step(t));
    }
};

}  // namespace

TEST(BallWalk, StanceUntilRightAnkleAboveNineteen)
{
    Rig r;
    r.measure("rlj5", 19.0);
    EXPECT_EQ(0, r.step(4.0));
    EXPECT_DOUBLE_EQ((25.0 - 19.0) * 0.02, r.act->new_joint["rlj5"]);
    EXPECT_DOUBLE_EQ(90.0 * 0.05, r.act->new_joint["raj4"]);
    r.measure("rlj5", 19.01);
    EXPECT_EQ(1, r.step(4.0));
    EXPECT_DOUBLE_EQ(25.0, r.aim("rlj5"));  // stride targets only from the next call
}

TEST(BallWalk, StrideIsPacedByTheStartingRhythm)
{
    Rig r;
    r.start_stride(0.0);
    EXPECT_EQ(1, r.step(std::nextafter(0.085, 0.0)));
    EXPECT_DOUBLE_EQ(-110.0, r.aim("raj1"));
    EXPECT_EQ(2, r.step(0.085));
    EXPECT_DOUBLE_EQ(55.0, r.aim("llj5"));
    EXPECT_EQ(3, r.step(0.2));
    EXPECT_DOUBLE_EQ(-110.0, r.aim("laj1"));
    EXPECT_EQ(4, r.step(0.3));
    EXPECT_EQ(1, r.step(0.4));  // wraps round to the right leg
}

TEST(BallWalk, RhythmRampEndsJustAboveNinetyMilliseconds)
{
    double expected = 0.085;
    for (int i = 0; i < 10; ++i) expected += 0.0005;
    ASSERT_EQ(0.09000000000000001, expected);

    Rig r;
    r.act->action_state_ = 4;
    for (int i = 0; i < 15; ++i) ASSERT_EQ(4, r.step(100.0));  // ten lengthen it, the rest do not
    r.start_stride(0.0);
    EXPECT_EQ(1, r.step(0.09));
    EXPECT_EQ(2, r.step(0.09000000000000001));
}

TEST(BallWalk, StopsAtExactlyFourTenthsOnlyInALiftPhase)
{
    struct Case {
        int phase;
        double dist;
        int next;
    };
    const std::vector<Case> cases = {
        {1, 0.4, 11}, {1, 0.41, 1}, {3, 0.4, 11}, {3, 0.41, 3},
        {2, 0.1, 2},  {4, 0.1, 4},  {1, kNaN, 1}, {3, kNaN, 3},
    };
    for (const Case& c : cases) {
        Rig r;
        r.act->action_state_ = c.phase;
        r.ball(c.dist, 0.0);
        EXPECT_EQ(c.next, r.step(7.0)) << "phase " << c.phase << " ball " << c.dist;  // no time elapses
    }
}

TEST(BallWalk, BallReachedDuringSetDownStopsAtTheNextLift)
{
    Rig r;
    r.start_stride(0.0);
    ASSERT_EQ(2, r.step(0.085));
    r.ball(0.3, 0.0);
    EXPECT_EQ(2, r.step(0.1));
    EXPECT_EQ(11, r.step(0.2));  // phase 3 reached and left in the same call
    EXPECT_DOUBLE_EQ(90.0 * 0.02, r.act->new_joint["raj4"]);  // stop posture sent at once
}

TEST(BallWalk, FinishesAtExactlyHalfAMetreOnceInStance)
{
    struct Case {
        double dist, rlj5, rlj3, raj4;
        bool done;
    };
    const std::vector<Case> cases = {
        {0.5, 19.5, 19.5, -21.0, true},  {0.51, 19.5, 19.5, -21.0, false},
        {0.2, 19.0, 19.5, -21.0, false}, {0.2, 19.5, 19.0, -21.0, false},
        {0.2, 19.5, 19.5, -22.0, false}, {0.2, 19.5, 19.5, -21.9, true},
        {kNaN, 19.5, 19.5, -21.0, false},
    };
    for (const Case& c : cases) {
        Rig r;
        r.act->action_state_ = 11;
        r.ball(c.dist, 0.0);
        r.measure("rlj5", c.rlj5);
        r.measure("rlj3", c.rlj3);
        r.measure("raj4", c.raj4);
        EXPECT_EQ(c.done ? 0 : 11, r.step(1.0));
        EXPECT_EQ(c.done, r.act->action_end_) << c.dist << " " << c.rlj5 << " " << c.rlj3 << " " << c.raj4;
        EXPECT_DOUBLE_EQ(20.0, r.aim("rlj5"));
    }
}

TEST(BallWalk, SteersTheLeftHipOnlyWhileTheLeftLegSteps)
{
    struct Case {
        double bearing, yaw;
    };
    const std::vector<Case> cases = {
        {5.0, -5.0}, {30.0, -5.0}, {-5.0, 5.0}, {-40.0, 5.0},
        {4.99, 0.0}, {-4.99, 0.0}, {0.0, 0.0},  {kNaN, 0.0},
    };
    for (const Case& c : cases) {
        for (int phase : {1, 2, 3, 4}) {
            Rig r;
            r.act->action_state_ = phase;
            r.ball(3.0, c.bearing);
            ASSERT_EQ(phase, r.step(2.0));
            const double yaw = phase >= 3 ? c.yaw : 0.0;
            EXPECT_EQ(yaw, r.aim("llj1")) << "bearing " << c.bearing << " phase " << phase;
            EXPECT_DOUBLE_EQ(yaw * (phase == 4 ? 0.1 : 0.2), r.act->new_joint["llj1"]);
            EXPECT_EQ(0.0, r.aim("rlj1"));
        }
    }
}

TEST(BallWalk, PhaseFiveIsTakenAsOneUntilTheRhythmHasPassed)
{
    Rig r;
    r.act->action_state_ = 5;
    EXPECT_EQ(1, r.step(5.0));
    EXPECT_DOUBLE_EQ(-110.0, r.aim("raj1"));
    r.act->action_state_ = 5;
    r.ball(0.4, 0.0);
    EXPECT_EQ(11, r.step(5.0));
}

TEST(BallWalk, PhaseFiveAfterTheRhythmCountsUpWithoutTargetsToTheStop)
{
    Rig r;
    r.start_stride(0.0);
    r.act->action_state_ = 5;
    for (int expected = 6; expected <= 10; ++expected) {
        ASSERT_EQ(expected, r.step(0.1 * (expected - 5)));
        EXPECT_TRUE(r.act->new_joint.empty()) << expected;
    }
    EXPECT_EQ(10, r.step(0.55));  // not yet a rhythm later
    EXPECT_EQ(11, r.step(0.6));
    EXPECT_FALSE(r.act->new_joint.empty());  // the stop posture
}

TEST(BallWalk, PhasesOutsideTheTableSendNothing)
{
    for (int phase : {-1, 6, 9, 12, 40}) {
        Rig r;
        r.act->action_state_ = phase;
        r.measure("rlj5", 19.5);
        r.ball(0.1, 10.0);
        EXPECT_EQ(phase, r.step(3.0));
        EXPECT_TRUE(r.act->aim_joint.empty());
        EXPECT_FALSE(r.act->action_end_);
    }
}

TEST(BallWalk, TraceLines)
{
    Rig r;
    r.ball(0.4, 3.0);
    r.act->debug_flag_ = true;
    testing::internal::CaptureStdout();
    r.step(1.0);
    EXPECT_EQ("ballwalk()\n wst.ball_0  ---------------- 0.4\n", testing::internal::GetCapturedStdout());
    r.act->debug_flag_ = false;
    testing::internal::CaptureStdout();
    r.step(1.0);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

TEST(BallWalk, TimeWithoutANumberDoesNotStopTheStride)
{
    Rig r;
    r.act->action_state_ = 1;
    EXPECT_EQ(1, r.step(kNaN));
    EXPECT_EQ(1, r.step(0.0));  // the first usable time starts the phase clock
    EXPECT_EQ(2, r.step(0.085));
    for (const auto& kv : r.act->aim_joint) EXPECT_FALSE(std::isnan(kv.second)) << kv.first;
}
