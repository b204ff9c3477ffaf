#include <climits>
#include <cmath>
#include <iostream>

#include "decision/tervalonaction.h"

namespace {

// Stance before the first step: a little deeper than the stop posture (rlj5/llj5 at 25).
const Keyframe kBallStance = {
    {"raj1", -90, 0.05}, {"laj1", -90, 0.05}, {"raj3", 90, 0.05}, {"laj3", -90, 0.05},
    {"raj4", 90, 0.05},  {"laj4", -90, 0.05}, {"rlj2", -2, 0.05}, {"llj2", 2, 0.05},
    {"rlj3", 20, 0.05},  {"llj3", 20, 0.05},  {"rlj4", -30, 0.05}, {"llj4", -30, 0.05},
    {"rlj5", 25, 0.02},  {"llj5", 25, 0.02},  {"rlj6", 0, 0.05},  {"llj6", 0, 0.05},
};
const Keyframe kBallRightLift = {
    {"raj1", -110, 0.15}, {"laj1", -45, 0.15}, {"rlj1", 0, 0.2},    {"llj1", 0, 0.2},
    {"rlj2", -1, 0.2},    {"llj2", 1, 0.2},    {"rlj3", 60, 0.3},   {"llj3", 5, 0.15},
    {"rlj4", -69, 0.2},   {"llj4", -25, 0.15}, {"rlj5", 30, 0.2},   {"llj5", 25, 0.2},
    {"rlj6", 0, 0.2},     {"llj6", 0, 0.2},
};
const Keyframe kBallRightDown = {
    {"rlj1", 0, 0.1},   {"llj1", 0, 0.15},   {"rlj3", 15, 0.2}, {"llj3", -5, 0.15},
    {"rlj4", -30, 0.2}, {"llj4", -45, 0.15}, {"rlj5", 15, 0.2}, {"llj5", 55, 0.2},
    {"rlj6", 0, 0.2},   {"llj6", 0, 0.2},
};
// The left-leg phases steer: llj1 is set separately from the ball bearing.
const Keyframe kBallLeftLift = {
    {"raj1", -45, 0.15}, {"laj1", -110, 0.15}, {"rlj1", 0, 0.2},  {"rlj3", 5, 0.15},
    {"llj3", 60, 0.3},   {"rlj4", -25, 0.15},  {"llj4", -69, 0.2}, {"rlj5", 25, 0.2},
    {"llj5", 30, 0.2},   {"rlj6", 0, 0.2},     {"llj6", 0, 0.2},
};
const Keyframe kBallLeftDown = {
    {"rlj1", 0, 0.1},    {"rlj3", -5, 0.15}, {"llj3", 15, 0.2}, {"rlj4", -45, 0.15},
    {"llj4", -30, 0.2},  {"rlj5", 55, 0.2},  {"llj5", 15, 0.2}, {"rlj6", 0, 0.2},
    {"llj6", 0, 0.2},
};
const Keyframe kBallStop = {
    {"raj1", -90, 0.05}, {"laj1", -90, 0.05}, {"raj3", 90, 0.05}, {"laj3", -90, 0.05},
    {"raj4", 90, 0.02},  {"laj4", -90, 0.02}, {"rlj2", -2, 0.05}, {"llj2", 2, 0.05},
    {"rlj3", 20, 0.02},  {"llj3", 20, 0.02},  {"rlj4", -30, 0.05}, {"llj4", -30, 0.05},
    {"rlj5", 20, 0.02},  {"llj5", 20, 0.02},  {"rlj6", 0, 0.05},  {"llj6", 0, 0.05},
};

const double kStopDistance = 0.4;    // ball this close during a lift: stop stepping
const double kFinishDistance = 0.5;  // ball still this close once standing: done
const double kRhythmEnd = 0.09;      // the stride slows down to just above this
const double kRhythmStep = 0.0005;

// Left hip yaw towards the ball; small bearings (and no bearing) walk straight.
double steer_from_bearing(double b)
{
    if (b >= 5.0) return -5.0;
    if (b <= -5.0) return 5.0;
    return 0.0;
}

}  // namespace

void Tervalonaction::ballwalk()
{
    const Worldmodel::TStatus& st = world_->current_status();
    const double now = st.time_;
    static double rhythm = 0.085;
    static double t_tervalon3 = now;
    // A phase clock started on a perception without a usable time would never run.
    if (!std::isfinite(t_tervalon3)) t_tervalon3 = now;

    const double ball_dist = st.ball_.v_[0];
    if (debug_flag_) {
        std::cout << "ballwalk()\n";
        std::cout << " wst.ball_0  ---------------- " << ball_dist << '\n';
    }

    if (action_state_ != 0 && action_state_ != 11) {
        if (now - t_tervalon3 >= rhythm && action_state_ < INT_MAX) {
            ++action_state_;
            t_tervalon3 = now;
        }
        if (action_state_ == 5) action_state_ = 1;
        if (ball_dist <= kStopDistance && (action_state_ == 1 || action_state_ == 3)) {
            action_state_ = 11;
        }
    }

    const double angle_l = steer_from_bearing(st.ball_.v_[1]);

    switch (action_state_) {
    case 0:
        apply(kBallStance);
        if (get("rlj5") > 19.0) {
            action_state_ = 1;
            t_tervalon3 = now;
        }
        break;
    case 1:
        apply(kBallRightLift);
        break;
    case 2:
        apply(kBallRightDown);
        break;
    case 3:
        apply(kBallLeftLift);
        set("llj1", angle_l, 0.2);
        break;
    case 4:
        apply(kBallLeftDown);
        set("llj1", angle_l, 0.1);
        // Only the first strides of the process lengthen the rhythm.
        if (rhythm <= kRhythmEnd) rhythm += kRhythmStep;
        break;
    case 11:
        apply(kBallStop);
        if (get("rlj5") > 19.0 && get("rlj3") > 19.0 && get("raj4") > -22.0 &&
            ball_dist <= kFinishDistance) {
            action_state_ = 0;
            action_end_ = true;
        }
        break;
    default:
        break;
    }
}
