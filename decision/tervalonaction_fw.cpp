#include <cmath>
#include <iostream>

#include "decision/tervalonaction.h"

namespace {

typedef Worldmodel::TVector3 TVector3;

const double kNearX = 0.6;         // near-ball box
const double kNearY = 0.2;
const double kBeside = 0.5;        // sidestep offset beside the ball
const double kAheadAngle = 35.0;   // ball this straight ahead: keep own y
const double kSetBack = 0.5;       // how far behind the ball to go back to
const double kCloseBall = 0.5;     // ball this close: walk straight at it
const double kBehindBall = 0.3;    // aim point behind the ball on the line of fire

}  // namespace

void Tervalonaction::fw()
{
    const Worldmodel::TStatus& st = world_->current_status();
    const TVector3& ball = st.ball_xyz_;
    const TVector3& me = st.position_;
    // Nearness and bearing over the ground: a camera half a metre up never
    // sees the ball at its feet closer than about half a metre.
    const TVector3 ground = vec3_goto_pos(ball);

    if (me.v_[0] > ball.v_[0]) {
        aim_behind_ball(kSetBack);
    } else if (ground.v_[0] > kCloseBall) {
        goto_xyz_ = vec3_goto_xyz(goal_pos("opp"), ball, kBehindBall);
        goto_pos_ = vec3_goto_pos(goto_xyz_);
    } else {
        goto_pos_ = ground;
    }

    // A narrow view that has not shown the ball for two seconds, the head's
    // sweeps included, has it behind the robot: turn on the spot to it.
    if (ball_behind()) goto_pos_ = TVector3(1.0, 90.0, 0.0);

    if (!action_end_) return;
    // The gait steps and turns at once, towards goto_pos_ as it is at the
    // start of each of its periods.
    state = GAIT;
    action_end_ = false;
}

// Overtaken the ball: get back behind it without running through it, passing
// beside it when it is right at the robot's feet.
void Tervalonaction::aim_behind_ball(double set_back)
{
    const Worldmodel::TStatus& st = world_->current_status();
    const TVector3& ball = st.ball_xyz_;
    const TVector3& me = st.position_;

    std::cout << "追い越し\n";
    double y;
    if (std::fabs(ball.v_[0] - me.v_[0]) < kNearX && std::fabs(ball.v_[1] - me.v_[1]) < kNearY) {
        y = ball.v_[1] < me.v_[1] ? ball.v_[1] + kBeside : ball.v_[1] - kBeside;
    } else {
        y = std::fabs(vec3_goto_pos(ball).v_[1]) < kAheadAngle ? me.v_[1] : ball.v_[1];
    }
    goto_xyz_ = TVector3(ball.v_[0] - set_back, y, 0.0);
    goto_pos_ = vec3_goto_pos(goto_xyz_);
}
