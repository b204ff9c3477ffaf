#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "decision/tervalonaction.h"

namespace {

typedef Worldmodel::TVector3 V;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct AngleGain {
    double angle;
    double gain;
};

struct JointColumn {
    const char* joint;
    std::vector<AngleGain> phases;
};

// Joint by joint, one column per phase.
const std::vector<JointColumn> kBackTargets = {
    {"raj1", {{0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {90, 0.05}, {90, 0.03}, {-90, 0.03}}},
    {"laj1", {{120, 0.1}, {120, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.05}, {90, 0.05}, {-90, 0.05}}},
    {"raj2", {{0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.05}, {0, 0.05}, {0, 0.05}}},
    {"laj2", {{0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.05}, {0, 0.05}, {0, 0.05}}},
    {"raj3", {{0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.05}, {0, 0.05}, {0, 0.05}}},
    {"laj3", {{-90, 0.1}, {90, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.05}, {0, 0.05}, {0, 0.05}}},
    {"raj4", {{0, 0.1}, {90, 0.03}, {0, 0.1}, {0, 0.1}, {0, 0.05}, {0, 0.05}, {0, 0.05}}},
    {"laj4", {{-90, 0.1}, {90, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.05}, {0, 0.05}, {0, 0.05}}},
    {"rlj1", {{0, 0.1}, {-20, 0.1}, {5, 0.005}, {0, 0.01}, {0, 0.1}, {0, 0.1}, {0, 0.1}}},
    {"llj1", {{-5, 0.1}, {-5, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}}},
    {"rlj2", {{-45, 0.3}, {-20, 0.3}, {0, 0.01}, {0, 0.01}, {0, 0.1}, {0, 0.1}, {0, 0.1}}},
    {"llj2", {{0, 0.3}, {0, 0.3}, {0, 0.3}, {0, 0.3}, {0, 0.1}, {0, 0.1}, {0, 0.1}}},
    {"rlj3", {{90, 0.05}, {90, 0.05}, {90, 0.005}, {-25, 0.5}, {-25, 0.05}, {-25, 0.03}, {0, 0.03}}},
    {"llj3", {{-20, 0.02}, {-35, 0.5}, {90, 0.02}, {90, 0.01}, {90, 0.05}, {0, 0.05}, {0, 0.05}}},
    {"rlj4", {{0, 0.01}, {0, 0.05}, {0, 0.1}, {-90, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}}},
    {"llj4", {{-80, 0.05}, {-80, 0.05}, {0, 0.02}, {0, 0.1}, {-40, 0.03}, {0, 0.1}, {0, 0.1}}},
    {"rlj5", {{0, 0.05}, {0, 0.5}, {0, 0.05}, {0, 0.05}, {0, 0.1}, {0, 0.1}, {0, 0.1}}},
    {"llj5", {{45, 0.1}, {-50, 0.2}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}}},
    {"rlj6", {{0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}}},
    {"llj6", {{0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}}},
};

const std::vector<JointColumn> kForwardTargets = {
    {"raj1", {{-90, 0.05}, {40, 0.1}, {40, 0.1}, {25, 0.1}, {-45, 0.05}, {-90, 0.1}}},
    {"laj1", {{-90, 0.05}, {40, 0.1}, {40, 0.1}, {25, 0.1}, {-45, 0.05}, {-90, 0.1}}},
    {"raj2", {{0, 0.05}, {-100, 0.1}, {-50, 0.1}, {0, 0.1}, {0, 0.1}, {-20, 0.1}}},
    {"laj2", {{0, 0.05}, {100, 0.1}, {50, 0.1}, {0, 0.1}, {0, 0.1}, {20, 0.1}}},
    {"raj3", {{0, 0.05}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {90, 0.1}}},
    {"laj3", {{0, 0.05}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {-90, 0.1}}},
    {"raj4", {{0, 0.05}, {90, 0.1}, {90, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}}},
    {"laj4", {{0, 0.05}, {-90, 0.1}, {-90, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}}},
    {"rlj1", {{0, 0.05}, {0, 0.1}, {-60, 0.1}, {-60, 0.1}, {-25, 0.02}, {0, 0.02}}},
    {"llj1", {{0, 0.05}, {0, 0.1}, {-60, 0.1}, {-60, 0.1}, {-25, 0.02}, {0, 0.02}}},
    {"rlj2", {{0, 0.05}, {0, 0.1}, {0, 0.1}, {18, 0.1}, {18, 0.1}, {0, 0.1}}},
    {"llj2", {{0, 0.05}, {0, 0.1}, {0, 0.1}, {-18, 0.1}, {-18, 0.1}, {0, 0.1}}},
    {"rlj3", {{0, 0.05}, {100, 0.1}, {100, 0.1}, {100, 0.1}, {10, 0.02}, {0, 0.02}}},
    {"llj3", {{0, 0.05}, {100, 0.1}, {100, 0.1}, {100, 0.1}, {10, 0.02}, {0, 0.02}}},
    {"rlj4", {{0, 0.05}, {-130, 0.1}, {-125, 0.1}, {-125, 0.1}, {-30, 0.02}, {0, 0.02}}},
    {"llj4", {{0, 0.05}, {-130, 0.1}, {-125, 0.1}, {-125, 0.1}, {-30, 0.02}, {0, 0.02}}},
    {"rlj5", {{0, 0.05}, {75, 0.1}, {75, 0.1}, {40, 0.1}, {15, 0.03}, {0, 0.03}}},
    {"llj5", {{0, 0.05}, {75, 0.1}, {75, 0.1}, {40, 0.1}, {15, 0.03}, {0, 0.03}}},
    {"rlj6", {{0, 0.05}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}}},
    {"llj6", {{0, 0.05}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}, {0, 0.1}}},
};

