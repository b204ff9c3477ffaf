#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "control/tervalonlib.h"

namespace {

typedef Tervalonlib::TVector3 V;

struct ThetaCase {
    double in;
    double out;
};

class CheckTheta : public ::testing::TestWithParam<ThetaCase> {};

TEST_P(CheckTheta, OneWrapStepAtMost)
{
    EXPECT_DOUBLE_EQ(GetParam().out, vec3_check_theta(GetParam().in));
}

INSTANTIATE_TEST_SUITE_P(Cases, CheckTheta,
                         ::testing::Values(ThetaCase{190, -170}, ThetaCase{-200, 160},
                                           ThetaCase{180, 180}, ThetaCase{-180, -180},
                                           ThetaCase{600, 240}, ThetaCase{-600, -240},
                                           ThetaCase{0, 0}, ThetaCase{180.5, -179.5}));

TEST(CheckThetaNaN, PassesThrough) { EXPECT_TRUE(std::isnan(vec3_check_theta(std::nan("")))); }

class FieldVectors : public ::testing::Test {
protected:
    FieldVectors() : world_(new Worldmodel("Blue")), lib_(world_) {}

    void robot_at(double x, double y, double heading)
    {
        world_->current_status().position_ = V(x, y, 0.45);
        world_->current_status().direction_ = heading;
    }

    boost::shared_ptr<Worldmodel> world_;
    Tervalonlib lib_;
};

TEST_F(FieldVectors, Arithmetic)
{
    const V a(1, -2, 3), b(0.5, 4, -1);
    const V sum = lib_.vec3_add(a, b);
    const V diff = lib_.vec3_sub(a, b);
    const V scaled = lib_.vec3_scale(a, -2);
    EXPECT_EQ(1.5, sum.v_[0]);
    EXPECT_EQ(2.0, sum.v_[1]);
    EXPECT_EQ(2.0, sum.v_[2]);
    EXPECT_EQ(0.5, diff.v_[0]);
    EXPECT_EQ(-6.0, diff.v_[1]);
    EXPECT_EQ(4.0, diff.v_[2]);
    EXPECT_EQ(-2.0, scaled.v_[0]);
    EXPECT_EQ(4.0, scaled.v_[1]);
    EXPECT_EQ(-6.0, scaled.v_[2]);
    EXPECT_EQ(0.5 - 8 - 3, lib_.vec3_dot(a, b));
    EXPECT_EQ(13.0, lib_.vec3_length(V(3, 4, 12)));
}

TEST_F(FieldVectors, NormalizedAndItsZeroCase)
{
    const V n = lib_.vec3_normalized(V(0, 3, 4));
    EXPECT_DOUBLE_EQ(0.6, n.v_[1]);
    EXPECT_DOUBLE_EQ(0.8, n.v_[2]);
    const V z = lib_.vec3_normalized(V(0, 0, 0));
    EXPECT_EQ(0.0, z.v_[0]);
    EXPECT_EQ(0.0, z.v_[1]);
    EXPECT_EQ(0.0, z.v_[2]);
    // A NaN length is not greater than zero either.
    const V q = lib_.vec3_normalized(V(std::nan(""), 1, 0));
    EXPECT_EQ(0.0, q.v_[0]);
    EXPECT_EQ(0.0, q.v_[1]);
}

TEST_F(FieldVectors, GoalPositions)
{
    testing::internal::CaptureStderr();
    const V own = lib_.goal_pos("own");
    const V opp = lib_.goal_pos("opp");
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_EQ(-6.0, own.v_[0]);
    EXPECT_EQ(0.0, own.v_[1]);
    EXPECT_EQ(6.0, opp.v_[0]);
    EXPECT_EQ(0.0, opp.v_[2]);
}

TEST_F(FieldVectors, UnknownGoalNameIsReportedAndGivesTheOrigin)
{
    testing::internal::CaptureStderr();
    const V g = lib_.goal_pos("Opp");
    EXPECT_EQ("Tervalonlib::check_goalpos() str = Opp side_ = " + std::to_string(world_->side()) +
                  "\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ(0.0, g.v_[0]);
    EXPECT_EQ(0.0, g.v_[1]);
    EXPECT_EQ(0.0, g.v_[2]);
}

TEST_F(FieldVectors, GotoXyzPointBehindTheBall)
{
    const V p = lib_.vec3_goto_xyz(V(6, 0, 0), V(2, 1, 0), 0.3);
    EXPECT_DOUBLE_EQ(2 - 0.3 * 4 / std::sqrt(17.0), p.v_[0]);
    EXPECT_DOUBLE_EQ(1 + 0.3 * 1 / std::sqrt(17.0), p.v_[1]);
    EXPECT_EQ(0.0, p.v_[2]);
    EXPECT_NEAR(1.709, p.v_[0], 1e-3);
    EXPECT_NEAR(1.073, p.v_[1], 1e-3);
}

TEST_F(FieldVectors, GotoXyzOfCoincidentPointsIsThePoint)
{
    const V p = lib_.vec3_goto_xyz(V(2, 1, 0), V(2, 1, 0), 0.3);
    EXPECT_EQ(2.0, p.v_[0]);
    EXPECT_EQ(1.0, p.v_[1]);
}

struct BearingCase {
    const char* name;
    double me_x, me_y, heading;
    double to_x, to_y;
    double distance, theta;
};

class GotoPos : public FieldVectors, public ::testing::WithParamInterface<BearingCase> {};

TEST_P(GotoPos, DistanceAndRelativeBearing)
{
    const BearingCase& c = GetParam();
    robot_at(c.me_x, c.me_y, c.heading);
    const V r = lib_.vec3_goto_pos(V(c.to_x, c.to_y, 0.0));
    EXPECT_NEAR(c.distance, r.v_[0], 1e-9);
    EXPECT_NEAR(c.theta, r.v_[1], 1e-2);
    EXPECT_EQ(0.0, r.v_[2]);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GotoPos,
    ::testing::Values(
        BearingCase{"LeftFront", 0, 0, 0, 1, 1, std::sqrt(2.0), 45},
        BearingCase{"LeftFrontHeading60", 0, 0, 60, 1, 1, std::sqrt(2.0), -15},
        BearingCase{"RightFront", 0, 0, 0, 1, -1, std::sqrt(2.0), -45},
        // -174.29 - 170 = -344.29, wrapped once.
        BearingCase{"WrapsOnce", 0, 0, 170, -1, -0.1, std::sqrt(1.01), 15.71},
        BearingCase{"DeadAhead", -2, 1, 0, 3, 1, 5, 0},
        BearingCase{"DeadBehind", 1, 1, 0, -3, 1, 4, 180},
        // Coincident point: the angle of the zero vector counts as 90.
        BearingCase{"OnTheRobot", 1, 1, 30, 1, 1, 0, 60}),
    [](const ::testing::TestParamInfo<BearingCase>& info) { return std::string(info.param.name); });

TEST_F(FieldVectors, GotoPosIgnoresHeight)
{
    robot_at(0, 0, 0);
    const V r = lib_.vec3_goto_pos(V(3, 4, 7));
    EXPECT_DOUBLE_EQ(5.0, r.v_[0]);
}

TEST_F(FieldVectors, GotoPosWithNaNPoseDoesNotCrash)
{
    robot_at(std::nan(""), 0, std::nan(""));
    const V r = lib_.vec3_goto_pos(V(1, 1, 0));
    EXPECT_TRUE(std::isnan(r.v_[0]));
    EXPECT_TRUE(std::isnan(r.v_[1]));
}

}  // namespace
