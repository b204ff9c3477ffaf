// The head on today's server: it follows the ball with as many landmarks
// beside it as it can, glances at them when the place is old, sweeps when
// the ball is lost, and keeps still where the motions or the placement own
// it or the camera sees all round.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "decision/tervalonaction.h"

namespace {

typedef Worldmodel::TVector3 V;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Head {
    boost::shared_ptr<Worldmodel> world{new Worldmodel("Blue")};
    Tervalonaction act{world};

    explicit Head(const std::string& game_state) { world->parse(game_state); }

    // Runs look() for `cycles` cycles with the ball (un)seen; the lowest and
    // highest aim on the way.
    void run(int cycles, bool ball_fresh, bool pose_fresh, double& lo, double& hi)
    {
        lo = hi = act.head_yaw_;
        for (int i = 0; i < cycles; ++i) {
            Worldmodel::TStatus& s = world->current_status();
            s.fresh_ = (ball_fresh ? Worldmodel::TStatus::FRESH_BALL : 0u) |
                       (pose_fresh ? Worldmodel::TStatus::FRESH_POSE : 0u);
            act.look();
            lo = std::fmin(lo, act.head_yaw_);
            hi = std::fmax(hi, act.head_yaw_);
        }
    }
};

const char* const kLeftToday = "(GS (unum 2) (team left) (sl 0) (sr 0) (t 1.0) (pm PlayOn))";
const char* const kRightToday = "(GS (unum 2) (team right) (sl 0) (sr 0) (t 1.0) (pm PlayOn))";
const char* const kClassic = "(GS (unum 2) (team left) (t 1.0) (pm PlayOn))";

}  // namespace

TEST(Head, AimsByBallLandmarksAndSide)
{
    // Field 30 x 20 m. Landmarks count within 50 degrees of the camera's axis,
    // the ball is kept within 40.
    const struct {
        const char* what;
        const char* game_state;
        V me;
        double heading;
        V ball;
        bool pose_fresh;
        double yaw;
    } cases[] = {
        {"ball ahead: the far goal's four landmarks, straight", kLeftToday, V(0, 0, 0.5), 0, V(2, 0, 0), true, 0},
        // A corner and a post beside the ball: as far towards them as the ball allows.
        {"ball on the left", kLeftToday, V(0, 0, 0.5), 0, V(0, 2, 0), true, 50},
        {"the same on the right side", kRightToday, V(0, 0, 0.5), 0, V(0, 2, 0), true, 50},
        {"ball on the right", kLeftToday, V(0, 0, 0.5), 0, V(0, -2, 0), true, -50},
        // Near the touch line and facing it: one landmark at most beside the ball.
        {"one landmark beside the ball, place fresh", kLeftToday, V(0, 8, 0.5), 90, V(0, 9, 0), true, -35},
        {"the same with an old place: a glance", kLeftToday, V(0, 8, 0.5), 90, V(0, 9, 0), false, -95},
        {"ball behind: as far as the neck goes", kLeftToday, V(0, 0, 0.5), 0, V(-2, -0.1, 0), true, -110},
        // The goalkeeper: only as far as keeps the ball in view.
        {"keeper, ball ahead", kLeftToday, V(-14.5, 0, 0.5), 0, V(-10, 3, 0), true, 0},
        {"keeper, ball far to the left", kLeftToday, V(-14.5, 0, 0.5), 0, V(-14.5, 3, 0), true, 50},
    };
    for (const auto& c : cases) {
        Head h(c.game_state);
        Worldmodel::TStatus& s = h.world->current_status();
        s.position_ = c.me;
        s.direction_ = c.heading;
        s.ball_xyz_ = c.ball;
        h.act.state = GAIT;
        h.act.position = std::string(c.what).compare(0, 6, "keeper") == 0 ? GK : FW;
        double lo, hi;
        h.run(60, true, c.pose_fresh, lo, hi);
        EXPECT_NEAR(c.yaw, h.act.head_yaw_, 1e-9) << c.what;
        EXPECT_EQ(h.act.head_yaw_, h.act.aim_joint["hj1"]) << c.what;
        EXPECT_LE(h.act.aim_joint["hj2"], 0.0) << c.what;
        EXPECT_GE(h.act.aim_joint["hj2"], -30.0) << c.what;
    }
}

TEST(Head, SweepsForALostBallAndStaysWhereItIsNotFree)
{
    const struct {
        const char* what;
        const char* game_state;
        BehaviorState state;
        bool placing;
        V ball;
        bool ball_fresh;
        bool moves;
    } cases[] = {
        {"ball lost: side to side", kLeftToday, GAIT, false, V(2, 0, 0), false, true},
        {"no ball place at all: the same", kLeftToday, GAIT, false, V(kNaN, kNaN, kNaN), true, true},
        // Behind, out of the neck's reach: as far round as it goes, while the body turns.
        {"lost behind on the left", kLeftToday, GAIT, false, V(-2, 0.3, 0), false, false},
        {"standing up", kLeftToday, STANDUP_FORWARD, false, V(2, 0, 0), false, false},
        {"placed", kLeftToday, GAIT, true, V(2, 0, 0), false, false},
        {"classic camera", kClassic, GAIT, false, V(2, 0, 0), false, false},
    };
    for (const auto& c : cases) {
        Head h(c.game_state);
        Worldmodel::TStatus& s = h.world->current_status();
        s.position_ = V(0, 0, 0.5);
        s.ball_xyz_ = c.ball;
        h.act.state = c.state;
        h.act.placing_ = c.placing;
        double lo, hi;
        // A whole sweep: 110 degrees one way, 220 back, 3 degrees a cycle.
        h.run(120, c.ball_fresh, true, lo, hi);
        if (c.ball.v_[0] < 0) {
            EXPECT_EQ(110.0, h.act.head_yaw_) << c.what;
            EXPECT_EQ(0.0, lo) << c.what;
        } else if (c.moves) {
            EXPECT_EQ(110.0, hi) << c.what;
            EXPECT_EQ(-110.0, lo) << c.what;
            EXPECT_TRUE(std::isfinite(h.act.aim_joint["hj1"])) << c.what;
        } else {
            EXPECT_EQ(0u, h.act.aim_joint.count("hj1")) << c.what;
            EXPECT_EQ(0u, h.act.new_joint.count("hj1")) << c.what;
        }
    }
}
