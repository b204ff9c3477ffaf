// The head on today's server: it follows the ball with as many landmarks
// beside it as it can, sweeps for a lost ball, and keeps still where it is not free.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "decision/tervalonaction.h"

namespace {
typedef Worldmodel::TVector3 V;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const char* const kLeft = "(GS (unum 2) (team left) (sl 0) (sr 0) (t 1.0) (pm PlayOn))";
const char* const kRight = "(GS (unum 2) (team right) (sl 0) (sr 0) (t 1.0) (pm PlayOn))";
const char* const kClassic = "(GS (unum 2) (team left) (t 1.0) (pm PlayOn))";
const double kSweeps = 1000;  // expected: side to side, +-110 degrees
const double kStill = 2000;   // expected: no head command at all
}  // namespace

// Field 30 x 20 m; landmarks count within 50 degrees of the camera's axis, the
// ball is kept within 40. Two seconds of cycles, 3-6 degrees each.
TEST(Head, AimsByBallLandmarksSideAndRole)
{
    const struct {
        const char *what, *game_state;
        SoccerPosition role;
        BehaviorState state;
        V me;
        double heading;
        V ball;
        bool ball_fresh, pose_fresh;
        double yaw;
    } cases[] = {
        {"ball ahead: the far goal's four landmarks", kLeft, FW, GAIT, V(0, 0, 0.5), 0, V(2, 0, 0), true, true, 0},
        // A corner and a post beside the ball: as far towards them as the ball allows.
        {"ball on the left", kLeft, FW, GAIT, V(0, 0, 0.5), 0, V(0, 2, 0), true, true, 50},
        {"the same on the right side", kRight, FW, GAIT, V(0, 0, 0.5), 0, V(0, 2, 0), true, true, 50},
        // Near the touch line and facing it: one landmark at most beside the ball.
        {"one landmark beside the ball", kLeft, FW, GAIT, V(0, 8, 0.5), 90, V(0, 9, 0), true, true, -35},
        {"the same with an old place: a glance", kLeft, FW, GAIT, V(0, 8, 0.5), 90, V(0, 9, 0), true, false, -95},
        {"ball behind", kLeft, FW, GAIT, V(0, 0, 0.5), 0, V(-2, -0.1, 0), true, true, -110},
        {"lost behind", kLeft, FW, GAIT, V(0, 0, 0.5), 0, V(-2, 0.3, 0), false, true, 110},
        {"keeper, ball ahead", kLeft, GK, HANDUP, V(-14.5, 0, 0.5), 0, V(-10, 3, 0), true, true, 0},
        {"keeper, ball far left", kLeft, GK, GAIT, V(-14.5, 0, 0.5), 0, V(-14.5, 3, 0), true, true, 50},
        {"ball lost", kLeft, FW, GAIT, V(0, 0, 0.5), 0, V(2, 0, 0), false, true, kSweeps},
        {"no ball place at all", kLeft, FW, GAIT, V(0, 0, 0.5), 0, V(kNaN, kNaN, kNaN), true, true, kSweeps},
        {"standing up", kLeft, FW, STANDUP_FORWARD, V(0, 0, 0.5), 0, V(2, 1, 0), true, true, kStill},
        {"classic camera", kClassic, FW, GAIT, V(0, 0, 0.5), 0, V(2, 1, 0), true, true, kStill},
    };
    for (const auto& c : cases) {
        boost::shared_ptr<Worldmodel> world(new Worldmodel("Blue"));
        Tervalonaction act(world);
        world->parse(c.game_state);
        Worldmodel::TStatus& s = world->current_status();
        s.position_ = c.me;
        s.direction_ = c.heading;
        s.ball_xyz_ = c.ball;
        act.state = c.state;
        act.position = c.role;
        double lo = 0, hi = 0;
        for (int i = 0; i < 120; ++i) {
            s.fresh_ = (c.ball_fresh ? Worldmodel::TStatus::FRESH_BALL : 0u) |
                       (c.pose_fresh ? Worldmodel::TStatus::FRESH_POSE : 0u);
            act.look();
            lo = std::fmin(lo, act.head_yaw_);
            hi = std::fmax(hi, act.head_yaw_);
        }
        if (c.yaw == kStill) {
            EXPECT_EQ(0u, act.new_joint.count("hj1") + act.aim_joint.count("hj1")) << c.what;
            continue;
        }
        EXPECT_EQ(act.head_yaw_, act.aim_joint["hj1"]) << c.what;
        EXPECT_TRUE(act.aim_joint["hj2"] <= 0.0 && act.aim_joint["hj2"] >= -30.0) << c.what;
        if (c.yaw == kSweeps) {
            EXPECT_TRUE(lo == -110.0 && hi == 110.0) << c.what;
        } else {
            EXPECT_NEAR(c.yaw, act.head_yaw_, 1e-9) << c.what;
        }
    }
}

// Two seconds without the ball, sweeps included: the forward turns on the
// spot for it on today's server, from the 100th cycle; never on the classic one.
TEST(Head, ALongLostBallTurnsTheForward)
{
    for (const char* game_state : {kLeft, kClassic}) {
        for (const int unseen : {99, 100}) {
            boost::shared_ptr<Worldmodel> world(new Worldmodel("Blue"));
            Tervalonaction act(world);
            world->parse(game_state);
            world->current_status().ball_xyz_ = V(3, 0, 0);
            act.ball_unseen_ = unseen;
            act.fw();
            EXPECT_EQ(game_state == kLeft && unseen == 100 ? 90.0 : 0.0, act.goto_pos_.v_[1]) << unseen;
        }
    }
}
