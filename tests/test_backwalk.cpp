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

// The phase clock is a process-wide static; see BackWalkFirstCall.
bool backed = false;

struct Keeper {
    boost::shared_ptr<Worldmodel> world{new Worldmodel("Blue")};
    boost::shared_ptr<Tervalonaction> act{new Tervalonaction(world)};

    Keeper()
    {
        act->debug_flag_ = false;
        act->action_end_ = false;
        place(-4.0, 0.0);
    }
    void place(double x, double heading)
    {
        world->current_status().position_.v_[0] = x;
        world->current_status().direction_ = heading;
    }
    int step(double t)
    {
        world->current_status().time_ = t;
        act->new_joint.clear();
        backed = true;
        act->back_walk();
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
};

// 0.1 s after a start time kept in single precision: the difference of the
// double time and the widened float is exactly the pace.
const double kStart = 0.1;
const double kBoundary = static_cast<double>(static_cast<float>(kStart)) + 0.1;

}  // namespace

TEST(BackWalkFirstCall, PhaseClockStartsAtTheFirstCallsTimeInSinglePrecision)
{
    if (backed) GTEST_SKIP() << "needs a process in which back_walk() has not run yet";
    ASSERT_EQ(0.1, kBoundary - static_cast<float>(kStart));
    Keeper k;
    k.act->action_state_ = 2;  // left over from another motion
    EXPECT_EQ(2, k.step(kStart));
    EXPECT_EQ(2, k.step(std::nextafter(kBoundary, 0.0)));
    EXPECT_EQ(3, k.step(kBoundary));
}

TEST(BackWalk, PhaseAdvancesExactlyAtThePace)
{
    Keeper k;
    k.enter(1, kStart);
    EXPECT_EQ(1, k.step(std::nextafter(kBoundary, 0.0)));
    EXPECT_EQ(2, k.step(kBoundary));
    k.enter(4, 5.0);
    EXPECT_EQ(1, k.step(5.12));  // wraps
}

TEST(BackWalk, SinglePrecisionStartShiftsTheBoundaryAtLargeTimes)
{
    Keeper k;
    // 100.03 rounds down in single precision: a double span just short of 0.1 s is enough.
    k.enter(1, 100.03);
    ASSERT_LT(100.13 - 100.03, 0.1);
    EXPECT_EQ(2, k.step(100.13));
    // 100.01 rounds up: a double span just over 0.1 s is not.
    k.enter(1, 100.01);
    ASSERT_GE(100.110001 - 100.01, 0.1);
    EXPECT_EQ(1, k.step(100.110001));
}

struct StanceCase {
    double x, heading;
    bool finishes;
};

void PrintTo(const StanceCase& c, std::ostream* os) { *os << "x " << exact(c.x) << " heading " << exact(c.heading); }

class BackWalkStanceTest : public testing::TestWithParam<StanceCase> {};

TEST_P(BackWalkStanceTest, FinishesBehindTheLineOrOffHeading)
{
    const StanceCase c = GetParam();
    Keeper k;
    k.place(c.x, c.heading);
    k.act->cur_joint["rlj5"] = 19.0;
    EXPECT_EQ(0, k.step(1.0));
    EXPECT_FALSE(k.act->action_end_);
    k.act->cur_joint["rlj5"] = std::nextafter(19.0, 20.0);
    EXPECT_EQ(c.finishes ? 0 : 1, k.step(1.02));
    EXPECT_EQ(c.finishes, k.act->action_end_);
}

INSTANTIATE_TEST_SUITE_P(
    BackWalk, BackWalkStanceTest,
    testing::Values(StanceCase{-5.5, 10.0, false}, StanceCase{-5.5, -10.0, false},
                    StanceCase{std::nextafter(-5.5, -6.0), 0.0, true},
                    StanceCase{0.0, std::nextafter(10.0, 11.0), true},
                    StanceCase{0.0, std::nextafter(-10.0, -11.0), true},
                    StanceCase{kNaN, kNaN, false}));