class Standup : public ::testing::Test {
protected:
    Standup() : world_(new Worldmodel("Blue")), act_(world_) {}

    Worldmodel::TStatus& status() { return world_->current_status(); }

    void measured(const std::vector<std::pair<const char*, double> >& angles)
    {
        for (const auto& a : angles) act_.cur_joint[a.first] = a.second;
    }

    // Every joint of a phase 10 degrees past its target, so the command shows the gain.
    void offset_from(const std::vector<JointColumn>& table, int phase)
    {
        for (const JointColumn& c : table) act_.cur_joint[c.joint] = c.phases[phase].angle + 10.0;
    }

    void expect_phase_targets(const std::vector<JointColumn>& table, int phase)
    {
        EXPECT_EQ(table.size() + 2, act_.new_joint.size()) << "phase " << phase;
        for (const JointColumn& c : table) {
            const AngleGain& t = c.phases[phase];
            ASSERT_EQ(1u, act_.new_joint.count(c.joint)) << c.joint;
            EXPECT_EQ(t.angle, act_.aim_joint.at(c.joint)) << c.joint << " phase " << phase;
            EXPECT_DOUBLE_EQ(-10.0 * t.gain, act_.new_joint.at(c.joint))
                << c.joint << " phase " << phase;
        }
        // The head is brought level, whatever the hand-up left it at.
        EXPECT_EQ(0.0, act_.aim_joint.at("hj1"));
        EXPECT_EQ(0.0, act_.aim_joint.at("hj2"));
    }

    boost::shared_ptr<Worldmodel> world_;
    Tervalonaction act_;
};

// ---- fall detection -------------------------------------------------------

struct FallCase {
    const char* name;
    const char* play_mode;
    BehaviorState before;
    V up;  // the field's up axis seen from the torso
    bool fall;
    BehaviorState after;
};

class FallDetection : public Standup, public ::testing::WithParamInterface<FallCase> {};

TEST_P(FallDetection, StateAndResult)
{
    const FallCase& c = GetParam();
    status().gs_pm_ = c.play_mode;
    status().torso_up_ = c.up;
    act_.state = c.before;
    EXPECT_EQ(c.fall, act_.check_standup());
    EXPECT_EQ(c.after, act_.state);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FallDetection,
    ::testing::Values(
        FallCase{"BeforeKickOffNeverFalls", "BeforeKickOff", OVAREL, V(0, 0, -1), false, OVAREL},
        FallCase{"OnTheFront", "PlayOn", OVAREL, V(-0.9, 0, 0.1), true, STANDUP_FORWARD},
        FallCase{"OnTheBack", "PlayOn", OVAREL, V(0.9, 0, 0.1), true, STANDUP_BACK},
        FallCase{"ExactlyHalfIsUpright", "PlayOn", WALK, V(0, 0, 0.5), false, WALK},
        FallCase{"JustBelowHalf", "PlayOn", WALK, V(-0.1, 0, 0.4999), true, STANDUP_FORWARD},
        FallCase{"ZeroVectorIsBack", "PlayOn", WALK, V(0, 0, 0), true, STANDUP_BACK},
        FallCase{"NaNHeightIsUpright", "PlayOn", WALK, V(-0.9, 0, kNaN), false, WALK},
        FallCase{"NaNForwardIsBack", "PlayOn", WALK, V(kNaN, 0, 0.1), true, STANDUP_BACK},
        FallCase{"NoPlayModeYet", "", OVAREL, V(0.9, 0, 0.1), true, STANDUP_BACK},
        FallCase{"MidKick", "PlayOn", KICK_RIGHT, V(-0.9, 0, 0.1), true, STANDUP_FORWARD},
        FallCase{"PlayModeIsCaseSensitive", "beforekickoff", OVAREL, V(0.9, 0, 0.1), true,
                 STANDUP_BACK},
        FallCase{"NotWhileStandingUpForward", "PlayOn", STANDUP_FORWARD, V(0.9, 0, 0.1), false,
                 STANDUP_FORWARD},
        FallCase{"NotWhileStandingUpBack", "PlayOn", STANDUP_BACK, V(-0.9, 0, 0.1), false,
                 STANDUP_BACK},
        // On a side the forward stand-up rolls the robot onto its front first.
        FallCase{"OnTheRightSide", "PlayOn", WALK, V(0, 0.99, 0.1), true, STANDUP_FORWARD},
        FallCase{"OnTheLeftSideLeaningBack", "PlayOn", WALK, V(0.34, -0.93, 0.1), true,
                 STANDUP_FORWARD},
        FallCase{"LeaningBackPastTheSideBand", "PlayOn", WALK, V(0.35, -0.93, 0.1), true,
                 STANDUP_BACK}),
    [](const ::testing::TestParamInfo<FallCase>& info) { return std::string(info.param.name); });

