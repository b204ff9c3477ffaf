// What the world model makes of a real robot's perceptions: a camera half a
// metre up and tilted with the torso, a head the hand-up left pitched, robots
// lying on front, back and side, and vision in every third message only.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "decision/tervalonaction.h"
#include "worldmodel/body_frame.h"

namespace {

typedef Worldmodel::TVector3 V;
const double kDeg = 3.141592653589793 / 180.0;

// A robot as the server sees it: camera place and torso heading in the left
// team's frame, the torso's lean (positive forward) and roll (positive onto
// its right side, the left side up), and the neck.
struct Body {
    double x, y, camera_height, heading;
    double lean = 0.0, roll = 0.0;
    double hj1 = 0.0, hj2 = 0.0;
};

// A field vector (from the camera) in the torso frame.
V field_to_torso(const Body& b, const V& d)
{
    const double h = b.heading * kDeg, p = b.lean * kDeg, r = b.roll * kDeg;
    // Into the level frame of the heading.
    const V l(std::cos(h) * d.v_[0] + std::sin(h) * d.v_[1], -std::sin(h) * d.v_[0] + std::cos(h) * d.v_[1],
              d.v_[2]);
    // Undo the lean (about the level y axis), then the roll (about the torso's x).
    const V a(std::cos(p) * l.v_[0] - std::sin(p) * l.v_[2], l.v_[1], std::sin(p) * l.v_[0] + std::cos(p) * l.v_[2]);
    return V(a.v_[0], std::cos(r) * a.v_[1] + std::sin(r) * a.v_[2], -std::sin(r) * a.v_[1] + std::cos(r) * a.v_[2]);
}

V polar_of(const Body& b, double px, double py, double pz)
{
    const V c = torso_to_camera(field_to_torso(b, V(px - b.x, py - b.y, pz - b.camera_height)), b.hj1, b.hj2);
    const double r = std::sqrt(c.v_[0] * c.v_[0] + c.v_[1] * c.v_[1] + c.v_[2] * c.v_[2]);
    return V(r, std::atan2(c.v_[1], c.v_[0]) / kDeg, std::asin(c.v_[2] / r) / kDeg);
}

std::string pol(const char* name, const V& p)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "(%s (pol %.6f %.6f %.6f))", name, p.v_[0], p.v_[1], p.v_[2]);
    return buf;
}

// One message of a left-side robot; with `vision` false there is no See group.
std::string message(double t, const Body& b, bool vision, double ball_x, double ball_y)
{
    char head[160];
    std::snprintf(head, sizeof head,
                  "(time (now %.2f))(GS (unum 2) (team left) (t %.2f) (pm PlayOn))"
                  "(HJ (n hj1) (ax %.3f))(HJ (n hj2) (ax %.3f))",
                  t, t, b.hj1, b.hj2);
    std::string m = head;
    if (vision) {
        m += "(See ";
        const struct {
            const char* name;
            double x, y;
        } corners[] = {{"F1L", -6, 4}, {"F2L", -6, -4}, {"F1R", 6, 4}, {"F2R", 6, -4}};
        for (const auto& c : corners) m += pol(c.name, polar_of(b, c.x, c.y, 0.0));
        m += pol("B", polar_of(b, ball_x, ball_y, 0.042)) + ")";
    }
    return m;
}

void expect_near(const V& want, const V& got, double tol, const std::string& what)
{
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(want.v_[k], got.v_[k], tol) << what << " [" << k << "]";
}

}  // namespace

// The ball at the feet is seen half a metre away and far below the horizon;
// only its part along the ground says where it lies.
TEST(BodyGeometry, BallAtTheFeetLiesWhereItIsSeenOverTheGround)
{
    struct Case {
        const char* what;
        Body body;
        double ahead, aside;  // ball from the camera's foot point, along and across the heading
    };
    const Case cases[] = {
        {"standing, ball at the feet", {-1.0, 0.5, 0.51, 30.0}, 0.18, 0.0},
        {"walking lean, ball at the feet", {-1.0, 0.5, 0.51, 30.0, 18.0}, 0.18, 0.05},
        {"walking lean, facing back", {2.0, -1.0, 0.50, -170.0, 15.0}, 0.25, -0.1},
        {"walking lean, ball two metres off", {0.0, 0.0, 0.51, 90.0, 18.0}, 2.0, 0.5},
        {"head pitched up 44, torso leaning 30", {-5.5, 0.0, 0.45, 0.0, 30.7, 0.0, 0.0, 44.0}, 0.8, -0.3},
    };
    for (const Case& c : cases) {
        const Body& b = c.body;
        const double h = b.heading * kDeg;
        const double bx = b.x + std::cos(h) * c.ahead - std::sin(h) * c.aside;
        const double by = b.y + std::sin(h) * c.ahead + std::cos(h) * c.aside;
        Worldmodel w("Alpha");
        w.parse(message(0.02, b, true, bx, by));
        const Worldmodel::TStatus& s = w.current_status();
        EXPECT_NEAR(bx, s.ball_xyz_.v_[0], 0.01) << c.what;
        EXPECT_NEAR(by, s.ball_xyz_.v_[1], 0.01) << c.what;
        // The seen distance taken as horizontal would put it this far away.
        const double seen = s.ball_.v_[0];
        EXPECT_GT(seen - std::hypot(c.ahead, c.aside), 0.015) << c.what;
    }
}

