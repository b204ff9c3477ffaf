#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "worldmodel/body_frame.h"
#include "worldmodel/landmarks.h"

namespace {

typedef Worldmodel::TVector3 V;

const double kDeg = 3.141592653589793 / 180.0;
const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// A robot in the team frame of its side: camera place, torso heading and tilt
// (pitch nose-down, then roll), neck yaw and pitch; degrees.
struct Pose {
    double x, y, heading, height, pitch, roll, hj1, hj2;
    bool left;
};

V up_of(const Pose& p)
{
    const double cp = std::cos(p.pitch * kDeg);
    return V(-std::sin(p.pitch * kDeg), cp * std::sin(p.roll * kDeg), cp * std::cos(p.roll * kDeg));
}

// The camera-frame polar perception of a team-frame point.
V polar_of(const Pose& p, const V& at)
{
    const double wx = at.v_[0] - p.x, wy = at.v_[1] - p.y, wz = at.v_[2] - p.height;
    const double ch = std::cos(p.heading * kDeg), sh = std::sin(p.heading * kDeg);
    const double lx = ch * wx + sh * wy, ly = -sh * wx + ch * wy;
    const double cp = std::cos(p.pitch * kDeg), sp = std::sin(p.pitch * kDeg);
    const double cr = std::cos(p.roll * kDeg), sr = std::sin(p.roll * kDeg);
    const double px = cp * lx - sp * wz, pz = sp * lx + cp * wz;
    const V c = torso_to_camera(V(px, cr * ly + sr * pz, -sr * ly + cr * pz), p.hj1, p.hj2);
    const double r = std::sqrt(c.v_[0] * c.v_[0] + c.v_[1] * c.v_[1] + c.v_[2] * c.v_[2]);
    return V(r, std::atan2(c.v_[1], c.v_[0]) / kDeg, std::asin(c.v_[2] / r) / kDeg);
}

V landmark(const Pose& p, int k)
{
    const FieldLandmark& m = today_field().landmarks[k];
    return p.left ? V(m.x, m.y, m.z) : V(-m.x, -m.y, m.z);
}

// All eight perceptions; returns the landmarks inside the 120-degree cone.
unsigned synthesise(const Pose& p, V polar[kLandmarkCount])
{
    unsigned cone = 0;
    for (int k = 0; k < kLandmarkCount; ++k) {
        polar[k] = polar_of(p, landmark(p, k));
        if (std::fabs(polar[k].v_[1]) <= 60.0 && std::fabs(polar[k].v_[2]) <= 60.0) cone |= 1u << k;
    }
    return cone;
}

Pose random_pose(std::mt19937& rng)
{
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    return Pose{16.0 * u(rng), 11.0 * u(rng), 180.0 * u(rng), 0.5 + 0.1 * u(rng), 8.0 * u(rng),
                8.0 * u(rng),  90.0 * u(rng), 40.0 * u(rng),  u(rng) > 0};
}

int bits(unsigned v)
{
    int n = 0;
    for (; v; v &= v - 1) ++n;
    return n;
}

double round3(double v) { return std::round(v * 1000.0) / 1000.0; }
double angle_error(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }

std::string describe(const Pose& p, unsigned seen)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s (%.2f, %.2f) h %.1f z %.2f tilt %.1f/%.1f neck %.1f/%.1f seen 0x%02x",
                  p.left ? "left" : "right", p.x, p.y, p.heading, p.height, p.pitch, p.roll, p.hj1, p.hj2, seen);
    return buf;
}

struct Result {
    bool ok;
    V position{1e9, -1e9, 1e9};
    double direction = 12345.0;
};

Result locate(const Pose& p, const V polar[kLandmarkCount], unsigned seen)
{
    Result r;
    r.ok = locate_from_landmarks(today_field(), p.left, polar, seen, p.hj1, p.hj2, up_of(p), r.position, r.direction);
    return r;
}

void expect_pose(const Pose& p, const Result& r, double metres, double degrees, const std::string& what)
{
    ASSERT_TRUE(r.ok) << what;
    EXPECT_LE(std::hypot(r.position.v_[0] - p.x, r.position.v_[1] - p.y), metres) << what;
    EXPECT_NEAR(p.height, r.position.v_[2], metres) << what;
    EXPECT_LE(angle_error(r.direction, p.heading), degrees) << what;
    EXPECT_LE(std::fabs(r.direction), 180.0) << what;
}

bool untouched(const Result& r)
{
    return !r.ok && r.position.v_[0] == 1e9 && r.position.v_[1] == -1e9 && r.position.v_[2] == 1e9 &&
           r.direction == 12345.0;
}

}  // namespace

