// Role behaviours: the forward, the goalkeeper and the runner.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "decision/tervalonaction.h"

namespace {

typedef Worldmodel::TVector3 V;

struct Rig {
    boost::shared_ptr<Worldmodel> world{new Worldmodel("Blue")};
    boost::shared_ptr<Tervalonaction> act{new Tervalonaction(world)};

    Worldmodel::TStatus& st() { return world->current_status(); }
    void me(double x, double y, double heading)
    {
        st().position_ = V(x, y, 0.0);
        st().direction_ = heading;
    }
    // The roles judge the ball by its field place; the perception is set too,
    // to show that its seen distance plays no part.
    void ball(double x, double y, double dist, double bearing)
    {
        st().ball_xyz_ = V(x, y, 0.0);
        st().ball_ = V(dist, bearing, -12.0);
    }
    // Turns the robot so that the ball lies at `bearing` over the ground.
    void face(double bearing)
    {
        const V& b = st().ball_xyz_;
        const V& m = st().position_;
        st().direction_ = std::atan2(b.v_[1] - m.v_[1], b.v_[0] - m.v_[0]) * 180.0 / M_PI - bearing;
    }
    std::string fw()
    {
        testing::internal::CaptureStdout();
        act->fw();
        return testing::internal::GetCapturedStdout();
    }
    std::string gk()
    {
        testing::internal::CaptureStdout();
        act->gk();
        return testing::internal::GetCapturedStdout();
    }
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

// ---------------------------------------------------------------- forward

TEST(Forward, BehindTheBallAimsAtThePointBehindItOnTheLineOfFire)
{
    struct Case {
        double heading;
    };
    // Robot 2 m behind the ball on the same y, the ball 3 m from the opponent
    // goal: the gait walks there whatever the bearing, turning as it goes.
    const std::vector<Case> cases = {{-10.0}, {-25.0}, {20.5}, {0.0}, {-120.0}};
    for (const Case& c : cases) {
        Rig r;
        r.me(1.0, 0.0, c.heading);
        r.ball(3.0, 0.0, 2.0, -c.heading);
        EXPECT_EQ("", r.fw());
        EXPECT_NEAR(2.7, r.act->goto_xyz_.v_[0], 1e-12);
        EXPECT_NEAR(0.0, r.act->goto_xyz_.v_[1], 1e-12);
        EXPECT_NEAR(1.7, r.act->goto_pos_.v_[0], 1e-12);
        EXPECT_NEAR(-c.heading, r.act->goto_pos_.v_[1], 1e-9);
        EXPECT_EQ(GAIT, r.act->state) << c.heading;
        EXPECT_FALSE(r.act->action_end_);
    }
}

TEST(Forward, BallWithinHalfAMetreOverTheGroundIsTheTarget)
{
    struct Case {
        double dist, bearing;  // over the ground
        bool ball_is_target;
    };
    // The perception says 0.55 m and -55 degrees, as a camera half a metre up
    // sees a ball at its feet: the distance over the ground decides.
    const std::vector<Case> cases = {
        {0.4, 20.0, true}, {0.4, -15.5, true}, {0.2, 0.0, true}, {0.49, 16.0, true},
        // Beyond half a metre: the point behind the ball, well off to the side here.
        {0.51, 10.0, false},
    };
    for (const Case& c : cases) {
        Rig r;
        r.act->goto_xyz_ = V(9.0, 8.0, 7.0);
        r.me(-2.0, 1.0, 30.0);
        const double a = (30.0 + c.bearing) * M_PI / 180.0;
        r.ball(-2.0 + c.dist * std::cos(a), 1.0 + c.dist * std::sin(a), 0.55, c.bearing);
        r.st().ball_.v_[2] = -55.0;
        EXPECT_EQ("", r.fw());
        if (c.ball_is_target) {
            EXPECT_NEAR(c.dist, r.act->goto_pos_.v_[0], 1e-9);
            EXPECT_NEAR(c.bearing, r.act->goto_pos_.v_[1], 1e-9);
            EXPECT_EQ(9.0, r.act->goto_xyz_.v_[0]);  // left as it was
        } else {
            EXPECT_NE(9.0, r.act->goto_xyz_.v_[0]);  // the point behind the ball
        }
        EXPECT_EQ(GAIT, r.act->state) << c.dist << " " << c.bearing;
    }
}

TEST(Forward, AheadOfTheBallGoesBackBesideIt)
{
    struct Case {
        double me_x, me_y, ball_x, ball_y, bearing;
        double want_y;
    };
    const std::vector<Case> cases = {
        {2.3, 0.1, 2.0, 0.0, 170.0, 0.5},    // close, robot above the ball: pass on its side
        {2.3, -0.1, 2.0, 0.0, 170.0, -0.5},  // close, robot below the ball
        {3.0, 0.3, 2.0, 1.0, 50.0, 1.0},     // far and wide: the ball's y
        {3.0, 0.3, 2.0, 1.0, 20.0, 0.3},     // far, ball straight ahead: keep own y
        {3.0, 0.3, 2.0, 1.0, -35.0, 1.0},    // 35 is not straight ahead
        {0.6, 0.1, 0.0, 0.0, 20.0, 0.1},     // x gap exactly 0.6: not close
        {0.5, 0.2, 0.0, 0.0, 50.0, 0.0},     // y gap exactly 0.2: not close
    };
    for (const Case& c : cases) {
        Rig r;
        r.me(c.me_x, c.me_y, 0.0);
        r.ball(c.ball_x, c.ball_y, 1.0, c.bearing);
        r.face(c.bearing);
        EXPECT_EQ("追い越し\n", r.fw());
        EXPECT_DOUBLE_EQ(c.ball_x - 0.5, r.act->goto_xyz_.v_[0]);
        EXPECT_DOUBLE_EQ(c.want_y, r.act->goto_xyz_.v_[1]) << c.me_x << " " << c.me_y << " " << c.bearing;
        EXPECT_EQ(0.0, r.act->goto_xyz_.v_[2]);
        const double dx = r.act->goto_xyz_.v_[0] - c.me_x;
        const double dy = r.act->goto_xyz_.v_[1] - c.me_y;
        EXPECT_NEAR(std::hypot(dx, dy), r.act->goto_pos_.v_[0], 1e-9);
    }
}

TEST(Forward, RunningMotionKeepsItsStateWhileTheTargetMoves)
{
    Rig r;
    r.act->action_end_ = false;
    r.act->state = TURN;
    r.me(1.0, 0.0, 0.0);
    r.ball(3.0, 0.0, 2.0, 0.0);
    r.fw();
    EXPECT_NEAR(2.7, r.act->goto_xyz_.v_[0], 1e-12);
    EXPECT_NEAR(1.7, r.act->goto_pos_.v_[0], 1e-12);
    EXPECT_EQ(TURN, r.act->state);
    EXPECT_FALSE(r.act->action_end_);

    r.me(0.0, 0.0, 0.0);
    r.ball(0.3, 0.0, 0.6, 40.0);
    r.fw();
    EXPECT_NEAR(0.3, r.act->goto_pos_.v_[0], 1e-12);
    EXPECT_EQ(TURN, r.act->state);
    EXPECT_FALSE(r.act->bturn_flag_);
}

// Of two field players at one ball, the one clearly farther from it waits
// behind and beside the ball. Robot 2 at (0, 0), the ball 2 m ahead.
TEST(Forward, FartherFromTheBallThanATeammateWaitsBehindAndBeside)
{
    struct Case {
        const char* what;
        int id;
        double mate_x, mate_y, seen_ago, ball_x;
        bool waits;
    };
    const Case cases[] = {
        {"mate nearer by more than 0.3 m", 3, 0.31, 0.0, 0.0, 2.0, true},
        {"mate nearer by less", 3, 0.29, 0.0, 0.0, 2.0, false},
        {"mate last seen a second ago", 3, 1.5, 0.0, 1.0, 2.0, false},
        {"mate seen just within the second", 3, 1.5, 0.0, 0.98, 2.0, true},
        {"the goalkeeper nearer", 1, 1.5, 0.0, 0.0, 2.0, false},
        {"ball at the feet", 3, 0.5, 0.0, 0.0, 0.8, false},
    };
    for (const Case& c : cases) {
        Rig r;
        char msg[160];
        std::snprintf(msg, sizeof msg, "(time (now 10.0))(GS (unum 2) (team left) (t 1.0) (pm PlayOn))"
                      "(See (P (team Blue) (id %d) (pol 1 0 0)))", c.id);
        r.world->parse(msg);
        r.st().time_ = 10.0 + c.seen_ago;
        r.st().player_xyz_["mate"][c.id] = V(c.mate_x, c.mate_y, 0.0);
        r.me(0.0, 0.0, 0.0);
        r.ball(c.ball_x, 0.0, c.ball_x, 0.0);
        r.fw();
        const bool waits = std::fabs(r.act->goto_xyz_.v_[1]) > 0.5;
        EXPECT_EQ(c.waits, waits) << c.what;
        if (waits) {
            EXPECT_NEAR(c.ball_x - 1.5, r.act->goto_xyz_.v_[0], 1e-12) << c.what;
        }
    }
}

// ---------------------------------------------------------------- goalkeeper

// Classic field: the keeper's line at x = -5.5, a ball wide beyond |y| = 2.5.
TEST(Goalkeeper, ChoosesTheWayBackToItsPost)
{
    const double kNaN = std::nan("");
    struct Case {
        const char* what;
        double me_x, me_y, heading, ball_y;
        BehaviorState state;
        bool dturn;
    };
    const std::vector<Case> cases = {
        {"on the line", -5.5, 0.05, 0.0, 1.0, HANDUP, false},
        {"a camera's reach in front", -5.41, 0.0, 0.0, 1.0, HANDUP, false},
        {"further in front", -5.39, 0.0, 0.0, 1.0, BACK_WALK, false},
        {"in front, heading at the tolerance", -4.0, 0.0, 10.0, 1.0, BACK_WALK, false},
        {"in front, heading beyond it", -4.0, 0.0, -10.5, 1.0, TURN, true},
        {"a little behind", -5.89, 0.0, 0.0, 1.0, HANDUP, false},
        {"well behind", -5.91, 0.0, 0.0, 1.0, GAIT, false},
        {"well behind, turned", -6.0, 0.0, 15.0, 1.0, TURN, true},
        {"0.2 off centre counts as off", -5.5, -0.2, 0.0, 1.0, SIDESTEP, false},
        {"a little less is centred", -5.5, 0.19, 0.0, 1.0, HANDUP, false},
        {"centred, ball wide", -5.5, 0.05, 0.0, -2.8, SIDESTEP, false},
        {"off centre, ball wide", -5.5, 0.5, 0.0, 2.8, HANDUP, false},
        {"ball exactly 2.5 out: neither", -5.5, 0.5, 0.0, 2.5, HANDUP, false},
        {"off centre, turned", -5.5, 0.5, 15.0, 1.0, TURN, true},
        {"facing 30 degrees off", -5.5, 0.0, 30.0, 1.0, HANDUP, false},
        {"facing further off", -5.5, 0.0, -30.5, 1.0, TURN, true},
        {"no place", kNaN, kNaN, 0.0, 1.0, HANDUP, false},
    };
    for (const Case& c : cases) {
        Rig r;
        r.me(c.me_x, c.me_y, c.heading);
        r.ball(-4.0, c.ball_y, 1.0, 0.0);
        const std::string out = r.gk();
        EXPECT_EQ(c.state, r.act->state) << c.what;
        EXPECT_EQ(c.dturn, r.act->dturn_flag_) << c.what;
        EXPECT_EQ(0, r.act->action_state_) << c.what;
        EXPECT_FALSE(r.act->action_end_) << c.what;
        EXPECT_EQ(c.state == BACK_WALK || c.state == GAIT, contains(out, "\n**************\n")) << c.what;
    }
}

// Crouched, the keeper keeps blocking whatever the ball does; only a post
// lost by more than the slack makes it rise (phase 2).
TEST(Goalkeeper, RisesFromTheCrouchOnlyOffItsPost)
{
    struct Case {
        const char* what;
        double me_x, me_y, heading, ball_x;
        int phase;
    };
    const std::vector<Case> cases = {
        {"ball at its feet", -5.5, 0.0, 0.0, -5.3, 1},
        {"in front within the slack", -5.26, 0.0, 0.0, 0.0, 1},
        {"in front beyond it", -5.24, 0.0, 0.0, 0.0, 2},
        {"to a side within the slack", -5.5, -0.34, 0.0, 0.0, 1},
        {"to a side beyond it", -5.5, 0.36, 0.0, 0.0, 2},
        {"facing 45 degrees off", -5.5, 0.0, 45.0, 0.0, 1},
        {"facing further off", -5.5, 0.0, -45.5, 0.0, 2},
    };
    for (const Case& c : cases) {
        Rig r;
        r.act->state = HANDUP;
        r.act->action_end_ = false;
        r.act->action_state_ = 1;
        r.me(c.me_x, c.me_y, c.heading);
        r.ball(c.ball_x, 0.0, 1.0, 0.0);
        r.gk();
        EXPECT_EQ(c.phase, r.act->action_state_) << c.what;
        EXPECT_EQ(HANDUP, r.act->state) << c.what;
        EXPECT_FALSE(r.act->action_end_) << c.what;
    }
}

// Today's server (line at x = -13.9): the gait takes the keeper to its post,
// facing it, and turns it on the spot to face the far goal.
TEST(Goalkeeper, TodayGoesToItsPostWithTheGait)
{
    struct Case {
        const char* what;
        double me_x, heading;
        BehaviorState state;
        double distance, bearing;  // goto_pos_
    };
    const std::vector<Case> cases = {
        {"far, facing away", -13.0, 0.0, GAIT, 0.9, 180.0},
        {"near, facing the post", -13.6, 180.0, GAIT, 0.3, 0.0},
        {"near, facing away", -13.6, 0.0, BACK_WALK, 0.3, 180.0},
        {"on it, turned", -13.9, 100.0, GAIT, 0.0, -100.0},
    };
    for (const Case& c : cases) {
        Rig r;
        r.world->parse("(GS (unum 1) (team left) (sl 0) (sr 0) (t 1.0) (pm PlayOn))");
        r.me(c.me_x, 0.0, c.heading);
        r.ball(-10.0, 0.0, 4.0, 0.0);
        r.gk();
        EXPECT_EQ(c.state, r.act->state) << c.what;
        EXPECT_FALSE(r.act->dturn_flag_) << c.what;
        EXPECT_NEAR(c.distance, r.act->goto_pos_.v_[0], 1e-9) << c.what;
        EXPECT_NEAR(c.bearing, std::fabs(r.act->goto_pos_.v_[1]) == 180.0 ? 180.0 : r.act->goto_pos_.v_[1], 1e-9)
            << c.what;
    }
}

TEST(Goalkeeper, TraceLines)
{
    Rig r;
    r.act->action_state_ = 3;
    r.act->action_end_ = false;
    r.me(-4.5, 0.25, 5.5);
    r.st().ball_xyz_ = V(2.0, -1.0, 0.04);
    r.st().ball_ = V(6.6, -10.0, -2.0);
    EXPECT_EQ("ball a ----------------------- :3\n"
              "ball a ----------------------- :-4.5\n"
              "ball a ----------------------- :0\n"
              "2\n-1\n0.04\n-4.5\n0.25\n5.5\n",
              r.gk());
    EXPECT_EQ(OVAREL, r.act->state);            // the running motion goes on ...
    EXPECT_NEAR(1.0, r.act->goto_pos_.v_[0], 1e-9);  // ... towards the refreshed target

    r.act->action_end_ = true;
    EXPECT_EQ("ball a ----------------------- :3\n"
              "ball a ----------------------- :-4.5\n"
              "ball a ----------------------- :1\n"
              "2\n-1\n0.04\n-4.5\n0.25\n5.5\n"
              "**************\n",
              r.gk());
    EXPECT_EQ(BACK_WALK, r.act->state);
}

// ---------------------------------------------------------------- runner

TEST(Runner, WalksTwentyMetresAheadWhateverHappens)
{
    for (bool end : {true, false}) {
        Rig r;
        r.act->state = HANDUP;
        r.act->action_end_ = end;
        r.me(-4.0, 1.0, 90.0);
        r.ball(-4.2, 1.0, 0.2, 80.0);
        testing::internal::CaptureStdout();
        r.act->run();
        r.act->run();
        EXPECT_EQ("WALK\nWALK\n", testing::internal::GetCapturedStdout());
        EXPECT_EQ(20.0, r.act->goto_pos_.v_[0]);
        EXPECT_EQ(0.0, r.act->goto_pos_.v_[1]);
        EXPECT_EQ(0.0, r.act->goto_pos_.v_[2]);
        EXPECT_EQ(WALK, r.act->state);
        EXPECT_EQ(end, r.act->action_end_);
    }
}