// The hand-up pitches the head and a fall may leave it so: the fall detector
// reads the torso, with the neck taken out of the camera's tilt.
TEST(BodyGeometry, TorsoTiltWithThePitchedHeadTakenOut)
{
    struct Case {
        const char* what;
        Body body;
        bool fallen;
        BehaviorState standup;  // when fallen
    };
    const Case cases[] = {
        {"standing, head level", {0, 0, 0.51, 10}, false, OVAREL},
        {"crouching, head pitched 44", {-5.5, 0, 0.45, 0, 30.7, 0, 0, 44}, false, OVAREL},
        {"face down, head pitched 44", {-5.5, 0, 0.1, 0, 88, 0, 0, 44}, true, STANDUP_FORWARD},
        {"face down, head level", {1, 1, 0.1, 45, 85}, true, STANDUP_FORWARD},
        {"on the back", {1, 1, 0.1, 45, -85}, true, STANDUP_BACK},
        {"on the back, head pitched 44", {1, 1, 0.1, -135, -85, 0, 0, 44}, true, STANDUP_BACK},
        {"on the right side", {1, 1, 0.15, 45, 0, 85}, true, STANDUP_FORWARD},
        {"on the left side, head turned", {1, 1, 0.15, 45, 0, -88, 30, 0}, true, STANDUP_FORWARD},
    };
    for (const Case& c : cases) {
        boost::shared_ptr<Worldmodel> w(new Worldmodel("Alpha"));
        Tervalonaction act(w);
        w->parse(message(0.02, c.body, true, 0.0, 0.0));
        const Worldmodel::TStatus& s = w->current_status();
        const double p = c.body.lean * kDeg, r = c.body.roll * kDeg;
        expect_near(V(-std::sin(p), std::cos(p) * std::sin(r), std::cos(p) * std::cos(r)),
                    s.torso_up_, 1e-6, c.what);
        EXPECT_EQ(c.fallen, act.check_standup()) << c.what;
        if (c.fallen) {
            EXPECT_EQ(c.standup, act.state) << c.what;
        }
    }
}

// Vision comes in every third message; the other two must not replay the
// flags and ball that the slot kept from ten messages before.
TEST(BodyGeometry, MessagesWithoutVisionCarryTheLastEstimates)
{
    Worldmodel w("Alpha");
    const Body old_place{-4.0, -2.0, 0.5, 120.0};
    // Every slot of the ring has seen the robot and ball at the old place.
    for (int k = 0; k < 10; ++k) w.parse(message(0.02 * (k + 1), old_place, true, -3.0, -1.0));

    // It has walked on: vision once, then two messages without.
    const Body now{1.0, 1.5, 0.5, -20.0, 12.0};
    w.parse(message(0.22, now, true, 1.5, 1.2));
    const Worldmodel::TStatus seen = w.current_status();
    for (int k = 0; k < 2; ++k) {
        w.parse(message(0.24 + 0.02 * k, now, false, 0, 0));
        const Worldmodel::TStatus& s = w.current_status();
        expect_near(seen.position_, s.position_, 0, "position");
        expect_near(seen.zax_, s.zax_, 0, "tilt");
        expect_near(seen.torso_up_, s.torso_up_, 0, "torso");
        expect_near(seen.ball_xyz_, s.ball_xyz_, 0, "ball");
        EXPECT_EQ(seen.direction_, s.direction_);
        // The readings kept in the slot are untouched.
        EXPECT_NE(s.flag_.at("F1L").v_[0], seen.flag_.at("F1L").v_[0]);
    }
    EXPECT_NEAR(1.0, seen.position_.v_[0], 1e-3);
    EXPECT_NEAR(-20.0, seen.direction_, 0.5);

    // A vision message that shows only some corner flags uses no stale ones.
    std::string partial = "(time (now 0.28))(GS (t 0.28) (pm PlayOn))(See " +
                          pol("F1L", polar_of(now, -6, 4, 0)) + pol("B", polar_of(now, 0.5, 1.5, 0.042)) + ")";
    w.parse(partial);
    const Worldmodel::TStatus& s = w.current_status();
    expect_near(seen.position_, s.position_, 0, "position kept");
    EXPECT_NEAR(0.5, s.ball_xyz_.v_[0], 0.05);
    EXPECT_NEAR(1.5, s.ball_xyz_.v_[1], 0.05);
}

// Players seen in a message with vision go on the ground like the ball;
// without vision they stay where they were last seen.
TEST(BodyGeometry, TeammatesOverTheGroundAndCarried)
{
    Worldmodel w("Alpha");
    const Body me{0.0, 0.0, 0.5, 0.0, 15.0};
    const V p = polar_of(me, 2.0, 1.0, 0.5);
    char player[128];
    std::snprintf(player, sizeof player, "(See (P (team Alpha) (id 3) (pol %.6f %.6f %.6f)))", p.v_[0], p.v_[1],
                  p.v_[2]);
    const std::string m = message(0.02, me, true, 1, 0) + player;
    w.parse(m);
    const V mate = w.current_status().player_xyz_["mate"][3];
    EXPECT_NEAR(2.0, mate.v_[0], 0.01);
    EXPECT_NEAR(1.0, mate.v_[1], 0.01);
    w.parse(message(0.04, me, false, 0, 0));
    expect_near(mate, w.current_status().player_xyz_["mate"][3], 0, "carried");
}
