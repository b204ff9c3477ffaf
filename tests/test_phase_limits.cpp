// A phase held by a body that never quite does what it waits for (each
// exit joint at its threshold) goes on at its limit, to the cycle.
#include <string>

#include <gtest/gtest.h>

#include "decision/tervalonaction.h"

namespace {

typedef Worldmodel::TVector3 V;
const int kEnd = Tervalonaction::kEndMotion;

struct LimitCase {
    BehaviorState motion;
    int phase;
    V up, gyro;
    const char* joint;  // read at `angle`, every other joint at 0
    double angle;
    int cycles;
    int next_phase;  // of the same motion; kEnd: the role chose another
};

class WayOut : public ::testing::TestWithParam<LimitCase> {};

TEST_P(WayOut, FiresExactlyAtItsLimitAndNotBefore)
{
    const LimitCase& c = GetParam();
    boost::shared_ptr<Worldmodel> world(new Worldmodel("Blue"));
    Tervalonaction act(world);
    Worldmodel::TStatus& st = world->current_status();
    st.gs_pm_ = "PlayOn";
    st.torso_up_ = c.up;
    st.gyr_["torso"] = c.gyro;
    for (const char* j : {"raj1", "raj2", "raj4", "rlj3", "llj3", "rlj5", "llj5", "laj1", "rlj2", "llj4"}) st.hj_[j] = 0;
    st.hj_[c.joint] = c.angle;
    act.state = c.motion;
    act.action_state_ = c.phase;
    act.action_end_ = false;
    std::string out;
    for (int k = 1; k <= c.cycles + 1; ++k) {
        act.clear();
        testing::internal::CaptureStdout();
        act.action();
        out = testing::internal::GetCapturedStdout();
        if (k > c.cycles) break;
        ASSERT_EQ(c.motion, act.state) << "cycle " << k;
        ASSERT_EQ(c.phase, act.action_state_) << "cycle " << k;
        ASSERT_EQ(k, act.phase_cycles());
    }
    // The phase that ran in the cycle past the limit.
    const std::string name = c.motion == STANDUP_BACK ? "standup_back() " : "standup_forward() ";
    if (c.next_phase == kEnd) {
        EXPECT_NE(c.motion, act.state);
    } else if (c.motion == STANDUP_BACK || c.motion == STANDUP_FORWARD) {
        EXPECT_NE(std::string::npos, out.find(name + std::to_string(c.next_phase) + "\n")) << out;
    } else {
        EXPECT_EQ(1, act.phase_cycles());  // the role chose it afresh
    }
    EXPECT_FALSE(act.action_end_);
    EXPECT_EQ(c.cycles, Tervalonaction::phase_limit(c.motion, c.phase));
}

const V kFront(-0.95, 0, 0.1), kBack(0.95, 0, 0.1), kStill(0, 0, 0), kShaking(5, 5, 5);
const V kRightSide(0, 0.98, 0.1), kLeftSide(0, -0.98, 0.1);

INSTANTIATE_TEST_SUITE_P(
    Phases, WayOut,
    ::testing::Values(
        LimitCase{STANDUP_FORWARD, 0, kFront, kShaking, "raj1", 0, 30, 20},
        LimitCase{STANDUP_FORWARD, 1, kFront, kStill, "raj4", 0, 150, 2},
        LimitCase{STANDUP_FORWARD, 2, kFront, kStill, "raj2", -100, 150, 3},
        LimitCase{STANDUP_FORWARD, 3, kFront, kStill, "rlj2", 0, 150, 4},
        LimitCase{STANDUP_FORWARD, 4, kFront, kStill, "rlj3", 100, 150, 5},
        LimitCase{STANDUP_FORWARD, 5, V(0, 0, 1), kShaking, "raj1", -90, 150, kEnd},
        LimitCase{STANDUP_FORWARD, 21, kRightSide, kShaking, "llj3", 85, 100, 22},
        LimitCase{STANDUP_FORWARD, 22, kRightSide, kShaking, "raj2", -90, 100, 0},
        LimitCase{STANDUP_FORWARD, 23, kLeftSide, kShaking, "rlj3", 85, 100, 24},
        LimitCase{STANDUP_FORWARD, 24, kLeftSide, kShaking, "laj2", 90, 100, 0},
        LimitCase{STANDUP_BACK, 0, kBack, kStill, "llj3", -18, 40, 1},
        LimitCase{STANDUP_BACK, 1, kBack, kStill, "llj5", -42, 40, 2},
        LimitCase{STANDUP_BACK, 2, kBack, kStill, "llj3", 89, 30, 31},
        LimitCase{STANDUP_BACK, 31, kBack, kStill, "llj3", 89, 50, 3},
        LimitCase{STANDUP_BACK, 3, kBack, kStill, "llj3", 89.3, 50, 4},
        LimitCase{STANDUP_BACK, 4, kBack, kStill, "rlj3", -23, 40, 5},
        LimitCase{STANDUP_BACK, 5, kBack, kStill, "laj1", 85, 50, 6},
        // Any other phase of any motion: ten seconds, then the role chooses.
        LimitCase{HANDUP, 1, V(0, 0, 1), kStill, "raj2", -65, 500, kEnd},
        LimitCase{WALK, 0, V(0, 0, 1), kStill, "rlj5", 19, 500, 0}));

}  // namespace
