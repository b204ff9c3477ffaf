#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "worldmodel/worldmodel.h"

namespace {

typedef Worldmodel::TVector3 V;
typedef Worldmodel::TStatus S;

const double kPi = 3.141592653589793;
const double kDeg = kPi / 180.0;
const double kHalfWidth = 4.0;

// A camera pose in the team frame: heading 0 faces the opponent goal (+x),
// positive counter-clockwise, degrees. pitch tilts the camera nose-down.
struct Pose {
    double x, y, z, heading;
    double pitch = 0.0;
};

const char* const kCorners[4] = {"F1L", "F1R", "F2L", "F2R"};

// The corner flags where the left side's team frame puts them.
V corner(int k) { return V(k % 2 ? 6.0 : -6.0, k < 2 ? kHalfWidth : -kHalfWidth, 0.0); }

// Polar perceptions of the four corner flags for a camera at pose in the
// team frame of side. The right side's team frame is the left one turned
// half round, so the same field point has mirrored coordinates there.
std::map<std::string, V> perceive(const Pose& pose, SideID side)
{
    double x = pose.x, y = pose.y, heading = pose.heading;
    if (side != S_LEFT) {
        x = -x;
        y = -y;
        heading += 180.0;
    }
    const double h = heading * kPi / 180.0;
    const double b = pose.pitch * kPi / 180.0;
    std::map<std::string, V> out;
    for (int k = 0; k < 4; ++k) {
        const V f = corner(k);
        const double dx = f.v_[0] - x, dy = f.v_[1] - y, dz = -pose.z;
        // Level camera frame, then the pitch about its left axis.
        const double lx = std::cos(h) * dx + std::sin(h) * dy;
        const double ly = -std::sin(h) * dx + std::cos(h) * dy;
        const double cx = std::cos(b) * lx - std::sin(b) * dz;
        const double cz = std::sin(b) * lx + std::cos(b) * dz;
        const double r = std::sqrt(cx * cx + ly * ly + cz * cz);
        out[kCorners[k]] = V(r, std::atan2(ly, cx) * 180.0 / kPi, std::asin(cz / r) * 180.0 / kPi);
    }
    return out;
}

std::string message(const std::map<std::string, V>& flags, const char* team)
{
    std::string m = "(time (now 0.02))";
    if (team) {
        m += std::string("(GS (unum 2) (team ") + team + ") (t 0) (pm PlayOn))";
    }
    m += "(See";
    char buf[160];
    for (const auto& f : flags) {
        std::snprintf(buf, sizeof buf, " (%s (pol %.17g %.17g %.17g))", f.first.c_str(), f.second.v_[0],
                      f.second.v_[1], f.second.v_[2]);
        m += buf;
    }
    return m + ")";
}

double angle_diff(double a, double b)
{
    double d = std::fmod(a - b, 360.0);
    if (d > 180.0) d -= 360.0;
    if (d < -180.0) d += 360.0;
    return d;
}

bool finite(const V& v) { return std::isfinite(v.v_[0]) && std::isfinite(v.v_[1]) && std::isfinite(v.v_[2]); }

void expect_all_finite(const S& s)
{
    EXPECT_TRUE(finite(s.position_));
    EXPECT_TRUE(finite(s.zax_));
    EXPECT_TRUE(std::isfinite(s.direction_));
    EXPECT_TRUE(finite(s.ball_xyz_));
    for (const auto& team : s.player_xyz_) {
        for (const auto& p : team.second) {
            EXPECT_TRUE(finite(p.second)) << team.first << " " << p.first;
        }
    }
}

void localise(S& s, SideID side)
{
    if (side == S_LEFT) {
        s.calc_position();
    } else {
        s.calc_position_opp();
    }
}

void expect_near(const V& want, const V& got, double tol, const std::string& what)
{
    EXPECT_NEAR(want.v_[0], got.v_[0], tol) << what;
    EXPECT_NEAR(want.v_[1], got.v_[1], tol) << what;
    EXPECT_NEAR(want.v_[2], got.v_[2], tol) << what;
}

}  // namespace

// ---------------------------------------------------------------- helpers

TEST(Angles, CheckThetaAndCheckSignedCorrectOnce)
{
    const double theta[][2] = {{181, -179}, {-181, 179}, {180, 180}, {-180, -180},
                               {0, 0},      {540, 180},  {-600, -240}};
    for (const auto& r : theta) {
        EXPECT_EQ(r[1], check_theta(r[0])) << r[0];
    }
    const double sign[][2] = {{-1, 359}, {0, 0}, {-400, -40}, {360, 360}, {90, 90}};
    for (const auto& r : sign) {
        EXPECT_EQ(r[1], check_signed(r[0])) << r[0];
    }
}

