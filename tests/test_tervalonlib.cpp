#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control/tervalonlib.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The 22 joints with their effectors, in effector order as they appear on the wire.
const std::vector<std::pair<std::string, std::string> > kWireOrder = {
    {"hj1", "he1"},   {"hj2", "he2"},   {"laj1", "lae1"}, {"laj2", "lae2"}, {"laj3", "lae3"},
    {"laj4", "lae4"}, {"llj1", "lle1"}, {"llj2", "lle2"}, {"llj3", "lle3"}, {"llj4", "lle4"},
    {"llj5", "lle5"}, {"llj6", "lle6"}, {"raj1", "rae1"}, {"raj2", "rae2"}, {"raj3", "rae3"},
    {"raj4", "rae4"}, {"rlj1", "rle1"}, {"rlj2", "rle2"}, {"rlj3", "rle3"}, {"rlj4", "rle4"},
    {"rlj5", "rle5"}, {"rlj6", "rle6"},
};

std::string num(double v)
{
    std::ostringstream out;
    out << v;
    return out.str();
}

class JointControl : public ::testing::Test {
protected:
    JointControl() : world_(new Worldmodel("Blue")), lib_(world_) {}

    Worldmodel::TStatus& status() { return world_->current_status(); }

    // One cycle's bracket around whatever the test sets in between.
    void cycle_start()
    {
        lib_.clear();
        lib_.init();
    }

    boost::shared_ptr<Worldmodel> world_;
    Tervalonlib lib_;
};

struct SetCase {
    const char* name;
    double measured;
    double target;
    double gain;
    double command;
    bool moving;
};

class SetBand : public JointControl, public ::testing::WithParamInterface<SetCase> {};

