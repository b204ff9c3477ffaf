#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <iomanip>
#include <limits>
#include <ostream>
#include <sstream>
#include <string>

#include "decision/tervalonaction.h"
#include "support/numbers.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

using testsupport::exact;

// The gait's start time is a process-wide static: only a test that runs before
// any other call of walk() in this process can see its first-call behaviour.
bool walked = false;

struct Walker {
    boost::shared_ptr<Worldmodel> world{new Worldmodel("Blue")};
    boost::shared_ptr<Tervalonaction> act{new Tervalonaction(world)};

    Walker()
    {
        act->debug_flag_ = false;
        act->goto_pos_ = Worldmodel::TVector3(5.0, 0.0, 0.0);  // far ahead: no stop
    }
    // One call of the gait at simulation time t; the phase it leaves.
    int step(double t)
    {
        world->current_status().time_ = t;
        act->new_joint.clear();
        walked = true;
        act->walk();
        return act->action_state_;
    }
    // Phase `phase`, begun at time t (a stance exit restarts the phase clock).
    void enter(int phase, double t)
    {
        act->action_state_ = 0;
        act->cur_joint["rlj5"] = 20.0;
        ASSERT_EQ(1, step(t));
        act->cur_joint["rlj5"] = 0.0;
        act->action_state_ = phase;
    }
    void expect_target(const char* j, double angle, double gain)
    {
        EXPECT_DOUBLE_EQ(angle, act->aim_joint[j]) << j;
        ASSERT_EQ(1u, act->new_joint.count(j)) << j;
        EXPECT_DOUBLE_EQ((angle - act->cur_joint[j]) * gain, act->new_joint[j]) << j;
    }
    std::string driven() const
    {
        std::string s;
        for (const auto& c : act->new_joint) s += (s.empty() ? "" : " ") + c.first;
        return s;
    }
};

// Phase start and boundary whose difference is exactly the 0.11 s rhythm.
const double kStart = 0.11;
const double kBoundary = 0.22;

}  // namespace

TEST(WalkFirstCall, PhaseClockStartsAtTheFirstCallsTime)
{
    if (walked) GTEST_SKIP() << "needs a process in which walk() has not run yet";
    ASSERT_EQ(kBoundary - kStart, 0.11);
    Walker w;
    w.act->action_state_ = 2;  // left over from another motion
    // Measured from a zero start this would already be 0.11 s.
    EXPECT_EQ(2, w.step(kStart));
    EXPECT_EQ(2, w.step(std::nextafter(kBoundary, 0.0)));
    EXPECT_EQ(3, w.step(kBoundary));
}

TEST(Walk, StanceEndsAboveNineteenAndStridesFromTheNextCall)
{
    Walker w;
    w.act->cur_joint["rlj5"] = 19.0;
    EXPECT_EQ(0, w.step(1.0));
    w.expect_target("raj4", 90, 0.02);
    w.expect_target("rlj2", -2, 0.05);
    w.expect_target("rlj5", 20, 0.02);
    EXPECT_EQ("laj1 laj3 laj4 llj2 llj3 llj4 llj5 llj6 raj1 raj3 raj4 rlj2 rlj3 rlj4 rlj5 rlj6",
              w.driven());

    w.act->cur_joint["rlj5"] = std::nextafter(19.0, 20.0);
    EXPECT_EQ(1, w.step(1.02));
    EXPECT_DOUBLE_EQ(-90, w.act->aim_joint["raj1"]);  // still the stance this call
    EXPECT_EQ(1, w.step(1.04));
    w.expect_target("raj1", -110, 0.15);
    w.expect_target("rlj3", 60, 0.3);
}

TEST(Walk, PhaseAdvancesExactlyAtTheRhythm)
{
    Walker w;
    w.enter(1, kStart);
    EXPECT_EQ(1, w.step(std::nextafter(kBoundary, 0.0)));
    EXPECT_EQ(2, w.step(kBoundary));
    EXPECT_EQ(2, w.step(kBoundary + 0.1));  // the clock restarted at the change
}