TEST(Angles, Polar2xyzIsTheCameraFrame)
{
    struct Row {
        V polar, xyz;
    };
    const Row rows[] = {
        {V(2, 0, 0), V(2, 0, 0)},   {V(2, 90, 0), V(0, 2, 0)},         {V(1, 180, 0), V(-1, 0, 0)},
        {V(2, 0, 90), V(0, 0, 2)},  {V(2, -90, 0), V(0, -2, 0)},       {V(0, 45, 45), V(0, 0, 0)},
        {V(2, 60, -30), V(std::sqrt(3.0) * 0.5, 1.5, -1)},
    };
    for (const Row& r : rows) {
        expect_near(r.xyz, polar2xyz(r.polar), 1e-12, "polar2xyz");
    }
}

// ---------------------------------------------------------------- poses

TEST(Localisation, RecoversSynthesisedPosesAllRoundTheCircle)
{
    std::vector<double> headings = {0.0, 0.05, -0.05, 359.95 - 360.0, 40.0, -40.0, 90.0, -90.0,
                                    179.95, -179.95, 180.0, -180.0 + 1e-9, 130.0, -130.0};
    for (int h = -180; h < 180; h += 5) {
        headings.push_back(h);
    }
    // Slant distances read as horizontal ones bias the heading when the
    // camera is above the field: hundredths of a degree at mid-field, more
    // the closer the robot stands to a corner flag.
    struct Spot {
        double x, y, raised_tol;
    };
    const Spot spots[] = {{0, 0, 0.01}, {1, 1, 0.02}, {-2, 1, 0.04},
                          {3, -2, 0.15}, {-4, -2.5, 0.3}, {4.5, 3, 0.7}};
    for (SideID side : {S_LEFT, S_RIGHT}) {
        for (double z : {0.0, 0.5}) {
            for (const Spot& spot : spots) {
                const double heading_tol = z == 0.0 ? 0.1 : spot.raised_tol;
                for (double heading : headings) {
                    Pose pose{spot.x, spot.y, z, heading};
                    Worldmodel w("Blue");
                    w.parse(message(perceive(pose, side), side == S_LEFT ? "left" : "right"));
                    const S& s = w.current_status();
                    const std::string what = std::string(side == S_LEFT ? "left" : "right") + " at (" +
                                             std::to_string(pose.x) + ", " + std::to_string(pose.y) +
                                             ", " + std::to_string(z) + ") heading " + std::to_string(heading);
                    expect_near(V(pose.x, pose.y, z), s.position_, 0.01, what);
                    expect_near(V(0, 0, 1), s.zax_, 1e-9, what);
                    EXPECT_LT(std::fabs(angle_diff(s.direction_, heading)), heading_tol) << what;
                    EXPECT_GT(s.direction_, -180.0) << what;
                    EXPECT_LE(s.direction_, 180.0) << what;
                }
            }
        }
    }
}

TEST(Localisation, EdgeCasesOfThePose)
{
    struct Row {
        const char* what;
        Pose pose;
        SideID synthesised, processed;
        V position;
        double direction;
        double tol;
    };
    const Row rows[] = {
        {"(1, 1) facing +y", {1, 1, 0, 90}, S_LEFT, S_LEFT, V(1, 1, 0), 90, 1e-9},
        {"the same read as the right side", {1, 1, 0, 90}, S_LEFT, S_RIGHT, V(-1, -1, 0), -90, 1e-9},
        {"centre facing +x, across the seam", {0, 0, 0, 0}, S_LEFT, S_LEFT, V(0, 0, 0), 0, 1e-9},
        {"raised camera", {-2, 1, 0.5, 30}, S_LEFT, S_LEFT, V(-2, 1, 0.5), 29.97, 0.005},
        {"facing own goal", {2, 0, 0, 180}, S_LEFT, S_LEFT, V(2, 0, 0), 180, 1e-9},
        {"right side facing own goal", {2, 0, 0, 180}, S_RIGHT, S_RIGHT, V(2, 0, 0), 180, 1e-9},
    };
    for (const Row& r : rows) {
        S s;
        s.flag_ = perceive(r.pose, r.synthesised);
        localise(s, r.processed);
        expect_near(r.position, s.position_, 1e-9, r.what);
        expect_near(V(0, 0, 1), s.zax_, 1e-9, r.what);
        EXPECT_LT(std::fabs(angle_diff(s.direction_, r.direction)), r.tol) << r.what << ": " << s.direction_;
    }
}

