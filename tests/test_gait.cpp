#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "decision/tervalonaction.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kDeg = 180.0 / 3.141592653589793;

// Where the angles put the ankle, by the leg's own geometry (hip to knee
// 0.12 m, knee to ankle 0.10 m), torso upright: forward and down.
void ankle_of(const GaitAngles& a, double lean, double& forward, double& down)
{
    const double thigh = (a.hip - lean) / kDeg;
    const double shank = thigh + a.knee / kDeg;
    forward = 0.12 * std::sin(thigh) + 0.10 * std::sin(shank);
    down = 0.12 * std::cos(thigh) + 0.10 * std::cos(shank);
}

}  // namespace

TEST(Gait, LegAnglesReachTheFootFlat)
{
    const struct {
        double forward, left, height, lean;
    } cases[] = {{0.0, 0.0, 0.185, 0.0}, {0.04, 0.0, 0.185, 10.0}, {-0.04, 0.0, 0.16, 10.0}, {0.03, -0.02, 0.17, 5.0}};
    for (const auto& c : cases) {
        const GaitAngles a = gait_leg_angles(c.forward, c.left, c.height, c.lean);
        double forward = 0.0, down = 0.0;
        ankle_of(a, c.lean, forward, down);
        EXPECT_NEAR(c.forward, forward, 1e-9) << c.forward << " " << c.height;
        EXPECT_NEAR(std::hypot(c.height, c.left), down, 1e-9);
        EXPECT_LT(a.knee, 0.0);  // the knee bends the way it can
        EXPECT_NEAR(c.lean, a.hip + a.knee + a.ankle, 1e-9);  // foot flat
        EXPECT_NEAR(std::atan2(c.left, c.height) * kDeg, -a.foot, 1e-9);  // roll undone at the foot
    }
    // Out of reach: the leg stretches as far as it goes, no NaN.
    const GaitAngles far = gait_leg_angles(0.3, 0.0, 0.3, 0.0);
    EXPECT_TRUE(std::isfinite(far.hip) && std::isfinite(far.knee) && std::isfinite(far.ankle));
}

TEST(Gait, FootSwingsForwardThenCarriesTheBody)
{
    const struct {
        double p, forward, lift;
    } cases[] = {{0.0, -0.04, 0.0}, {0.25, 0.0, 0.025}, {0.5, 0.04, 0.0}, {0.75, 0.0, 0.0}, {-0.25, 0.0, 0.0}};
    for (const auto& c : cases) {
        const GaitFoot f = gait_foot_at(c.p, 0.08, 0.025);
        EXPECT_NEAR(c.forward, f.forward, 1e-12) << c.p;
        EXPECT_NEAR(c.lift, f.lift, 1e-12) << c.p;
    }
}

namespace {

struct Walker {
    boost::shared_ptr<Worldmodel> world{new Worldmodel("Blue")};
    boost::shared_ptr<Tervalonaction> act{new Tervalonaction(world)};
    double t = 0.0;

    Walker() { act->debug_flag_ = false; }
    void step()
    {
        t += 0.02;
        world->current_status().time_ = t;
        act->new_joint.clear();
        act->gait();
    }
};

}  // namespace

// A period ends the motion exactly after its last cycle; the target fixed at
// its start sets the step and which hip turns.
TEST(Gait, PeriodStepAndTurnFromTheTarget)
{
    const GaitShape& g = Tervalonaction::gait_shape();
    const struct {
        double distance, bearing;
        bool steps, left_yaws, right_yaws;
    } cases[] = {{2.0, 0.0, true, false, false},   {2.0, 30.0, true, true, false}, {2.0, -30.0, true, false, true},
                 {2.0, 45.0, false, true, false},  {0.1, 0.0, false, false, false}, {kNaN, kNaN, false, false, false}};
    for (const auto& c : cases) {
        Walker w;
        w.act->goto_pos_ = Worldmodel::TVector3(c.distance, c.bearing, 0.0);
        bool yawed_left = false, yawed_right = false;
        for (int i = 0; i < 3 * g.cycles; ++i) {
            w.act->action_end_ = false;
            w.step();
            EXPECT_EQ((i + 1) % g.cycles == 0, w.act->action_end_) << i;
            for (const auto& j : w.act->new_joint) ASSERT_TRUE(std::isfinite(j.second)) << j.first;
            yawed_left |= w.act->aim_joint["llj1"] != 0.0;
            yawed_right |= w.act->aim_joint["rlj1"] != 0.0;
        }
        EXPECT_EQ(c.steps, w.act->gait_step_ > 0.0) << c.distance << " " << c.bearing;
        EXPECT_EQ(c.left_yaws, yawed_left) << c.bearing;
        EXPECT_EQ(c.right_yaws, yawed_right) << c.bearing;
    }
}

// Without a time the periods still run their course and end.
TEST(Gait, PeriodsEndWithoutATime)
{
    Walker w;
    w.t = std::numeric_limits<double>::quiet_NaN();
    w.act->goto_pos_ = Worldmodel::TVector3(2.0, 0.0, 0.0);
    int ends = 0;
    for (int i = 0; i < 2 * Tervalonaction::gait_shape().cycles; ++i) {
        w.act->action_end_ = false;
        w.step();
        ends += w.act->action_end_;
    }
    EXPECT_EQ(2, ends);
}
