// The place from one landmark fix after another, and the tilt the landmarks
// are seen with.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "worldmodel/pose_filter.h"
#include "worldmodel/worldmodel.h"

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kDeg = 3.141592653589793 / 180.0;
}  // namespace

// A walk at 0.4 m/s along x, a fix every `dt` scattered by +-5 cm, then `odd`
// fixes `jump` metres off: followed without lag, outliers left out, three in
// a row (a beam) start afresh from the newest.
TEST(PoseFilter, FollowsAWalkAndLeavesOutWhatCannotBe)
{
    const struct {
        const char* what;
        double jump;
        int odd;
        double dt, x_after;
    } cases[] = {{"steady", 0.0, 0, 0.06, 0.0}, {"three a metre off", 1.0, 3, 0.06, 1.0},
                 {"no clock: a cycle each", 0.0, 0, kNaN, 0.0}};
    for (const auto& c : cases) {
        PoseFilter f;
        double t = 10.0, truth = 0.0, worst = 0.0;
        for (int i = 0; i < 40 + c.odd; ++i) {
            t += std::isnan(c.dt) ? 0.02 : c.dt;
            truth += 0.4 * (std::isnan(c.dt) ? 0.02 : c.dt);
            f.predict(std::isnan(c.dt) ? kNaN : t);
            const bool odd = i >= 40;
            EXPECT_EQ(!odd || i == 42, f.update(truth + (odd ? c.jump : i % 2 ? 0.05 : -0.05), 1.0, 0.05)) << c.what;
            if (i >= 20 && !odd) worst = std::fmax(worst, std::fabs(f.x() - truth));
        }
        EXPECT_LT(worst, 0.03) << c.what;  // under the fixes' own 5 cm
        EXPECT_NEAR(1.0, f.y(), 0.01) << c.what;
        EXPECT_NEAR(c.x_after, f.x() - truth, 0.05) << c.what;
    }
    // A fix that is no number is ignored; a clock that runs back or jumps far
    // takes the next fix as it is.
    PoseFilter f;
    EXPECT_FALSE(f.update(kNaN, 0.0, 0.05) || f.ready());
    f.predict(5.0);
    EXPECT_TRUE(f.update(2.0, 3.0, kNaN) && f.x() == 2.0);
    f.predict(4.0);
    EXPECT_TRUE(!f.ready() && f.update(-7.0, 1.0, 0.05) && f.x() == -7.0);
    f.predict(9.0);
    EXPECT_TRUE(f.update(4.0, 1.0, 0.05) && f.x() == 4.0);
}

// The gyroscope turns the tilt at once (a wrong sign tilts it the other way);
// the accelerometer only keeps it from drifting; a jolt far off starts again.
TEST(SteadyTilt, TurnedByTheGyroscope)
{
    // Rates in deg/s on the server's axes (right, forward, up); the up axis
    // after, in the torso frame.
    const struct {
        const char* what;
        double rate[3];
        int cycles;
        bool accelerometer_follows;
        double left, forward;
    } cases[] = {
        {"roll onto the right side", {0, 50, 0}, 10, true, std::sin(10 * kDeg), 0},
        {"pitch forward", {50, 0, 0}, 10, true, 0, std::sin(10 * kDeg)},
        {"accelerometer still upright: the gyroscope holds", {0, 250, 0}, 2, false, std::sin(10 * kDeg), 0},
        {"a jolt far off: back to the accelerometer's", {0, 60000, 0}, 1, false, 0, 0},
    };
    for (const auto& c : cases) {
        Worldmodel w("Alpha");
        for (int i = 0; i < c.cycles; ++i) {
            const double k = c.accelerometer_follows ? 0.02 * (i + 1) * kDeg : 0.0;
            const double left = std::sin(c.rate[1] * k), forward = std::sin(c.rate[0] * k);
            char msg[256];
            std::snprintf(msg, sizeof msg,
                          "(GS (sl 0) (sr 0) (t 1.0) (pm PlayOn))"
                          "(GYR (n torso) (rt %g %g %g))(ACC (n torso) (a %f %f %f))",
                          c.rate[0], c.rate[1], c.rate[2], -9.81 * left, 9.81 * forward,
                          9.81 * std::sqrt(1 - left * left - forward * forward));
            w.parse(msg);
        }
        EXPECT_NEAR(c.forward, w.steady_up().v_[0], 0.01) << c.what;
        EXPECT_NEAR(c.left, w.steady_up().v_[1], 0.01) << c.what;
    }
}
