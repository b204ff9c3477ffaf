#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "decision/tervalonaction.h"

namespace {

const std::vector<std::string> kArmsAndLegs = {
    "raj1", "laj1", "raj2", "laj2", "raj3", "laj3", "raj4", "laj4", "rlj1", "llj1",
    "rlj2", "llj2", "rlj3", "llj3", "rlj4", "llj4", "rlj5", "llj5", "rlj6", "llj6",
};

struct Target {
    const char* joint;
    double angle;
    double gain;
};

// The bent-knee stand.
const std::vector<Target> kStopPose = {
    {"raj1", -90, 0.05}, {"laj1", -90, 0.05}, {"raj3", 90, 0.05},  {"laj3", -90, 0.05},
    {"raj4", 90, 0.02},  {"laj4", -90, 0.02}, {"rlj3", 20, 0.02},  {"llj3", 20, 0.02},
    {"rlj2", -2, 0.05},  {"llj2", 2, 0.05},   {"rlj4", -30, 0.05}, {"llj4", -30, 0.05},
    {"rlj5", 20, 0.02},  {"llj5", 20, 0.02},  {"rlj6", 0, 0.05},   {"llj6", 0, 0.05},
};

class Postures : public ::testing::Test {
protected:
    Postures() : world_(new Worldmodel("Blue")), act_(world_) {}

    boost::shared_ptr<Worldmodel> world_;
    Tervalonaction act_;
};

TEST_F(Postures, OvarelDrivesTheTwentyArmAndLegJointsToZeroWithTheGivenGain)
{
    for (const std::string& j : kArmsAndLegs) act_.cur_joint[j] = 10.0;
    act_.aim_joint["hj1"] = 33.0;
    act_.action_state_ = 4;
    act_.action_end_ = false;

    testing::internal::CaptureStdout();
    act_.ovarel(0.4);
    EXPECT_EQ("ovarel()\n", testing::internal::GetCapturedStdout());

    EXPECT_EQ(kArmsAndLegs.size(), act_.new_joint.size());
    for (const std::string& j : kArmsAndLegs) {
        EXPECT_DOUBLE_EQ(-4.0, act_.new_joint.at(j)) << j;
        EXPECT_EQ(0.0, act_.aim_joint.at(j)) << j;
    }
    EXPECT_EQ(0u, act_.new_joint.count("hj1"));
    EXPECT_EQ(33.0, act_.aim_joint.at("hj1"));
    EXPECT_TRUE(act_.action_end_);
    EXPECT_EQ(4, act_.action_state_);
}

TEST_F(Postures, OvarelAtRestUsesTheFineGain)
{
    for (const std::string& j : kArmsAndLegs) act_.cur_joint[j] = 0.0;
    act_.debug_flag_ = false;
    testing::internal::CaptureStdout();
    act_.ovarel(0.4);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    act_.cur_joint["rlj4"] = -0.15;
    act_.ovarel(0.4);
    EXPECT_DOUBLE_EQ(0.15 * 0.005, act_.new_joint.at("rlj4"));
    EXPECT_EQ(0.0, act_.new_joint.at("raj1"));
}

TEST_F(Postures, StopSetsTheBentKneeStandAndNothingElse)
{
    for (const Target& t : kStopPose) act_.cur_joint[t.joint] = t.angle + 10.0;
    testing::internal::CaptureStdout();
    act_.stop();
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ(kStopPose.size(), act_.new_joint.size());
    for (const Target& t : kStopPose) {
        EXPECT_EQ(t.angle, act_.aim_joint.at(t.joint)) << t.joint;
        EXPECT_DOUBLE_EQ(-10.0 * t.gain, act_.new_joint.at(t.joint)) << t.joint;
    }
    for (const char* untouched : {"raj2", "laj2", "rlj1", "llj1", "hj1", "hj2"}) {
        EXPECT_EQ(0u, act_.new_joint.count(untouched)) << untouched;
    }
}

struct StopEnd {
    double rlj5;
    bool complete;
};

class StopCompletion : public Postures, public ::testing::WithParamInterface<StopEnd> {};

TEST_P(StopCompletion, EndsOnceRlj5PassesNineteen)
{
    act_.cur_joint["rlj5"] = GetParam().rlj5;
    act_.action_state_ = 3;
    act_.action_end_ = false;
    act_.stop();
    EXPECT_EQ(GetParam().complete, act_.action_end_);
    EXPECT_EQ(GetParam().complete ? 0 : 3, act_.action_state_);
}

INSTANTIATE_TEST_SUITE_P(Threshold, StopCompletion,
                         ::testing::Values(StopEnd{0.0, false}, StopEnd{19.0, false},
                                           StopEnd{19.001, true}, StopEnd{25.0, true},
                                           StopEnd{std::numeric_limits<double>::quiet_NaN(), false}));

}  // namespace