TEST(LocalisationToday, ExactPerceptionsOfWhatTheConeShows)
{
    int located = 0;
    for (bool left : {true, false}) {
        for (double x : {-14.0, -7.0, 0.0, 7.0, 14.0}) {
            for (double y : {-9.0, -3.0, 3.0, 9.0}) {
                for (double heading = -180.0; heading < 180.0; heading += 30.0) {
                    for (double hj1 : {-90.0, -40.0, 0.0, 40.0, 90.0}) {
                        for (double hj2 : {-40.0, 0.0, 40.0}) {
                            for (double tilt : {0.0, 7.0}) {
                                const Pose p{x, y, heading, 0.5, tilt, -tilt / 2, hj1, hj2, left};
                                V polar[kLandmarkCount];
                                const unsigned cone = synthesise(p, polar);
                                if (bits(cone) < 2) continue;
                                expect_pose(p, locate(p, polar, cone), 0.05, 1.0, describe(p, cone));
                                ++located;
                                if (HasFailure()) return;
                            }
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(located, 4000);
}

// Bits not in `seen` are never read, however bad; fewer than two seen give
// nothing, nor do the two posts of a goal far away (the heading would rest on
// the difference of two distances 2.1 m apart).
TEST(LocalisationToday, EverySubsetOfExactPerceptions)
{
    const Pose poses[] = {{-3, 1, 0, 0.5, 0, 0, 0, 0, true},        {6, -4, 135, 0.45, 5, -3, 60, -30, true},
                          {-12, 7, -100, 0.55, -6, 4, -80, 35, false}, {13, 0, 180, 0.3, 20, 0, 0, -40, false}};
    for (const Pose& p : poses) {
        V polar[kLandmarkCount];
        synthesise(p, polar);
        for (unsigned seen = 0; seen < 256; ++seen) {
            V masked[kLandmarkCount];
            for (int k = 0; k < kLandmarkCount; ++k) masked[k] = seen & (1u << k) ? polar[k] : V(kNan, kInf, -1);
            const Result r = locate(p, masked, seen);
            const V post = landmark(p, 4 + 2 * (seen == 0xC0u));
            if (bits(seen) < 2) {
                EXPECT_TRUE(untouched(r)) << describe(p, seen);
            } else if ((seen == 0x30u || seen == 0xC0u) && !r.ok) {
                EXPECT_TRUE(untouched(r)) << describe(p, seen);
                EXPECT_GT(std::hypot(post.v_[0] - p.x, post.v_[1] - p.y), 20.0) << describe(p, seen);
            } else {
                expect_pose(p, r, 0.05, 1.0, describe(p, seen));
            }
        }
    }
}

// With two landmarks the heading rests on the difference of their distances
// across the line of sight (base): the error is up to that difference over the
// base, and the position as much times the range. A wide view stays within
// 0.3 m and 3 degrees.
TEST(LocalisationToday, NoisyPerceptionsStayWithinWhatTheGeometryAllows)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    int located = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        const Pose p = random_pose(rng);
        V polar[kLandmarkCount];
        const unsigned cone = synthesise(p, polar);
        if (bits(cone) < 2) continue;
        for (V& v : polar) {
            v = V(round3(v.v_[0] + 0.1 * noise(rng)), round3(v.v_[1] + 0.2 * noise(rng)),
                  round3(v.v_[2] + 0.2 * noise(rng)));
        }
        double base = 0, range = 0;
        for (int i = 0; i < kLandmarkCount; ++i) {
            if (!(cone & (1u << i))) continue;
            const V a = landmark(p, i);
            range = std::fmax(range, std::hypot(a.v_[0] - p.x, a.v_[1] - p.y));
            for (int j = i + 1; j < kLandmarkCount; ++j) {
                if (!(cone & (1u << j))) continue;
                const V b = landmark(p, j);
                const double mx = 0.5 * (a.v_[0] + b.v_[0]) - p.x, my = 0.5 * (a.v_[1] + b.v_[1]) - p.y;
                base = std::fmax(base, std::fabs((b.v_[0] - a.v_[0]) * my - (b.v_[1] - a.v_[1]) * mx) /
                                           std::hypot(mx, my));
            }
        }
        const double spread = 1.5 * 0.2 / std::fmax(base, 1e-3);  // radians
        const Result r = locate(p, polar, cone);
        expect_pose(p, r, std::fmax(0.3, spread * range), std::fmax(3.0, spread / kDeg), describe(p, cone));
        ++located;
        if (HasFailure()) return;
    }
    EXPECT_GT(located, 10000);
}

TEST(LocalisationToday, UnusableInputsGiveNothing)
{
    const Pose p{-3, 1, 0, 0.5, 0, 0, 5, -10, true};
    V good[kLandmarkCount];
    const unsigned cone = synthesise(p, good);
    ASSERT_EQ(4, bits(cone));
    struct Row {
        const char* what;
        bool spoil;  // every seen landmark but the first reads `bad`
        V bad;
        double hj1;
        V up;
    };
    const Row rows[] = {
        {"zero distances", true, V(0, 10, 0), 5, up_of(p)},
        {"negative distances", true, V(-20, 10, 0), 5, up_of(p)},
        {"not a number", true, V(kNan, 10, 0), 5, up_of(p)},
        {"infinite angle", true, V(20, kInf, 0), 5, up_of(p)},
        {"angle out of range", true, V(20, 190, 0), 5, up_of(p)},
        {"huge distance", true, V(1e300, 10, 0), 5, up_of(p)},
        {"neck not a number", false, V(), kNan, up_of(p)},
        {"no up axis", false, V(), 5, V(0, 0, 0)},
        {"up axis not a number", false, V(), 5, V(kNan, 0, 1)},
        // The accelerometer right after a beam: the camera lands under the field.
        {"tilt 20 degrees off", false, V(), 5, V(std::sin(20 * kDeg), 0, std::cos(20 * kDeg))},
        // Four landmarks on one line mirror a robot upside down off the field.
        {"up axis upside down", false, V(), 5, V(0, 0, -1)},
    };
    for (const Row& row : rows) {
        V polar[kLandmarkCount];
        bool first = true;
        for (int k = 0; k < kLandmarkCount; ++k) {
            polar[k] = row.spoil && !first ? row.bad : good[k];
            if (cone & (1u << k)) first = false;
        }
        Result r;
        r.ok = locate_from_landmarks(today_field(), true, polar, cone, row.hj1, p.hj2, row.up, r.position, r.direction);
        EXPECT_TRUE(untouched(r)) << row.what;
    }
}

// Every subset with garbage mixed in: a number or nothing. One gross error
// among three or more landmarks is left out or refused (two can hide one).
TEST(LocalisationToday, GarbageGivesNumbersOrNothing)
{
    const V garbage[] = {V(kNan, 0, 0), V(kInf, 1, 1), V(0, 0, 0), V(-3, 10, 10), V(1e308, 1e308, 1e308),
                         V(5, 1e300, 0), V(5, 0, -1e300), V(1e-300, 1, 1), V(4, -170, 89), V(60, 0, 0)};
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> pick(0, sizeof garbage / sizeof garbage[0] - 1);
    for (int trial = 0; trial < 20; ++trial) {
        const Pose p = random_pose(rng);
        V polar[kLandmarkCount];
        synthesise(p, polar);
        for (unsigned seen = 0; seen < 256; ++seen) {
            V mixed[kLandmarkCount];
            for (int k = 0; k < kLandmarkCount; ++k) mixed[k] = rng() % 3 ? polar[k] : garbage[pick(rng)];
            const Result r = locate(p, mixed, seen);
            if (r.ok) {
                EXPECT_TRUE(std::isfinite(r.position.v_[0]) && std::isfinite(r.position.v_[1]) &&
                            std::isfinite(r.position.v_[2]) && std::fabs(r.direction) <= 180.0)
                    << describe(p, seen);
            } else {
                EXPECT_TRUE(untouched(r)) << describe(p, seen);
            }
        }
    }
    int located = 0;
    for (int trial = 0; trial < 4000; ++trial) {
        const Pose p = random_pose(rng);
        V polar[kLandmarkCount];
        const unsigned cone = synthesise(p, polar);
        if (bits(cone) < 3) continue;
        int k = rng() % kLandmarkCount;
        while (!(cone & (1u << k))) k = (k + 1) % kLandmarkCount;
        const V errors[] = {V(5, 0, 0), V(-0.5 * polar[k].v_[0], 0, 0), V(0, 15, 0), V(0, 0, -30)};
        const V& e = errors[trial % 4];
        polar[k] = V(polar[k].v_[0] + e.v_[0], polar[k].v_[1] + e.v_[1], polar[k].v_[2] + e.v_[2]);
        const Result r = locate(p, polar, cone);
        if (!r.ok) continue;
        EXPECT_LE(std::hypot(r.position.v_[0] - p.x, r.position.v_[1] - p.y), 0.6) << describe(p, cone) << " " << k;
        EXPECT_LE(angle_error(r.direction, p.heading), 1.5) << describe(p, cone) << " " << k;
        ++located;
    }
    EXPECT_GT(located, 1000);
}

TEST(LocalisationToday, SeenToFieldRoundTripsTheBall)
{
    const Pose poses[] = {{-3, 1, 0, 0.5, 0, 0, 0, 0, true}, {6, -4, 135, 0.45, 5, -3, 60, -30, true},
                          {-12, 7, -100, 0.55, -6, 4, -80, 35, false}, {2, 2, 45, 0.1, 80, 10, 30, 40, false}};
    const V balls[] = {V(0, 0, 0.042), V(-3.5, 1.2, 0.042), V(10, -6, 0.3), V(-14, 9, 0.042)};
    for (const Pose& p : poses) {
        for (const V& ball : balls) {
            const V polar = polar_of(p, ball);
            const V seen(round3(polar.v_[0]), round3(polar.v_[1]), round3(polar.v_[2]));
            const V at = seen_to_field(seen, p.hj1, p.hj2, up_of(p), V(p.x, p.y, p.height), p.heading);
            const std::string what = describe(p, 0) + " ball " + std::to_string(ball.v_[0]);
            EXPECT_NEAR(ball.v_[0], at.v_[0], 0.005) << what;
            EXPECT_NEAR(ball.v_[1], at.v_[1], 0.005) << what;
            EXPECT_NEAR(ball.v_[2], at.v_[2], 0.005) << what;
        }
    }
    const V bad[] = {V(kNan, 0, 0), V(1, kInf, 0), V(1, 0, -kNan)};
    for (const V& b : bad) {
        const V at = seen_to_field(b, 0, 0, V(0, 0, 1), V(1, 2, 0.5), 30);
        EXPECT_EQ(1.0, at.v_[0]);
        EXPECT_EQ(2.0, at.v_[1]);
        EXPECT_EQ(0.5, at.v_[2]);
    }
    const V at = seen_to_field(V(1, 0, 0), 0, 0, V(0, 0, 0), V(kNan, 0, 0), 0);
    EXPECT_TRUE(std::isfinite(at.v_[0]));
}

// Perceptions of today's server: Beta beamed to (-4, -1) on the right, head
// nearly level, Alpha to (-3, 1) on the left with its head pitched up 40
// degrees; both turned the head's yaw every cycle.
TEST(LocalisationToday, RealServerMessages)
{
    struct Row {
        bool left;
        double hj1, hj2;
        V acc;  // (0, 0, 0): take the torso as upright
        int k[4];
        V polar[4];
    };
    const Row standing[] = {
        {false, 9.018, 1.272, V(0, -0.215, 9.948), {0, 1, 4, 5},
         {V(21.080, -40.581, -1.165), V(21.973, 14.662, -1.754), V(19.038, -15.449, 0.626), V(19.172, -9.127, 0.577)}},
        {false, 16.253, 1.272, V(0, -0.160, 9.850), {0, 1, 4, 5},
         {V(21.068, -47.716, -1.255), V(21.993, 7.621, -1.665), V(19.024, -22.636, 0.699), V(19.155, -16.327, 0.620)}},
        {false, 25.020, 1.272, V(0, -0.184, 9.820), {0, 1, 4, 5},
         {V(21.058, -56.349, -1.225), V(21.976, -1.273, -1.649), V(19.040, -31.461, 0.837), V(19.133, -25.240, 0.701)}},
        {false, 34.816, 1.272, V(0, -0.199, 9.816), {1, 4, 5, -1},
         {V(22.001, -10.720, -1.710), V(19.023, -41.458, 0.863), V(19.145, -34.943, 1.015)}},
        {false, 39.925, 1.272, V(0, -0.183, 9.811), {1, 4, 5, -1},
         {V(21.991, -16.066, -1.507), V(19.076, -46.179, 1.085), V(19.163, -39.959, 1.152)}},
        {true, 0.686, 40.068, V(), {2, 3, 6, 7},
         {V(20.128, 33.086, -37.146), V(21.070, -40.545, -34.724), V(17.993, -0.965, -39.749), V(18.077, -9.349, -39.163)}},
        {true, 3.728, 40.068, V(), {2, 3, 6, 7},
         {V(20.191, 31.040, -41.088), V(21.093, -45.406, -35.957), V(18.047, -5.099, -43.237), V(18.117, -14.226, -42.554)}},
    };
    // Later Alpha lies on its back (torso forward axis up), head still turning.
    const Row lying[] = {
        {true, 85.779, 40.068, V(-0.224, 9.806, -0.419), {0, 4, 5, -1},
         {V(14.554, 1.558, 12.985), V(11.432, -9.700, 49.928), V(11.592, -14.558, 59.963)}},
        {true, 74.143, 40.068, V(-0.245, 9.803, -0.413), {0, 4, 5, -1},
         {V(14.562, 9.344, 12.962), V(11.403, -8.330, 47.875), V(11.614, -16.668, 57.080)}},
        {true, 46.912, 40.068, V(-0.307, 9.795, -0.386), {0, 4, 5, -1},
         {V(14.546, 27.265, 16.065), V(11.432, -3.321, 44.087), V(11.586, -15.587, 50.362)}},
    };
    double heading[2] = {0, 0};
    bool have[2] = {false, false};
    for (const Row& row : standing) {
        V polar[kLandmarkCount], up(0, 0, 1), position;
        unsigned seen = 0;
        for (int i = 0; i < 4 && row.k[i] >= 0; ++i) {
            polar[row.k[i]] = row.polar[i];
            seen |= 1u << row.k[i];
        }
        if (row.acc.v_[2] != 0) {
            ASSERT_TRUE(up_from_accelerometer(row.acc, up));
        }
        double direction = 0;
        const std::string what = (row.left ? "Alpha hj1 " : "Beta hj1 ") + std::to_string(row.hj1);
        ASSERT_TRUE(locate_from_landmarks(today_field(), row.left, polar, seen, row.hj1, row.hj2, up, position,
                                          direction))
            << what;
        EXPECT_NEAR(row.left ? -3.0 : -4.0, position.v_[0], 0.1) << what;
        EXPECT_NEAR(row.left ? 1.0 : -1.0, position.v_[1], 0.12) << what;
        // The beam turns the robot by a few degrees; turning the head must not.
        if (!have[row.left]) heading[row.left] = direction;
        have[row.left] = true;
        EXPECT_NEAR(heading[row.left], direction, 0.6) << what;
        if (!row.left) {
            EXPECT_NEAR(0.5, position.v_[2], 0.1) << what;
        }
    }
    V first;
    for (const Row& row : lying) {
        V polar[kLandmarkCount], up, position;
        for (int i = 0; i < 3; ++i) polar[row.k[i]] = row.polar[i];
        ASSERT_TRUE(up_from_accelerometer(row.acc, up));
        double direction = 0;
        ASSERT_TRUE(locate_from_landmarks(today_field(), true, polar, 0x31u, row.hj1, row.hj2, up, position, direction));
        if (row.hj1 > 80) first = position;
        // Fallen backwards from (-3, 1): the head is half a metre behind, on the ground.
        EXPECT_NEAR(first.v_[0], position.v_[0], 0.05);
        EXPECT_NEAR(first.v_[1], position.v_[1], 0.05);
        EXPECT_NEAR(-3.6, position.v_[0], 0.1);
        EXPECT_NEAR(0.05, position.v_[2], 0.1);
    }
}

// A steady tilt 12 degrees astray (a jolt the gyroscope read, 600 deg/s for a
// cycle) must not cost the fix: the plain tilt takes over.
TEST(LocalisationToday, AFixWhenTheSteadyTiltIsOff)
{
    const Pose p = {10, 2, 0, 0.5, 0, 0, 0, 0, true};
    V polar[kLandmarkCount];
    const unsigned cone = synthesise(p, polar);
    std::string see = "(See";
    for (int k = 0; k < kLandmarkCount; ++k) {
        char item[96];
        std::snprintf(item, sizeof item, " (%s (pol %.3f %.3f %.3f))", today_field().landmarks[k].name,
                      polar[k].v_[0], polar[k].v_[1], polar[k].v_[2]);
        if (cone & (1u << k)) see += item;
    }
    for (const char* jolt : {"0", "600"}) {
        Worldmodel w("Alpha");
        w.parse("(GS (unum 2) (team left) (sl 0) (sr 0) (t 1.0) (pm PlayOn))");
        w.parse(std::string("(ACC (n torso) (a 0 0 9.81))(GYR (n torso) (rt 0 ") + jolt + " 0))" + see + ")");
        EXPECT_TRUE(w.current_status().fresh(Worldmodel::TStatus::FRESH_POSE)) << jolt;
        const V& at = w.current_status().position_;
        EXPECT_NEAR(0.0, std::hypot(p.x - at.v_[0], p.y - at.v_[1]), 0.05) << jolt;
    }
}