TEST(Walk, StrideAtTwentyMillisecondCyclesHoldsEachPhaseSixCycles)
{
    Walker w;
    w.enter(1, 2000 / 50.0);
    std::string phases;
    for (int k = 2001; k <= 2030; ++k) phases += std::to_string(w.step(k / 50.0));
    EXPECT_EQ("111112222223333334444441111112", phases);
}

struct StopCase {
    double distance, bearing;
    bool stops;
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << "goal " << exact(c.distance) << " at " << exact(c.bearing); }

class WalkStopTest : public testing::TestWithParam<StopCase> {};

TEST_P(WalkStopTest, AppliedInEveryLiftCycle)
{
    const StopCase c = GetParam();
    for (int lift : {1, 3}) {
        Walker w;
        w.enter(lift, 5.0);
        w.act->goto_pos_ = Worldmodel::TVector3(c.distance, c.bearing, 0.0);
        EXPECT_EQ(c.stops ? 11 : lift, w.step(5.02)) << "lift phase " << lift;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Walk, WalkStopTest,
    testing::Values(StopCase{0.1, 0.0, true}, StopCase{std::nextafter(0.1, 1.0), 0.0, false},
                    StopCase{-1.0, 0.0, true}, StopCase{5.0, 30.0, false},
                    StopCase{5.0, -30.0, false}, StopCase{5.0, std::nextafter(30.0, 31.0), true},
                    StopCase{5.0, std::nextafter(-30.0, -31.0), true},
                    StopCase{kNaN, 0.0, false}, StopCase{5.0, kNaN, false},
                    StopCase{kNaN, 40.0, true}, StopCase{0.05, kNaN, true}));

TEST(Walk, StopWaitsForTheNextLiftPhaseIncludingTheWrap)
{
    Walker w;
    w.act->goto_pos_ = Worldmodel::TVector3(0.05, 0.0, 0.0);
    for (int down : {2, 4}) {
        w.enter(down, 3.0);
        EXPECT_EQ(down, w.step(3.1)) << "a set-down phase is finished first";
    }
    w.enter(4, 3.0);
    EXPECT_EQ(11, w.step(3.12));  // 4 wraps to 1 and stops in the same call
    w.enter(2, 3.0);
    EXPECT_EQ(11, w.step(3.12));
}

struct StanceReading {
    double rlj5, rlj3, raj4;
    bool ends;
};

void PrintTo(const StanceReading& r, std::ostream* os)
{
    *os << "rlj5 " << r.rlj5 << " rlj3 " << r.rlj3 << " raj4 " << r.raj4;
}

class WalkStopPhaseTest : public testing::TestWithParam<StanceReading> {};

TEST_P(WalkStopPhaseTest, EndsOnlyWhenAllThreeReadingsPass)
{
    const StanceReading r = GetParam();
    Walker w;
    w.act->action_end_ = false;
    w.act->action_state_ = 11;
    w.act->cur_joint["rlj5"] = r.rlj5;
    w.act->cur_joint["rlj3"] = r.rlj3;
    w.act->cur_joint["raj4"] = r.raj4;
    EXPECT_EQ(r.ends ? 0 : 11, w.step(7.0));
    EXPECT_EQ(r.ends, w.act->action_end_);
    w.expect_target("rlj4", -30, 0.05);  // the stance targets
    w.expect_target("raj4", 90, 0.02);
    EXPECT_EQ(0u, w.act->new_joint.count("rlj1"));
}

INSTANTIATE_TEST_SUITE_P(Walk, WalkStopPhaseTest,
                         testing::Values(StanceReading{19.01, 19.01, -21.99, true},
                                         StanceReading{19.0, 19.01, -21.99, false},
                                         StanceReading{19.01, 19.0, -21.99, false},
                                         StanceReading{19.01, 19.01, -22.0, false},
                                         StanceReading{0.0, 0.0, 0.0, false}));

TEST(Walk, LeftOverPhasesCountUpWithoutTargets)
{
    Walker w;
    w.enter(7, 10.0);
    EXPECT_EQ(7, w.step(10.1));
    EXPECT_EQ(8, w.step(10.2));
    EXPECT_EQ("", w.driven());
    EXPECT_EQ(9, w.step(10.4));
    EXPECT_EQ(10, w.step(10.6));
    EXPECT_EQ(11, w.step(10.8));
    EXPECT_FALSE(w.driven().empty());  // the stop posture

    w.enter(12, 20.0);
    EXPECT_EQ(13, w.step(20.2));
    EXPECT_EQ("", w.driven());
    w.enter(INT_MAX, 30.0);  // parked: must not overflow
    EXPECT_EQ(INT_MAX, w.step(30.2));
}

TEST(Walk, StrideJointsPerPhase)
{
    const char* expected[] = {
        "laj1 llj1 llj2 llj3 llj4 llj5 llj6 raj1 rlj1 rlj2 rlj3 rlj4 rlj5 rlj6",
        "llj1 llj3 llj4 llj5 llj6 rlj1 rlj3 rlj4 rlj5 rlj6",  // hip rolls keep phase 1's
        "laj1 llj1 llj3 llj4 llj5 llj6 raj1 rlj1 rlj3 rlj4 rlj5 rlj6",
        "llj1 llj3 llj4 llj5 llj6 rlj1 rlj3 rlj4 rlj5 rlj6",
    };
    for (int phase = 1; phase <= 4; ++phase) {
        Walker w;
        w.enter(phase, 1.0);
        EXPECT_EQ(phase, w.step(1.0));
        EXPECT_EQ(expected[phase - 1], w.driven()) << "phase " << phase;
    }
}

struct SteerCase {
    double bearing, yaw;
};

void PrintTo(const SteerCase& c, std::ostream* os) { *os << "bearing " << c.bearing; }

class WalkSteerTest : public testing::TestWithParam<SteerCase> {};

TEST_P(WalkSteerTest, SteppingLegsHipYaw)
{
    const SteerCase c = GetParam();
    const struct {
        int phase;
        const char* yawed;
        const char* straight;
        double gain;
    } phases[] = {{1, "rlj1", "llj1", 0.2}, {2, "rlj1", "llj1", 0.1},
                  {3, "llj1", "rlj1", 0.2}, {4, "llj1", "rlj1", 0.1}};
    for (const auto& p : phases) {
        Walker w;
        w.enter(p.phase, 1.0);
        w.act->goto_pos_ = Worldmodel::TVector3(5.0, c.bearing, 0.0);
        w.act->cur_joint[p.yawed] = 20.0;  // outside the arrival band: the gain shows
        EXPECT_EQ(p.phase, w.step(1.0));
        w.expect_target(p.yawed, c.yaw, p.gain);
        if (c.yaw == 0.0) {
            EXPECT_FALSE(std::signbit(w.act->aim_joint[p.yawed])) << "no -0";
        }
        EXPECT_EQ(0.0, w.act->aim_joint[p.straight]);
    }
}

INSTANTIATE_TEST_SUITE_P(Walk, WalkSteerTest,
                         // The yaw takes the bearing's sign: a positive yaw on the
                         // stepping leg turns the robot counter-clockwise.
                         testing::Values(SteerCase{3.0, 3.0}, SteerCase{-4.5, -4.5},
                                         SteerCase{6.0, 6.0}, SteerCase{10.0, 6.0},
                                         SteerCase{-29.0, -6.0}, SteerCase{0.0, 0.0},
                                         SteerCase{-0.0, 0.0}, SteerCase{kNaN, 0.0}));

TEST(Walk, TraceLineOnlyWithDebug)
{
    Walker w;
    w.act->action_state_ = 11;
    testing::internal::CaptureStdout();
    w.step(1.0);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    w.act->debug_flag_ = true;
    testing::internal::CaptureStdout();
    w.step(1.0);
    EXPECT_EQ("walk()  action_state_  == 11\n", testing::internal::GetCapturedStdout());
}