struct AbortCase {
    int phase;
    double x, heading;
    bool aborts;
};

void PrintTo(const AbortCase& c, std::ostream* os)
{
    *os << "phase " << c.phase << " x " << c.x << " heading " << c.heading;
}

class BackWalkAbortTest : public testing::TestWithParam<AbortCase> {};

TEST_P(BackWalkAbortTest, HeadingWithALegUpPositionWithBothDown)
{
    const AbortCase c = GetParam();
    Keeper k;
    k.enter(c.phase, 2.0);
    k.place(c.x, c.heading);
    EXPECT_EQ(c.aborts ? 0 : c.phase, k.step(2.02));
}

INSTANTIATE_TEST_SUITE_P(
    BackWalk, BackWalkAbortTest,
    testing::Values(AbortCase{1, -6.0, 0.0, false}, AbortCase{3, -6.0, 0.0, false},
                    AbortCase{2, -6.0, 0.0, true}, AbortCase{4, -6.0, 0.0, true},
                    AbortCase{1, 0.0, 11.0, true}, AbortCase{3, 0.0, -11.0, true},
                    AbortCase{2, 0.0, 11.0, false}, AbortCase{4, 0.0, -11.0, false},
                    AbortCase{2, -5.5, 0.0, false}, AbortCase{1, 0.0, 10.0, false},
                    AbortCase{6, -6.0, 0.0, true}, AbortCase{7, 0.0, 11.0, true},
                    AbortCase{2, kNaN, kNaN, false}, AbortCase{1, kNaN, kNaN, false}));

TEST(BackWalk, AbortFinishesInTheSameCallOnceTheStanceHolds)
{
    Keeper k;
    k.enter(2, 3.0);
    k.place(-6.0, 0.0);
    k.act->cur_joint["rlj5"] = 20.0;
    EXPECT_EQ(0, k.step(3.02));
    EXPECT_TRUE(k.act->action_end_);
    EXPECT_EQ(16u, k.act->new_joint.size());  // the stance
    EXPECT_DOUBLE_EQ((24.0 - 0.0) * 0.05, k.act->new_joint["rlj3"]);
}

TEST(BackWalk, StrideTargetsMoveOnlyTheLegPitchJoints)
{
    const double rlj3[] = {32, 24, 24, 24};
    const double llj4[] = {-35, -35, -79, -35};
    for (int phase = 1; phase <= 4; ++phase) {
        Keeper k;
        k.enter(phase, 4.0);
        EXPECT_EQ(phase, k.step(4.0));
        EXPECT_EQ(6u, k.act->new_joint.size());
        EXPECT_DOUBLE_EQ(rlj3[phase - 1] * 0.2, k.act->new_joint["rlj3"]) << phase;
        EXPECT_DOUBLE_EQ(llj4[phase - 1] * 0.2, k.act->new_joint["llj4"]) << phase;
    }
}

TEST(BackWalk, LeftOverPhasesCountUpWithoutTargets)
{
    Keeper k;
    k.enter(5, 6.0);
    EXPECT_EQ(5, k.step(6.02));  // 5 is not taken as 1
    EXPECT_TRUE(k.act->new_joint.empty());
    EXPECT_EQ(6, k.step(6.2));
    EXPECT_EQ(7, k.step(6.4));
    EXPECT_TRUE(k.act->new_joint.empty());
    k.enter(INT_MAX - 1, 7.0);  // odd, then even: must not overflow
    EXPECT_EQ(INT_MAX, k.step(7.2));
    EXPECT_EQ(INT_MAX, k.step(7.4));
}

TEST(BackWalk, TraceLineOnlyWithDebug)
{
    Keeper k;
    k.act->action_state_ = 9;
    testing::internal::CaptureStdout();
    k.step(1.0);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    k.act->debug_flag_ = true;
    testing::internal::CaptureStdout();
    k.step(1.0);
    EXPECT_EQ("back_walk()\n", testing::internal::GetCapturedStdout());
}
