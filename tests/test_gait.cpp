#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "decision/tervalonaction.h"

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kDeg = 180.0 / 3.141592653589793;
}  // namespace

// Checked by the leg's own geometry (hip to knee 0.12 m, knee to ankle 0.10 m).
TEST(Gait, LegAnglesReachTheFootFlat)
{
    const struct {
        double forward, left, height, lean;
    } cases[] = {{0.0, 0.0, 0.185, 0.0}, {0.04, 0.0, 0.185, 10.0}, {-0.04, 0.0, 0.16, 10.0}, {0.03, -0.02, 0.17, 5.0}};
    for (const auto& c : cases) {
        const GaitAngles a = gait_leg_angles(c.forward, c.left, c.height, c.lean);
        const double thigh = (a.hip - c.lean) / kDeg, shank = thigh + a.knee / kDeg;
        EXPECT_NEAR(c.forward, 0.12 * std::sin(thigh) + 0.10 * std::sin(shank), 1e-9) << c.forward;
        EXPECT_NEAR(std::hypot(c.height, c.left), 0.12 * std::cos(thigh) + 0.10 * std::cos(shank), 1e-9);
        EXPECT_LT(a.knee, 0.0);                                            // bends the way it can
        EXPECT_NEAR(c.lean, a.hip + a.knee + a.ankle, 1e-9);               // foot flat
        EXPECT_NEAR(std::atan2(c.left, c.height) * kDeg, -a.foot, 1e-9);  // roll undone at the foot
    }
    const GaitAngles far = gait_leg_angles(0.3, 0.0, 0.3, 0.0);  // out of reach: stretched, no NaN
    EXPECT_TRUE(std::isfinite(far.hip) && std::isfinite(far.knee) && std::isfinite(far.ankle));
}

// A period ends the motion exactly after its last cycle, with a time or
// without; the target fixed at its start sets the step, which hip turns and
// how far: stepping turns less per period than turning on the spot.
TEST(Gait, PeriodStepAndTurnFromTheTarget)
{
    const GaitShape& shape = Tervalonaction::gait_shape();
    const int cycles = shape.cycles;
    const struct {
        double distance, bearing, start;
        bool steps, left_yaws, right_yaws;
        double turn;
    } cases[] = {{2.0, 0.0, 0.0, true, false, false, 0.0},   {2.0, 30.0, 0.0, true, true, false, shape.walk_turn},
                 {2.0, -30.0, 0.0, true, false, true, -shape.walk_turn},
                 {2.0, 44.0, 0.0, true, true, false, shape.walk_turn}, {2.0, 45.0, 0.0, false, true, false, shape.turn},
                 {0.1, 0.0, 0.0, false, false, false, 0.0},  {kNaN, kNaN, 0.0, false, false, false, 0.0},
                 {2.0, 0.0, kNaN, true, false, false, 0.0}};
    for (const auto& c : cases) {
        boost::shared_ptr<Worldmodel> world(new Worldmodel("Blue"));
        Tervalonaction act(world);
        act.debug_flag_ = false;
        act.goto_pos_ = Worldmodel::TVector3(c.distance, c.bearing, 0.0);
        bool yawed_left = false, yawed_right = false;
        for (int i = 0; i < 3 * cycles; ++i) {
            world->current_status().time_ = c.start + 0.02 * (i + 1);
            act.action_end_ = false;
            act.new_joint.clear();
            act.gait();
            EXPECT_EQ((i + 1) % cycles == 0, act.action_end_) << i << " " << c.start;
            for (const auto& j : act.new_joint) ASSERT_TRUE(std::isfinite(j.second)) << j.first;
            yawed_left |= act.aim_joint["llj1"] != 0.0;
            yawed_right |= act.aim_joint["rlj1"] != 0.0;
        }
        EXPECT_EQ(c.steps, act.gait_step_ > 0.0) << c.distance << " " << c.bearing;
        EXPECT_DOUBLE_EQ(c.turn, act.gait_turn_) << c.bearing;
        EXPECT_EQ(c.left_yaws, yawed_left) << c.bearing;
        EXPECT_EQ(c.right_yaws, yawed_right) << c.bearing;
    }
}