TEST(Localisation, UnknownSideUsesTheRightSideFrame)
{
    Worldmodel w("Blue");
    w.parse(message(perceive(Pose{2, -1, 0, 45}, S_RIGHT), nullptr));
    expect_near(V(2, -1, 0), w.current_status().position_, 1e-9, "no side yet");
    EXPECT_NEAR(45.0, w.current_status().direction_, 1e-9);
}

TEST(Localisation, TiltedCameraSeesTheFieldAxisTilted)
{
    Pose pose{1, -1, 0.45, 20};
    pose.pitch = 25;
    S s;
    s.flag_ = perceive(pose, S_LEFT);
    s.calc_position();
    const double b = 25 * kPi / 180;
    expect_near(V(1, -1, 0.45), s.position_, 1e-9, "position");
    expect_near(V(-std::sin(b), 0, std::cos(b)), s.zax_, 1e-9, "zax");
}

// Each subset of the four corner flags: never a value that is not a number;
// any three flags still give the pose, fewer keep the position and average
// the heading over the flags that are there.
TEST(Localisation, EverySubsetOfCornerFlags)
{
    const Pose poses[] = {{1, 1, 0, 90}, {-3, 2, 0, -150}, {0.5, -2.5, 0, 5}, {2, 0, 0, 180}};
    for (SideID side : {S_LEFT, S_RIGHT}) {
        for (const Pose& pose : poses) {
            const std::map<std::string, V> all = perceive(pose, side);
            for (int mask = 0; mask < 16; ++mask) {
                S s;
                s.position_ = V(pose.x, pose.y, pose.z);  // the estimate so far
                s.direction_ = 77.0;
                s.zax_ = V(0, 0, 1);
                s.ball_ = V(2, 30, -10);
                s.player_["mate"][2] = V(3, -20, 0);
                int seen = 0;
                for (int k = 0; k < 4; ++k) {
                    const std::string name = side == S_LEFT ? kCorners[k] : kCorners[3 - k];
                    if (mask & (1 << k)) {
                        s.flag_[name] = all.at(name);
                        ++seen;
                    }
                }
                localise(s, side);
                const std::string what = "mask " + std::to_string(mask) + " side " + std::to_string(side) +
                                         " heading " + std::to_string(pose.heading);
                expect_all_finite(s);
                expect_near(V(pose.x, pose.y, pose.z), s.position_, 1e-6, what);
                if (seen == 0) {
                    EXPECT_EQ(77.0, s.direction_) << what;
                } else {
                    EXPECT_LT(std::fabs(angle_diff(s.direction_, pose.heading)), 1e-6) << what;
                }
            }
        }
    }
}

TEST(Localisation, ThreeFlagsGiveThePoseWithoutAnEarlierEstimate)
{
    const Pose pose{-1.5, 2.5, 0.3, -60};
    for (SideID side : {S_LEFT, S_RIGHT}) {
        const std::map<std::string, V> all = perceive(pose, side);
        for (const char* missing : kCorners) {
            S s;
            s.flag_ = all;
            s.flag_.erase(missing);
            localise(s, side);
            expect_near(V(pose.x, pose.y, pose.z), s.position_, 1e-9, missing);
            expect_near(V(0, 0, 1), s.zax_, 1e-9, missing);
        }
    }
}

TEST(Localisation, DegenerateAndHostileInputsStayNumbers)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double big = 1e308;
    const V bad[] = {V(inf, 0, 0), V(nan, 1, 1), V(1, inf, 0), V(1, 0, nan), V(big, 10, 10),
                     V(big, big, big), V(-5, 10, 0), V(1e-300, 10, 10), V(5, 1e300, 0), V(5, 0, -1e300),
                     V(1, 2, 3)};
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(0, sizeof bad / sizeof bad[0] - 1);
    for (SideID side : {S_LEFT, S_RIGHT}) {
        for (int trial = 0; trial < 2000; ++trial) {
            S s;
            for (const char* name : kCorners) {
                s.flag_[name] = bad[pick(rng)];
            }
            s.ball_ = bad[pick(rng)];
            s.player_["mate"][1] = bad[pick(rng)];
            s.player_["opp"][3] = bad[pick(rng)];
            localise(s, side);
            expect_all_finite(s);
            if (HasFailure()) {
                return;
            }
        }
    }
}

TEST(Localisation, FlagsAllAtOnePointKeepThePosition)
{
    S s;
    s.position_ = V(1, 2, 0.4);
    s.zax_ = V(0, 0, 1);
    for (const char* name : kCorners) {
        s.flag_[name] = V(3, 10, -5);
    }
    s.calc_position();
    expect_all_finite(s);
    expect_near(V(1, 2, 0.4), s.position_, 0, "kept");
    expect_near(V(0, 0, 1), s.zax_, 0, "kept");
}