// ---- keyframe tables ------------------------------------------------------

class BackTargets : public Standup, public ::testing::WithParamInterface<int> {};

TEST_P(BackTargets, PhaseSetsItsRow)
{
    const int phase = GetParam();
    act_.state = STANDUP_BACK;
    act_.action_end_ = false;
    act_.action_state_ = phase;
    offset_from(kBackTargets, phase);
    testing::internal::CaptureStdout();
    act_.standup_back();
    EXPECT_EQ("standup_back() " + std::to_string(phase) + "\n", testing::internal::GetCapturedStdout());
    expect_phase_targets(kBackTargets, phase);
}

INSTANTIATE_TEST_SUITE_P(Phases, BackTargets, ::testing::Range(0, 7));

class ForwardTargets : public Standup, public ::testing::WithParamInterface<int> {};

TEST_P(ForwardTargets, PhaseSetsItsRow)
{
    const int phase = GetParam();
    act_.state = STANDUP_FORWARD;
    act_.action_end_ = false;
    act_.action_state_ = phase;
    offset_from(kForwardTargets, phase);
    testing::internal::CaptureStdout();
    act_.standup_forward();
    EXPECT_EQ("standup_forward() " + std::to_string(phase) + "\n",
              testing::internal::GetCapturedStdout());
    expect_phase_targets(kForwardTargets, phase);
}

INSTANTIATE_TEST_SUITE_P(Phases, ForwardTargets, ::testing::Range(0, 6));

TEST_F(Standup, PhaseOutsideTheTableOnlyWritesTheDebugLine)
{
    for (int phase : {-1, 6, 7, 11}) {
        act_.new_joint.clear();
        act_.action_state_ = phase;
        testing::internal::CaptureStdout();
        act_.standup_forward();
        if (phase != 6) act_.standup_back();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(0u, out.find("standup_forward() " + std::to_string(phase) + "\n"));
        EXPECT_TRUE(act_.new_joint.empty()) << phase;
        EXPECT_EQ(phase, act_.action_state_);
    }
}

