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
// Two field players at one ball trip over each other: the one farther from
// it (by kYield, against a teammate seen within kMateFresh s) waits kSupportBack
// behind the ball and kSupportSide beside it, unless the ball is at its feet.
const double kYield = 0.3;
const double kMateFresh = 1.0;
const double kOwnBall = 0.8;
const double kSupportBack = 1.5;
const double kSupportSide = 1.0;
const double kSupportThere = 0.3;

double ground_distance(const TVector3& a, const TVector3& b)
{
    return std::hypot(a.v_[0] - b.v_[0], a.v_[1] - b.v_[1]);
}

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

    if (mate_nearer_ball()) {
        const double side = me.v_[1] >= ball.v_[1] ? kSupportSide : -kSupportSide;
        goto_xyz_ = TVector3(ball.v_[0] - kSupportBack, ball.v_[1] + side, 0.0);
        goto_pos_ = vec3_goto_pos(goto_xyz_);
        // There: step on the spot facing the ball.
        if (goto_pos_.v_[0] < kSupportThere) goto_pos_ = TVector3(0.0, ground.v_[1], 0.0);
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

bool Tervalonaction::mate_nearer_ball() const
{
    const Worldmodel::TStatus& st = world_->current_status();
    const double mine = ground_distance(st.position_, st.ball_xyz_);
    if (!(mine > kOwnBall)) return false;
    const auto mates = st.player_xyz_.find("mate");
    if (mates == st.player_xyz_.end()) return false;
    for (const auto& m : mates->second) {
        // The goalkeeper keeps to its box and leaves the ball to the others.
        if (m.first == 1 || m.first == world_->number()) continue;
        if (!(st.time_ - world_->mate_seen_time(m.first) < kMateFresh)) continue;
        if (ground_distance(m.second, st.ball_xyz_) + kYield < mine) return true;
    }
    return false;
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