TEST(Localisation, WorldmodelKeepsThePreviousCycleWhenFlagsAreMissing)
{
    Worldmodel w("Blue");
    w.parse(message(perceive(Pose{-2, 1, 0, 30}, S_LEFT), "left"));
    w.parse("(time (now 0.04))(B (pol 1 0 0))");
    const S& s = w.current_status();
    expect_near(V(-2, 1, 0), s.position_, 1e-9, "position carried");
    EXPECT_NEAR(30.0, s.direction_, 1e-9);
    const double c = std::cos(30 * kPi / 180), n = std::sin(30 * kPi / 180);
    expect_near(V(-2 + c, 1 + n, 0), s.ball_xyz_, 1e-9, "ball from carried pose");
}

// ---------------------------------------------------------------- ball and players

TEST(FieldPositions, BallFromThePose)
{
    struct Row {
        V ball;
        V want;
    };
    // The camera is level here: the ball lies its seen distance times the
    // cosine of the vertical angle away.
    const Row rows[] = {
        {V(2, 0, 0), V(1, 3, 0.5)},
        {V(2, 0, -20), V(1, 1 + 2 * std::cos(20 * kDeg), 0.5)},
        {V(2, -90, 5), V(1 + 2 * std::cos(5 * kDeg), 1, 0.5)},
        {V(0, 0, 0), V(1, 1, 0.5)},
    };
    for (const Row& r : rows) {
        S s;
        s.flag_ = perceive(Pose{1, 1, 0.5, 90}, S_LEFT);
        s.ball_ = r.ball;
        s.calc_position();
        expect_near(r.want, s.ball_xyz_, 0.01, "ball");
        EXPECT_EQ(s.position_.v_[2], s.ball_xyz_.v_[2]);
    }
}

TEST(FieldPositions, TeammatesFillTheNumbersUpToTheHighest)
{
    S s;
    s.flag_ = perceive(Pose{1, 1, 0, 90}, S_LEFT);
    s.player_["mate"][2] = V(2, 0, 10);
    s.player_["mate"][5] = V(1, -90, 0);
    s.calc_position();
    const std::map<int, V>& m = s.player_["mate"];
    ASSERT_EQ(5u, m.size());
    for (int n : {1, 3, 4}) {
        expect_near(V(), m.at(n), 0, "filled in");
    }
    const std::map<int, V>& xyz = s.player_xyz_["mate"];
    ASSERT_EQ(5u, xyz.size());
    for (int n : {1, 3, 4}) {
        expect_near(s.position_, xyz.at(n), 0, "on the robot");
    }
    expect_near(V(1, 1 + 2 * std::cos(10 * kDeg), 0), xyz.at(2), 1e-9, "mate 2");
    expect_near(V(2, 1, 0), xyz.at(5), 1e-9, "mate 5");
}

TEST(FieldPositions, NoPlayersLeaveThePositionsAlone)
{
    S s;
    s.flag_ = perceive(Pose{1, 1, 0, 90}, S_LEFT);
    s.player_xyz_["mate"][7] = V(9, 8, 7);
    s.calc_position();
    EXPECT_TRUE(s.player_.empty());
    ASSERT_EQ(1u, s.player_xyz_.size());
    expect_near(V(9, 8, 7), s.player_xyz_["mate"][7], 0, "untouched");
}

TEST(FieldPositions, OpponentsArePlacedLikeTeammates)
{
    S s;
    s.flag_ = perceive(Pose{-1, 0, 0, 0}, S_RIGHT);
    s.player_["opp"][3] = V(4, 90, 0);
    s.calc_position_opp();
    expect_near(V(-1, 4, 0), s.player_xyz_["opp"][3], 1e-9, "opp 3");
    expect_near(s.position_, s.player_xyz_["opp"][1], 0, "opp 1");
    EXPECT_TRUE(s.player_["mate"].empty());
    EXPECT_EQ(0u, s.player_xyz_.count("mate"));
}

TEST(FieldPositions, NumbersBelowOneEndTheLoop)
{
    S s;
    s.flag_ = perceive(Pose{0, 0, 0, 0}, S_LEFT);
    s.player_["mate"][0] = V(1, 2, 3);
    s.player_["mate"][-4] = V(1, 2, 3);
    s.calc_position();
    EXPECT_EQ(2u, s.player_["mate"].size());
    EXPECT_EQ(0u, s.player_xyz_.count("mate"));
    s.player_["mate"][2] = V(1, 0, 0);
    s.calc_position();
    EXPECT_EQ(4u, s.player_["mate"].size());
    EXPECT_EQ(2u, s.player_xyz_["mate"].size());
}