TEST_F(Standup, NoDebugLineWhenSwitchedOff)
{
    act_.debug_flag_ = false;
    act_.action_state_ = 3;
    testing::internal::CaptureStdout();
    act_.standup_back();
    act_.standup_forward();
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

// ---- exit conditions ------------------------------------------------------

enum Motion { BACK, FORWARD };

struct ExitCase {
    const char* name;
    Motion motion;
    int phase;
    std::vector<std::pair<const char*, double> > angles;
    V torso;
    int next;
};

class PhaseExit : public Standup, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(PhaseExit, AtThresholdStaysJustPastMovesOn)
{
    const ExitCase& c = GetParam();
    act_.state = c.motion == BACK ? STANDUP_BACK : STANDUP_FORWARD;
    act_.action_end_ = false;
    act_.action_state_ = c.phase;
    measured(c.angles);
    status().gyr_["torso"] = c.torso;
    if (c.motion == BACK) {
        act_.standup_back();
    } else {
        act_.standup_forward();
    }
    EXPECT_EQ(c.next, act_.action_state_);
    EXPECT_FALSE(act_.action_end_);
    EXPECT_EQ(c.motion == BACK ? STANDUP_BACK : STANDUP_FORWARD, act_.state);
}

const V kStill(0, 0, 0);

INSTANTIATE_TEST_SUITE_P(
    Back, PhaseExit,
    ::testing::Values(
        ExitCase{"RestEvenWhenStill", BACK, 30, {}, kStill, 30},
        ExitCase{"P0Llj3At", BACK, 0, {{"llj3", -18.0}, {"llj5", 43}}, kStill, 0},
        ExitCase{"P0Llj3Past", BACK, 0, {{"llj3", -18.5}, {"llj5", 43}}, kStill, 1},
        ExitCase{"P0Llj5At", BACK, 0, {{"llj3", -19}, {"llj5", 42.0}}, kStill, 0},
        ExitCase{"P0Llj5Past", BACK, 0, {{"llj3", -19}, {"llj5", 42.01}}, kStill, 1},
        ExitCase{"P0NaN", BACK, 0, {{"llj3", kNaN}, {"llj5", 43}}, kStill, 0},
        ExitCase{"P1Llj5At", BACK, 1, {{"llj5", -42.0}, {"raj4", 89}}, kStill, 1},
        ExitCase{"P1Llj5Past", BACK, 1, {{"llj5", -42.01}, {"raj4", 89}}, kStill, 2},
        ExitCase{"P1Raj4At", BACK, 1, {{"llj5", -43}, {"raj4", 88.0}}, kStill, 1},
        ExitCase{"P1Raj4Past", BACK, 1, {{"llj5", -43}, {"raj4", 88.01}}, kStill, 2},
        ExitCase{"P2At", BACK, 2, {{"llj3", 89.0}}, kStill, 2},
        ExitCase{"P2Past", BACK, 2, {{"llj3", 89.01}}, kStill, 3},
        ExitCase{"QuickSitAt", BACK, 31, {{"llj3", 89.0}}, kStill, 31},
        ExitCase{"QuickSitPast", BACK, 31, {{"llj3", 89.01}}, kStill, 3},
        ExitCase{"P3At", BACK, 3, {{"llj3", 89.3}}, kStill, 3},
        ExitCase{"P3PastPhaseTwoOnly", BACK, 3, {{"llj3", 89.2}}, kStill, 3},
        ExitCase{"P3Past", BACK, 3, {{"llj3", 89.31}}, kStill, 4},
        ExitCase{"P4Rlj3At", BACK, 4, {{"rlj3", -23.0}, {"llj4", -39}}, kStill, 4},
        ExitCase{"P4Rlj3Past", BACK, 4, {{"rlj3", -23.01}, {"llj4", -39}}, kStill, 5},
        ExitCase{"P4Llj4At", BACK, 4, {{"rlj3", -24}, {"llj4", -38.0}}, kStill, 4},
        ExitCase{"P4Llj4Past", BACK, 4, {{"rlj3", -24}, {"llj4", -38.01}}, kStill, 5},
        ExitCase{"P5At", BACK, 5, {{"laj1", 85.0}}, kStill, 5},
        ExitCase{"P5Past", BACK, 5, {{"laj1", 85.01}}, kStill, 6}),
    [](const ::testing::TestParamInfo<ExitCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Forward, PhaseExit,
    ::testing::Values(
        ExitCase{"P0Still", FORWARD, 0, {}, kStill, 1},
        ExitCase{"P0AllJustBelow", FORWARD, 0, {}, V(0.49, -0.49, 0.49), 1},
        ExitCase{"P0XAt", FORWARD, 0, {}, V(0.5, 0, 0), 0},
        ExitCase{"P0YAt", FORWARD, 0, {}, V(0, -0.5, 0), 0},
        ExitCase{"P0ZAt", FORWARD, 0, {}, V(0, 0, 0.5), 0},
        ExitCase{"P0XMoving", FORWARD, 0, {}, V(0.6, 0, 0), 0},
        ExitCase{"P0YMoving", FORWARD, 0, {}, V(0, 0.6, 0), 0},
        ExitCase{"P0ZMoving", FORWARD, 0, {}, V(0, 0, -0.6), 0},
        ExitCase{"P0NaNRate", FORWARD, 0, {}, V(0, kNaN, 0), 0},
        ExitCase{"P1At", FORWARD, 1, {{"raj4", 88.0}}, kStill, 1},
        ExitCase{"P1Past", FORWARD, 1, {{"raj4", 88.01}}, kStill, 2},
        ExitCase{"P2At", FORWARD, 2, {{"raj2", -50.5}}, kStill, 2},
        ExitCase{"P2Past", FORWARD, 2, {{"raj2", -50.49}}, kStill, 3},
        ExitCase{"P3Rlj5At", FORWARD, 3, {{"rlj5", 41.0}, {"rlj2", 18}}, kStill, 3},
        ExitCase{"P3Rlj5Past", FORWARD, 3, {{"rlj5", 40.99}, {"rlj2", 18}}, kStill, 4},
        ExitCase{"P3Rlj2At", FORWARD, 3, {{"rlj5", 40}, {"rlj2", 17.0}}, kStill, 3},
        ExitCase{"P3Rlj2Past", FORWARD, 3, {{"rlj5", 40}, {"rlj2", 17.01}}, kStill, 4},
        ExitCase{"P4At", FORWARD, 4, {{"rlj3", 50.0}}, kStill, 4},
        ExitCase{"P4Past", FORWARD, 4, {{"rlj3", 49.99}}, kStill, 5},
        ExitCase{"P5Raj1At", FORWARD, 5, {{"raj1", -89.0}}, kStill, 5},
        ExitCase{"P5XRateAt", FORWARD, 5, {{"raj1", -89.5}}, V(1.0, 0, 0), 5},
        ExitCase{"P5YRateAt", FORWARD, 5, {{"raj1", -89.5}}, V(0, -1.0, 0), 5},
        ExitCase{"P5ZRateAt", FORWARD, 5, {{"raj1", -89.5}}, V(0, 0, 1.0), 5}),
    [](const ::testing::TestParamInfo<ExitCase>& info) { return std::string(info.param.name); });

struct EndCase {
    const char* name;
    double raj1;
    V torso;
};

class ForwardEnd : public Standup, public ::testing::WithParamInterface<EndCase> {};

TEST_P(ForwardEnd, LastPhaseEndsTheMotionInTheSameCycle)
{
    act_.state = STANDUP_FORWARD;
    act_.action_end_ = false;
    act_.action_state_ = 5;
    act_.cur_joint["raj1"] = GetParam().raj1;
    status().gyr_["torso"] = GetParam().torso;
    act_.standup_forward();
    EXPECT_TRUE(act_.action_end_);
    EXPECT_EQ(0, act_.action_state_);
    EXPECT_EQ(STANDUP_FORWARD, act_.state);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ForwardEnd,
    ::testing::Values(EndCase{"Raj1JustPast", -89.01, V(0, 0, 0)},
                      EndCase{"Raj1WellPastRatesBelowOne", -89.5, V(0.9, -0.9, 0.9)},
                      EndCase{"RatesJustBelow", -90, V(-0.99, 0.99, -0.99)}),
    [](const ::testing::TestParamInfo<EndCase>& info) { return std::string(info.param.name); });

TEST_F(Standup, MissingTorsoGyroscopeCountsAsAtRest)
{
    status().gyr_.clear();
    act_.action_state_ = 0;
    act_.standup_forward();
    EXPECT_EQ(1, act_.action_state_);
    EXPECT_EQ(1u, status().gyr_.count("torso"));
}

TEST_F(Standup, ForcedForwardStandUpSkipsTheRestWait)
{
    act_.standup_flag_ = true;
    act_.action_state_ = 0;
    status().gyr_["torso"] = V(5, 5, 5);
    act_.standup_forward();
    EXPECT_EQ(1, act_.action_state_);
}

TEST_F(Standup, BackPhaseSixHandsOverToTheForwardStandUp)
{
    act_.state = STANDUP_BACK;
    act_.action_end_ = false;
    act_.action_state_ = 6;
    act_.standup_back();
    EXPECT_EQ(STANDUP_FORWARD, act_.state);
    EXPECT_EQ(0, act_.action_state_);
    EXPECT_FALSE(act_.action_end_);
}

// ---- through the dispatcher -----------------------------------------------

TEST_F(Standup, FallMidKickRestartsTheProtocolAndRunsPhaseZeroInTheSameCycle)
{
    status().gs_pm_ = "PlayOn";
    status().torso_up_ = V(0.9, 0, 0.1);
    act_.state = KICK_RIGHT;
    act_.action_state_ = 7;
    act_.action_end_ = false;
    act_.action();
    EXPECT_EQ(STANDUP_BACK, act_.state);
    EXPECT_EQ(0, act_.action_state_);
    EXPECT_FALSE(act_.action_end_);
    EXPECT_EQ(120.0, act_.aim_joint.at("laj1"));
    EXPECT_EQ(kBackTargets.size() + 2, act_.new_joint.size());  // and the head
}

// Fallen on its back, the body rests first on today's server. A sit-up that
// leaves it flat, or a body at rest on its back after the forward stand-up's
// rest, rests and sits up again: three tries of the back stand-up in all.
TEST_F(Standup, OnTheBackRestsAndTriesAgain)
{
    struct Case {
        const char* game_state;
        BehaviorState motion;  // GAIT: the fall is seen now
        V up;
        int tries_before;
        BehaviorState next_motion;
        int next_phase;
    };
    const char* const today = "(GS (unum 2) (team left) (sl 0) (sr 0) (t 1.0) (pm PlayOn))";
    const char* const classic = "(GS (unum 2) (team left) (t 1.0) (pm PlayOn))";
    const V back(0.95, 0, 0.1), side(0.07, 0.96, 0.27);
    const Case cases[] = {
        {today, GAIT, back, 2, STANDUP_BACK, 30},
        {classic, GAIT, back, 0, STANDUP_BACK, 0},
        {today, STANDUP_BACK, back, 2, STANDUP_BACK, 3},
        {today, STANDUP_BACK, side, 0, STANDUP_BACK, 3},
        {classic, STANDUP_BACK, back, 0, STANDUP_BACK, 30},
        {today, STANDUP_FORWARD, back, 0, STANDUP_BACK, 0},
        {today, STANDUP_FORWARD, back, 2, STANDUP_FORWARD, 1},
    };
    for (const Case& c : cases) {
        boost::shared_ptr<Worldmodel> world(new Worldmodel("Blue"));
        world->parse(c.game_state);
        world->current_status().torso_up_ = c.up;
        // Still for the forward stand-up's rest, rocking for the back's.
        world->current_status().gyr_["torso"] = c.motion == STANDUP_FORWARD ? V(0, 0, 0) : V(5, 5, 5);
        Tervalonaction act(world);
        act.debug_flag_ = false;
        act.state = c.motion;
        act.action_state_ = c.motion == STANDUP_BACK ? 3 : 0;
        act.back_tries_ = c.tries_before;
        if (c.motion == STANDUP_BACK) {
            act.standup_back();
        } else if (c.motion == STANDUP_FORWARD) {
            act.standup_forward();
        } else {
            act.action();
        }
        EXPECT_EQ(c.next_motion, act.state) << c.game_state << " " << c.motion << " tries " << c.tries_before;
        EXPECT_EQ(c.next_phase, act.action_state_) << c.game_state << " " << c.motion << " tries " << c.tries_before;
    }
}

// Seen falling onto its back, at rest on its left side: at the end of the
// rest the forward stand-up's side roll takes over.
TEST_F(Standup, AtRestOnASideAfterTheBackRestRollsOffTheSide)
{
    status().gs_pm_ = "PlayOn";
    status().torso_up_ = V(0.17, -0.98, 0.01);
    status().gyr_["torso"] = V(5, 5, 5);
    act_.debug_flag_ = false;
    act_.state = STANDUP_BACK;
    act_.action_state_ = Tervalonaction::kBackRest;
    act_.action_end_ = false;
    for (int k = 1; k <= 20; ++k) {
        ASSERT_EQ(STANDUP_BACK, act_.state) << k;
        act_.clear();
        act_.action();
    }
    EXPECT_EQ(STANDUP_FORWARD, act_.state);
    EXPECT_EQ(Tervalonaction::kLeftSideSwing, act_.action_state_);
}

TEST_F(Standup, BackToForwardHandoverThroughTheDispatcher)
{
    status().gs_pm_ = "PlayOn";
    status().torso_up_ = V(0, 0, 1);
    status().gyr_["torso"] = V(0, 0, 0);
    act_.state = STANDUP_BACK;
    act_.action_end_ = false;
    act_.action_state_ = 6;

    act_.clear();
    act_.action();
    EXPECT_EQ(-90.0, act_.aim_joint.at("raj1"));
    EXPECT_DOUBLE_EQ(-90.0 * 0.03, act_.new_joint.at("raj1"));
    EXPECT_EQ(STANDUP_FORWARD, act_.state);
    EXPECT_EQ(0, act_.action_state_);

    // Next cycle: the forward stand-up from its first phase, whose gain differs.
    act_.clear();
    act_.action();
    EXPECT_DOUBLE_EQ(-90.0 * 0.05, act_.new_joint.at("raj1"));
    EXPECT_EQ(1, act_.action_state_);
    EXPECT_FALSE(act_.action_end_);
}

TEST_F(Standup, WholeBackStandUpRunsToItsEnd)
{
    status().gs_pm_ = "PlayOn";
    status().torso_up_ = V(0.9, 0, 0.1);
    status().gyr_["torso"] = V(0, 0, 0);
    // The joints reach every target at once: measured = last target.
    act_.debug_flag_ = false;
    int cycles = 0;
    std::vector<std::pair<BehaviorState, int> > trace;
    do {
        act_.clear();
        act_.action();
        trace.emplace_back(act_.state, act_.action_state_);
        for (const auto& aim : act_.aim_joint) status().hj_[aim.first] = aim.second;
        // A tiny overshoot lets the strict comparisons pass.
        status().hj_["llj3"] += 0.5;
        status().torso_up_ = V(0, 0, 1);
    } while (!act_.action_end_ && ++cycles < 50);
    ASSERT_TRUE(act_.action_end_);
    // Phase index after each cycle. A phase first sees the pose of the phase
    // before it, so it mostly takes two cycles; back phase 3 (llj3 already past
    // 89.3), back phase 6 and forward phase 0 (body at rest) take one.
    const std::vector<std::pair<BehaviorState, int> > expected = {
        {STANDUP_BACK, 0},    {STANDUP_BACK, 1},    {STANDUP_BACK, 1},    {STANDUP_BACK, 2},
        {STANDUP_BACK, 2},    {STANDUP_BACK, 3},    {STANDUP_BACK, 4},    {STANDUP_BACK, 4},
        {STANDUP_BACK, 5},    {STANDUP_BACK, 5},    {STANDUP_BACK, 6},    {STANDUP_FORWARD, 0},
        {STANDUP_FORWARD, 1}, {STANDUP_FORWARD, 1}, {STANDUP_FORWARD, 2}, {STANDUP_FORWARD, 2},
        {STANDUP_FORWARD, 3}, {STANDUP_FORWARD, 3}, {STANDUP_FORWARD, 4}, {STANDUP_FORWARD, 4},
        {STANDUP_FORWARD, 5}, {STANDUP_FORWARD, 5}, {STANDUP_FORWARD, 0},
    };
    EXPECT_EQ(expected, trace);
}

}  // namespace

// ---- lying on a side --------------------------------------------------------

// Neither stand-up works from a side: the forward stand-up first swings the
// upper leg (and arm) forward and then pushes with the lower arm, and stands
// up from wherever the body lands.
TEST_F(Standup, FromASideSwingThenPushThenStandUpFromWhereItLands)
{
    struct Case {
        int phase;
        V up;
        const char* joint;
        double angle;
        BehaviorState next_state;
        int next_phase;
    };
    const V right(0.1, 0.98, 0.1), left(0.34, -0.93, 0.1);
    const Case cases[] = {
        {0, right, "llj3", 0, STANDUP_FORWARD, 21},        {0, left, "llj3", 0, STANDUP_FORWARD, 23},
        {20, left, "llj3", 0, STANDUP_FORWARD, 23},        {20, V(-0.98, 0, 0.1), "llj3", 0, STANDUP_FORWARD, 1},
        {21, right, "llj3", 85.0, STANDUP_FORWARD, 21},    {21, right, "llj3", 85.01, STANDUP_FORWARD, 22},
        {23, left, "llj3", 90, STANDUP_FORWARD, 23},       {23, V(-0.9, -0.4, 0.1), "rlj3", 85.01, STANDUP_FORWARD, 24},
        {22, V(-0.8, 0.55, 0.1), "llj3", 0, STANDUP_FORWARD, 22}, {22, V(-0.81, 0.55, 0.1), "llj3", 0, STANDUP_FORWARD, 0},
        {24, V(0.81, -0.55, 0.4999), "llj3", 0, STANDUP_BACK, 0}, {24, V(0.85, -0.6, 0.5), "llj3", 0, STANDUP_FORWARD, 0},
        {22, V(kNaN, kNaN, kNaN), "llj3", 0, STANDUP_FORWARD, 22},
    };
    act_.debug_flag_ = false;
    status().gyr_["torso"] = V(0, 0, 0);
    for (const Case& c : cases) {
        status().torso_up_ = c.up;
        act_.cur_joint.clear();
        act_.cur_joint[c.joint] = c.angle;
        act_.state = STANDUP_FORWARD;
        act_.action_state_ = c.phase;
        act_.action_end_ = false;
        act_.standup_forward();
        EXPECT_EQ(c.next_phase, act_.action_state_) << c.phase << " " << c.angle;
        EXPECT_EQ(c.next_state, act_.state) << c.phase;
        EXPECT_FALSE(act_.action_end_);
        if (c.phase > 20) {
            EXPECT_EQ(c.phase % 2 ? 90.0 : 0.0, act_.aim_joint.at(c.phase < 23 ? "llj3" : "rlj3"));  // upper leg
        }
    }
}

// ---- ways out ---------------------------------------------------------------

// A phase held by a body that never quite does what it waits for (its exit
// joint at the threshold) goes on at its limit, to the cycle.
TEST_F(Standup, EveryWayOutFiresExactlyAtItsLimit)
{
    const int kEnd = Tervalonaction::kEndMotion;
    const V front(-0.95, 0, 0.1), back(0.95, 0, 0.1), up(0, 0, 1), shaking(5, 5, 5);
    struct Case {
        BehaviorState motion;
        int phase;
        V up, gyro;
        const char* joint;  // read at `angle`, the others at 0
        double angle;
        int cycles;
        int next_phase;  // of the same motion; kEnd: the role chose another
        int back_tries = 0;  // before this one (0: straight from the fall, no rest)
        bool today = false;  // today's server (last rows: it stays so)
    };
    const Case cases[] = {
        {STANDUP_FORWARD, 0, front, shaking, "raj1", 0, 30, 20},
        {STANDUP_FORWARD, 2, front, kStill, "raj2", -100, 150, 3},
        {STANDUP_FORWARD, 5, up, shaking, "raj1", -90, 150, kEnd},
        {STANDUP_FORWARD, 21, V(0, 0.98, 0.1), shaking, "llj3", 85, 100, 22},
        {STANDUP_FORWARD, 24, V(0, -0.98, 0.1), shaking, "laj2", 90, 100, 0},
        {STANDUP_BACK, 30, back, shaking, "llj3", 0, 20, 0},
        {STANDUP_BACK, 0, back, kStill, "llj3", -18, 50, 1},
        {STANDUP_BACK, 0, back, kStill, "llj3", -18, 40, 1, 1},
        {STANDUP_BACK, 2, back, kStill, "llj3", 89, 30, 31},
        {STANDUP_BACK, 31, back, kStill, "llj3", 89, 50, 3},
        {STANDUP_BACK, 5, back, kStill, "laj1", 85, 50, 6},
        // The keeper's crouch is held, its count starting over.
        {HANDUP, 1, up, kStill, "raj2", -65, 500, 1},
        // Any other phase of any motion: ten seconds, then the role chooses.
        {SIDESTEP, 2, up, kStill, "raj2", 0, 500, kEnd},
        {WALK, 0, up, kStill, "rlj5", 19, 500, 0},
        // Today's first try comes after the back rest.
        {STANDUP_BACK, 0, back, kStill, "llj3", -18, 40, 1, 0, true},
    };
    status().gs_pm_ = "PlayOn";
    for (const Case& c : cases) {
        if (c.today) world_->parse("(GS (unum 2) (team left) (sl 0) (sr 0) (t 1.0) (pm PlayOn))");
        status().torso_up_ = c.up;
        status().gyr_["torso"] = c.gyro;
        status().hj_.clear();
        for (const char* j : {"raj1", "raj2", "raj4", "rlj3", "llj3", "rlj5", "llj5", "laj1", "rlj2", "llj4"})
            status().hj_[j] = 0;
        status().hj_[c.joint] = c.angle;
        Tervalonaction act(world_);  // a fresh count for each case
        act.state = c.motion;
        act.action_state_ = c.phase;
        act.action_end_ = false;
        act.back_tries_ = c.back_tries;
        std::string out;
        for (int k = 1; k <= c.cycles + 1; ++k) {
            act.clear();
            testing::internal::CaptureStdout();
            act.action();
            out = testing::internal::GetCapturedStdout();
            if (k > c.cycles) break;
            ASSERT_EQ(c.motion, act.state) << c.phase << " cycle " << k;
            ASSERT_EQ(c.phase, act.action_state_) << c.motion << "/" << c.phase << " cycle " << k;
            ASSERT_EQ(k, act.phase_cycles());
        }
        const std::string name = c.motion == STANDUP_BACK ? "standup_back() " : "standup_forward() ";
        if (c.next_phase == kEnd) {
            EXPECT_NE(c.motion, act.state) << c.phase;
        } else if (c.motion == STANDUP_BACK || c.motion == STANDUP_FORWARD) {
            EXPECT_NE(std::string::npos, out.find(name + std::to_string(c.next_phase) + "\n")) << out;
        } else {
            EXPECT_EQ(1, act.phase_cycles());  // the role chose it afresh
        }
        EXPECT_FALSE(act.action_end_);
    }
}

// Every type sets the standard robot's targets in every stand-up phase, but
// where the table of the types gives it rows of its own: type 1, back phase 5.
TEST_F(Standup, EachTypeGetsItsOwnRowsAndOtherwiseTheStandardOnes)
{
    const std::map<std::string, AngleGain> type1_back5 = {{"laj1", {90, 0.1}}, {"llj3", {90, 0.05}}};
    for (int type = -1; type <= 4; ++type)
        for (BehaviorState motion : {STANDUP_BACK, STANDUP_FORWARD})
            for (int phase : {0, 1, 2, 3, 4, 5, 6, 20, 21, 22, 23, 24, 31}) {
                Tervalonaction standard(world_), typed(world_, type);
                for (Tervalonaction* a : {&standard, &typed}) {
                    a->debug_flag_ = false;
                    a->action_state_ = phase;
                    motion == STANDUP_BACK ? a->standup_back() : a->standup_forward();
                }
                std::map<std::string, double> aim = standard.aim_joint, speed = standard.new_joint;
                if (type == 1 && motion == STANDUP_BACK && phase == 5)
                    for (const auto& j : type1_back5) aim[j.first] = j.second.angle, speed[j.first] = j.second.angle * j.second.gain;
                EXPECT_EQ(std::make_pair(aim, speed), std::make_pair(typed.aim_joint, typed.new_joint))
                    << type << " " << motion << " " << phase;
            }
}
