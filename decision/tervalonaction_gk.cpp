#include <cmath>
#include <iostream>

#include "decision/tervalonaction.h"

namespace {

typedef Worldmodel::TVector3 TVector3;

// About the robot's body: the same on every field.
const double kSetBack = 1.0;        // how far behind the ball to go back to
const double kDangerTurn = 30.0;    // in danger, turn beyond this bearing
const double kHeadingTol = 10.0;
const double kCentred = 0.1;
// Field places of the 12 x 8 m field; they scale with a larger one.
const double kDangerX = -3.0;       // ball nearer the goal than this (and inside kZoneY): act
const double kReleaseX = -3.5;      // ball nearer than this: rise from the crouch
const double kZoneY = 3.0;
const double kBallSide = 2.5;       // ball this far out: follow it sideways

}  // namespace

void Tervalonaction::gk()
{
    const Worldmodel::TStatus& st = world_->current_status();
    const TVector3& ball = st.ball_xyz_;
    const TVector3& me = st.position_;
    const FieldGeometry& field = world_->field();
    const double danger_x = kDangerX * field.scale_x();
    const double release_x = kReleaseX * field.scale_x();
    const double zone_y = kZoneY * field.scale_y();
    const double ball_side = kBallSide * field.scale_y();

    std::cout << "ball a ----------------------- :" << action_state_ << '\n'
              << "ball a ----------------------- :" << me.v_[0] << '\n'
              << "ball a ----------------------- :" << action_end_ << '\n'
              << ball.v_[0] << '\n' << ball.v_[1] << '\n' << ball.v_[2] << '\n'
              << me.v_[0] << '\n' << me.v_[1] << '\n' << st.direction_ << '\n';

    if (me.v_[0] > ball.v_[0]) {
        aim_behind_ball(kSetBack);
    } else {
        goto_pos_ = vec3_goto_pos(ball);  // the ball over the ground
    }

    // Ball close to goal: rise from the crouch. This runs before the choice
    // below, so a motion chosen in the same cycle inherits the phase.
    if (state == HANDUP && ball.v_[0] < release_x && std::fabs(ball.v_[1]) < zone_y) {
        action_state_ = 2;
    }

    if (!action_end_) return;

    if (ball.v_[0] < danger_x && std::fabs(ball.v_[1]) < zone_y) {
        std::cout << "!!!!!!!!!!!!\n";
        state = std::fabs(goto_pos_.v_[1]) > kDangerTurn ? TURN : WALK;
    } else if (me.v_[0] > field.keeper_x()) {
        std::cout << "**************\n";
        if (std::fabs(st.direction_) > kHeadingTol) {
            dturn_flag_ = true;
            state = TURN;
        } else {
            state = BACK_WALK;
        }
    } else {
        const double ball_y = std::fabs(ball.v_[1]);
        const double my_y = std::fabs(me.v_[1]);
        if ((ball_y < ball_side && my_y >= kCentred) || (ball_y > ball_side && my_y <= kCentred)) {
            if (std::fabs(st.direction_) > kHeadingTol) {
                dturn_flag_ = true;
                state = TURN;
            } else {
                state = SIDESTEP;
            }
        } else {
            state = HANDUP;
        }
    }
    action_end_ = false;
}
