// The place from one landmark fix after another: it follows a walk without
// lagging, scatters less than the fixes, leaves out what the robot cannot
// have done and starts afresh when that goes on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "worldmodel/pose_filter.h"
#include "worldmodel/worldmodel.h"

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

TEST(PoseFilter, FollowsAWalkAndLeavesOutWhatCannotBe)
{
    // A walk at 0.4 m/s along x, a fix every 60 ms scattered by +-5 cm; then
    // `odd` fixes `jump` metres off; x_after: the estimate then, off the walk.
    const struct {
        const char* what;
        double jump;
        int odd;
        double time_step, x_after;
    } cases[] = {
        {"steady", 0.0, 0, 0.06, 0.0},
        {"two fixes a metre off: left out", 1.0, 2, 0.06, 0.0},
        {"three in a row: a beam, start from the newest", 1.0, 3, 0.06, 1.0},
        {"no clock: a cycle each", 0.0, 0, kNaN, 0.0},
    };
    for (const auto& c : cases) {
        PoseFilter f;
        double t = 10.0, truth = 0.0, worst = 0.0;
        const double dt = std::isnan(c.time_step) ? 0.02 : c.time_step;
        for (int i = 0; i < 40; ++i) {
            t += dt;
            truth += 0.4 * dt;
            f.predict(std::isnan(c.time_step) ? kNaN : t);
            ASSERT_TRUE(f.update(truth + (i % 2 ? 0.05 : -0.05), 1.0, 0.05)) << c.what << i;
            if (i >= 20) worst = std::fmax(worst, std::fabs(f.x() - truth));
        }
        EXPECT_LT(worst, 0.03) << c.what;  // under the fixes' own 5 cm, and no lag
        EXPECT_NEAR(1.0, f.y(), 0.01) << c.what;
        for (int i = 0; i < c.odd; ++i) {
            t += dt;
            truth += 0.4 * dt;
            f.predict(std::isnan(c.time_step) ? kNaN : t);
            EXPECT_EQ(i == 2, f.update(truth + c.jump, 1.0, 0.05)) << c.what << i;
        }
        EXPECT_NEAR(c.x_after, f.x() - truth, 0.05) << c.what;
    }
}

TEST(PoseFilter, BadTimeOrFixStartsAfreshOrIsIgnored)
{
    PoseFilter f;
    EXPECT_FALSE(f.update(kNaN, 0.0, 0.05) || f.ready());
    f.predict(5.0);
    EXPECT_TRUE(f.update(2.0, 3.0, kNaN) && f.x() == 2.0);  // no sigma: the least
    f.predict(4.0);                                         // backwards: the next is taken as it is
    EXPECT_TRUE(!f.ready() && f.update(-7.0, 1.0, 0.05) && f.x() == -7.0);
    f.predict(9.0);                                         // a long gap likewise
    EXPECT_TRUE(f.update(4.0, 1.0, 0.05) && f.x() == 4.0);
}

// The tilt the landmarks are seen with: the gyroscope turns it at once (a
// sign wrong would tilt it the other way), the accelerometer alone gets
// there in a few cycles, and one that has lost its way starts again.
TEST(SteadyTilt, TurnedByTheGyroscope)
{
    const double kDeg = 3.141592653589793 / 180.0;
    const struct {
        const char* what;
        double rate[3];   // deg/s, the server's axes (right, forward, up)
        int cycles;
        bool accelerometer_follows;
        double left, forward;  // the up axis after, in the torso frame
    } cases[] = {
        // Rolling onto the right side: the field's up leans to the body's left.
        {"roll", {0, 50, 0}, 10, true, std::sin(10 * kDeg), 0},
        {"pitch forward", {50, 0, 0}, 10, true, 0, std::sin(10 * kDeg)},
        {"turning about up tilts nothing", {0, 0, 200}, 10, true, 0, 0},
        {"accelerometer still upright: the gyroscope holds", {0, 250, 0}, 2, false, std::sin(10 * kDeg), 0},
        {"a jolt far off: back to the accelerometer's", {0, 60000, 0}, 1, false, 0, 0},
    };
    for (const auto& c : cases) {
        Worldmodel w("Alpha");
        double up_left = 0, up_forward = 0, up_z = 1;
        for (int i = 0; i < c.cycles; ++i) {
            // The true up axis after this cycle, for the accelerometer.
            const double roll = c.rate[1] * 0.02 * (i + 1) * kDeg, pitch = c.rate[0] * 0.02 * (i + 1) * kDeg;
            if (c.accelerometer_follows) {
                up_left = std::sin(roll);
                up_forward = std::sin(pitch);
                up_z = std::sqrt(1 - up_left * up_left - up_forward * up_forward);
            }
            char msg[256];
            std::snprintf(msg, sizeof msg,
                          "(time (now %.2f))(GS (sl 0) (sr 0) (t 1.0) (pm PlayOn))(GYR (n torso) (rt %g %g %g))"
                          "(ACC (n torso) (a %.6f %.6f %.6f))",
                          1.0 + 0.02 * i, c.rate[0], c.rate[1], c.rate[2], -9.81 * up_left, 9.81 * up_forward,
                          9.81 * up_z);
            w.parse(msg);
        }
        EXPECT_NEAR(c.forward, w.steady_up().v_[0], 0.01) << c.what;
        EXPECT_NEAR(c.left, w.steady_up().v_[1], 0.01) << c.what;
    }
}
