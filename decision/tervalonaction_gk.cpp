#include <cmath>
#include <iostream>

#include "decision/tervalonaction.h"

namespace {

typedef Worldmodel::TVector3 TVector3;

const double kDeg = 180.0 / 3.141592653589793;

// About the robot's body: the same on every field.
const double kHeadingTol = 10.0;   // straight enough for a back walk, a walk or a sidestep
const double kFacingTol = 30.0;    // facing further off than this: turn back before crouching
// Off centre by this much: sidestep back (the sidestep itself goes on to
// within 0.1 m). Each sidestep risks a fall, and the place seen wavers by a
// good part of a decimetre on today's server.
const double kOffCentre = 0.2;
const double kCentred = 0.1;
const double kBehindLine = 0.4;    // this far behind its line: walk out to it
// In front of its line by this much: back to it. The camera the place is
// seen from sits ahead of the feet, and a crouched keeper blocks, so it
// rises to move only when well off its post.
const double kInFront = 0.1;
const double kSlack = 0.25;
const double kSideSlack = 0.15;
const double kFacingSlack = 15.0;
// Today's server: this far from its post the gait takes the keeper there
// facing it, where the back walk and the sidestep barely move it and often
// tip it over.
const double kFarFromPost = 0.35;
const double kAtPost = 0.15;       // on the way there, facing it: arrived
const double kFacingPost = 20.0;
const double kOffAxis = 0.6;       // the sidestep's post beside a ball out wide
// Field places of the 12 x 8 m field; they scale with a larger one.
const double kBallSide = 2.5;      // ball this far out: follow it sideways

struct KeeperMove {
    BehaviorState state;
    bool turn_home;  // turn to face the far goal first
};

// The keeper's post on its line: the middle, or beside a ball out wide.
TVector3 keeper_post(double ball_y, double line, double ball_side)
{
    const double y = ball_y > ball_side ? kOffAxis : (ball_y < -ball_side ? -kOffAxis : 0.0);
    return TVector3(line, y, 0.0);
}

// The motion that takes the keeper back to its post, HANDUP once it is there
// (GAIT: to the post, facing it). A crouched keeper's post is wider; NaN
// places count as on it.
KeeperMove keeper_move(const TVector3& me, double heading, double ball_y, double line, double ball_side,
                       bool crouched, bool today)
{
    const double slack = crouched ? kSlack : 0.0;
    const bool straight = std::fabs(heading) <= kHeadingTol;
    const KeeperMove turn_home = {TURN, true};
    const TVector3 post = keeper_post(ball_y, line, ball_side);
    if (today) {
        const double dx = post.v_[0] - me.v_[0];
        const double dy = post.v_[1] - me.v_[1];
        const double bearing = std::remainder(std::atan2(dy, dx) * kDeg - heading, 360.0);
        const double far = std::fabs(bearing) < kFacingPost ? kAtPost : kFarFromPost;
        if (std::hypot(dx, dy) > far + slack) return {GAIT, false};
    }
    if (me.v_[0] > line + (crouched ? kSlack : kInFront)) return straight ? KeeperMove{BACK_WALK, false} : turn_home;
    if (me.v_[0] < line - kBehindLine - slack) return straight ? KeeperMove{WALK, false} : turn_home;
    const double b = std::fabs(ball_y);
    const double p = std::fabs(me.v_[1]);
    if ((b < ball_side && p >= kOffCentre + (crouched ? kSideSlack : 0.0)) || (b > ball_side && p <= kCentred)) {
        return straight ? KeeperMove{SIDESTEP, false} : turn_home;
    }
    if (std::fabs(heading) > kFacingTol + (crouched ? kFacingSlack : 0.0)) return turn_home;
    return {HANDUP, false};
}

}  // namespace

// The keeper keeps its post on its line, crouched with the legs spread, and
// never walks out at the ball: the shots it faces reach it in well under a
// second, and a keeper on its way to a ball or getting up is no keeper.
void Tervalonaction::gk()
{
    const Worldmodel::TStatus& st = world_->current_status();
    const TVector3& ball = st.ball_xyz_;
    const TVector3& me = st.position_;
    const FieldGeometry& field = world_->field();
    const double line = field.keeper_x();
    const double ball_side = kBallSide * field.scale_y();

    std::cout << "ball a ----------------------- :" << action_state_ << '\n'
              << "ball a ----------------------- :" << me.v_[0] << '\n'
              << "ball a ----------------------- :" << action_end_ << '\n'
              << ball.v_[0] << '\n' << ball.v_[1] << '\n' << ball.v_[2] << '\n'
              << me.v_[0] << '\n' << me.v_[1] << '\n' << st.direction_ << '\n';

    const bool today = world_->generation() == GEN_TODAY;
    // To the post on today's server, else straight out to the line.
    goto_pos_ = vec3_goto_pos(today ? keeper_post(ball.v_[1], line, ball_side) : TVector3(line, me.v_[1], 0.0));

    if (state == HANDUP && !action_end_) {
        // Rise only when pushed or drifted off the post.
        if (keeper_move(me, st.direction_, ball.v_[1], line, ball_side, true, today).state != HANDUP) {
            action_state_ = 2;
        }
        return;
    }
    if (!action_end_) return;

    const KeeperMove m = keeper_move(me, st.direction_, ball.v_[1], line, ball_side, false, today);
    if (m.state == BACK_WALK || m.state == WALK || m.state == GAIT) std::cout << "**************\n";
    state = m.state;
    if (m.turn_home) dturn_flag_ = true;
    // The gait walks out to the line; on today's server it also turns on the
    // spot, where the keyframe turn's stance never settles.
    if (state == WALK) state = GAIT;
    if (state == TURN && today) {
        state = GAIT;
        dturn_flag_ = false;
        goto_pos_ = TVector3(0.0, -st.direction_, 0.0);
    }
    action_state_ = 0;
    action_end_ = false;
}