TEST_P(SetBand, CommandTargetAndResult)
{
    const SetCase& c = GetParam();
    lib_.cur_joint["raj1"] = c.measured;
    EXPECT_EQ(c.moving, lib_.set("raj1", c.target, c.gain));
    EXPECT_DOUBLE_EQ(c.command, lib_.new_joint.at("raj1"));
    EXPECT_EQ(c.target, lib_.aim_joint.at("raj1"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetBand,
    ::testing::Values(
        SetCase{"FarBelow", 10.0, 30.0, 0.1, 2.0, true},
        SetCase{"InsideBand", 29.9, 30.0, 0.1, (30.0 - 29.9) * 0.005, false},
        // 0.2 - 0.0 is exactly the band in floating point: inside.
        SetCase{"EdgeAbove", 0.0, 0.2, 0.4, 0.2 * 0.005, false},
        SetCase{"EdgeBelow", 0.2, 0.0, 0.4, -0.2 * 0.005, false},
        SetCase{"JustPastEdge", 0.0, 0.2000001, 0.4, 0.2000001 * 0.4, true},
        SetCase{"NegativeError", 45.0, -45.0, 0.05, -90.0 * 0.05, true},
        SetCase{"OnTarget", -12.0, -12.0, 0.3, 0.0, false}),
    [](const ::testing::TestParamInfo<SetCase>& info) { return std::string(info.param.name); });

TEST_F(JointControl, ExactBandEdgeIsReallyZeroPointTwo)
{
    // Guards the edge case above against a representation surprise.
    ASSERT_EQ(Tervalonlib::EPS, std::fabs(0.0 - 0.2));
}

TEST_F(JointControl, LastSetInACycleWins)
{
    lib_.cur_joint["llj4"] = 0.0;
    lib_.set("llj4", -80.0, 0.05);
    lib_.set("llj4", 40.0, 0.1);
    EXPECT_DOUBLE_EQ(4.0, lib_.new_joint.at("llj4"));
    EXPECT_EQ(40.0, lib_.aim_joint.at("llj4"));
    EXPECT_EQ(1u, lib_.new_joint.size());
}

TEST_F(JointControl, NaNMeasuredOrTargetTakesTheFineBranchWithoutCrashing)
{
    lib_.cur_joint["hj1"] = kNaN;
    EXPECT_FALSE(lib_.set("hj1", 10.0, 0.4));
    EXPECT_TRUE(std::isnan(lib_.new_joint.at("hj1")));
    EXPECT_EQ(10.0, lib_.aim_joint.at("hj1"));

    lib_.cur_joint["hj2"] = 1.0;
    EXPECT_FALSE(lib_.set("hj2", kNaN, 0.4));
    EXPECT_TRUE(std::isnan(lib_.aim_joint.at("hj2")));
}

TEST_F(JointControl, GetOfAnUnseenJointIsZeroAndCreatesIt)
{
    EXPECT_EQ(0u, lib_.cur_joint.count("rlj5"));
    EXPECT_EQ(0.0, lib_.get("rlj5"));
    EXPECT_EQ(1u, lib_.cur_joint.count("rlj5"));
}

TEST_F(JointControl, SetOfANeverReportedJointWorksAgainstZero)
{
    EXPECT_TRUE(lib_.set("rlj3", 20.0, 0.02));
    EXPECT_DOUBLE_EQ(0.4, lib_.new_joint.at("rlj3"));
}

TEST_F(JointControl, StartUpDrivesEveryReportedJointTowardsZeroWithHoldGain)
{
    status().hj_["hj1"] = 10.0;
    status().hj_["rlj2"] = -4.0;
    status().hj_["laj3"] = 0.1;  // inside the band
    cycle_start();
    EXPECT_EQ(3u, lib_.new_joint.size());
    EXPECT_DOUBLE_EQ(-0.5, lib_.new_joint.at("hj1"));
    EXPECT_DOUBLE_EQ(0.2, lib_.new_joint.at("rlj2"));
    EXPECT_DOUBLE_EQ(-0.1 * 0.005, lib_.new_joint.at("laj3"));
    EXPECT_EQ(10.0, lib_.get("hj1"));
}

TEST_F(JointControl, IdleCycleHoldsTowardsTheLastTarget)
{
    status().hj_["raj4"] = 0.0;
    cycle_start();
    lib_.set("raj4", 90.0, 0.03);
    lib_.setangle();

    // Next cycle no motion sets anything; the joint has moved to 30 meanwhile.
    status().hj_["raj4"] = 30.0;
    cycle_start();
    EXPECT_DOUBLE_EQ((90.0 - 30.0) * 0.05, lib_.new_joint.at("raj4"));
    EXPECT_EQ(90.0, lib_.aim_joint.at("raj4"));
    lib_.setangle();
    EXPECT_EQ("(rae4 " + num((90.0 - 30.0) * 0.05) + ")", lib_.get_commands());
}

TEST_F(JointControl, InitEmptiesTheCommandsOfTheLastCycle)
{
    lib_.set("llj1", 5.0, 0.1);
    lib_.set("bogus", 5.0, 0.1);
    cycle_start();
    EXPECT_TRUE(lib_.new_joint.empty());
}

TEST_F(JointControl, EmptyPerceptionGivesNoJointCommands)
{
    cycle_start();
    lib_.setangle();
    EXPECT_TRUE(lib_.new_joint.empty());
    EXPECT_EQ("", lib_.get_commands());
}

TEST_F(JointControl, AllTwentyTwoJointsGoOutUnderTheirEffectorNamesInKeyOrder)
{
    std::string expected;
    double measured = -10.0;
    for (const auto& j : kWireOrder) {
        status().hj_[j.first] = measured;
        expected += "(" + j.second + " " + num((0.0 - measured) * 0.05) + ")";
        measured += 1.25;
    }
    cycle_start();
    testing::internal::CaptureStderr();
    lib_.setangle();
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_EQ(expected, lib_.get_commands());
}

TEST_F(JointControl, UnknownJointNameIsReportedAndSkipped)
{
    cycle_start();
    lib_.set("rlj7", 10.0, 0.1);
    lib_.set("rlj1", 10.0, 0.1);
    lib_.set("xx", 10.0, 0.1);
    testing::internal::CaptureStderr();
    lib_.setangle();
    EXPECT_EQ("Error!! set_function\nError!! set_function\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ("(rle1 1)", lib_.get_commands());
}

TEST_F(JointControl, UniversalJointIsSplitIntoTwoHinges)
{
    lib_.aim_joint["lae2"] = 10.0;
    status().uj_["lae1_2"] = std::make_pair(4.0, -6.0);
    cycle_start();
    EXPECT_EQ(4.0, lib_.get("lae1"));
    EXPECT_EQ(-6.0, lib_.get("lae2"));
    EXPECT_DOUBLE_EQ(-0.2, lib_.new_joint.at("lae1"));
    EXPECT_DOUBLE_EQ(0.8, lib_.new_joint.at("lae2"));
}

TEST_F(JointControl, UniversalJointNameTooShortToSplitIsSkipped)
{
    status().uj_[""] = std::make_pair(1.0, 2.0);
    status().uj_["ab"] = std::make_pair(1.0, 2.0);
    status().uj_["abc"] = std::make_pair(1.0, 2.0);
    status().hj_["hj1"] = 2.0;
    ASSERT_NO_THROW(cycle_start());
    EXPECT_EQ(1u, lib_.new_joint.size());
    EXPECT_EQ(1u, lib_.new_joint.count("hj1"));

    // Four characters is enough: "abcd" and "abc", both unknown on output.
    status().uj_.clear();
    status().uj_["abcd"] = std::make_pair(1.0, 2.0);
    ASSERT_NO_THROW(cycle_start());
    EXPECT_EQ(1.0, lib_.get("abcd"));
    EXPECT_EQ(2.0, lib_.get("abc"));
}

TEST_F(JointControl, ApplySetsEveryEntryOfARowInOrder)
{
    const Keyframe row = {{"rlj3", 20, 0.02}, {"llj3", 20, 0.02}, {"rlj3", -25, 0.5}};
    lib_.apply(row);
    EXPECT_DOUBLE_EQ(-12.5, lib_.new_joint.at("rlj3"));
    EXPECT_DOUBLE_EQ(0.4, lib_.new_joint.at("llj3"));
    EXPECT_EQ(2u, lib_.new_joint.size());
}

}  // namespace
