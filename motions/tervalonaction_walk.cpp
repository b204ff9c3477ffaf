#include <climits>
#include <cmath>
#include <iostream>

#include "decision/tervalonaction.h"

namespace {

// Phases of the walking gait.
enum {
    WALK_STANCE = 0,
    WALK_RIGHT_LIFT = 1,
    WALK_RIGHT_DOWN = 2,
    WALK_LEFT_LIFT = 3,
    WALK_LEFT_DOWN = 4,
    WALK_STRIDE_END = 5,
    WALK_STOP = 11
};

// Bent-knee stance, also the stop posture.
const Keyframe kWalkStance = {
    {"raj1", -90, 0.05}, {"laj1", -90, 0.05}, {"raj3", 90, 0.05}, {"laj3", -90, 0.05},
    {"raj4", 90, 0.02},  {"laj4", -90, 0.02},
    {"rlj2", -2, 0.05},  {"llj2", 2, 0.05},   {"rlj3", 20, 0.02}, {"llj3", 20, 0.02},
    {"rlj4", -30, 0.05}, {"llj4", -30, 0.05}, {"rlj5", 20, 0.02}, {"llj5", 20, 0.02},
    {"rlj6", 0, 0.05},   {"llj6", 0, 0.05},
};

// Stride phases 1-4; the steering hip yaw of each phase is set apart (kWalkYaw).
const Keyframe kWalkStride[] = {
    // 1: right leg lift
    {{"raj1", -110, 0.15}, {"laj1", -45, 0.15},
     {"llj1", 0, 0.2},
     {"rlj2", -1, 0.2},    {"llj2", 1, 0.2},    {"rlj3", 60, 0.3},  {"llj3", 5, 0.15},
     {"rlj4", -69, 0.2},   {"llj4", -25, 0.15}, {"rlj5", 30, 0.2},  {"llj5", 25, 0.2},
     {"rlj6", 0, 0.2},     {"llj6", 0, 0.2}},
    // 2: right leg set down
    {{"llj1", 0, 0.15},
     {"rlj3", 15, 0.2},    {"llj3", -5, 0.15},
     {"rlj4", -30, 0.2},   {"llj4", -45, 0.15}, {"rlj5", 15, 0.2},  {"llj5", 55, 0.2},
     {"rlj6", 0, 0.2},     {"llj6", 0, 0.2}},
    // 3: left leg lift
    {{"raj1", -45, 0.15},  {"laj1", -110, 0.15},
     {"rlj1", 0, 0.2},
     {"rlj3", 5, 0.15},    {"llj3", 60, 0.3},
     {"rlj4", -25, 0.15},  {"llj4", -69, 0.2},  {"rlj5", 25, 0.2},  {"llj5", 30, 0.2},
     {"rlj6", 0, 0.2},     {"llj6", 0, 0.2}},
    // 4: left leg set down
    {{"rlj1", 0, 0.1},
     {"rlj3", -5, 0.15},   {"llj3", 15, 0.2},
     {"rlj4", -45, 0.15},  {"llj4", -30, 0.2},  {"rlj5", 55, 0.2},  {"llj5", 15, 0.2},
     {"rlj6", 0, 0.2},     {"llj6", 0, 0.2}},
};

// Steering hip yaw of stride phases 1-4: the stepping leg's yaw joint and its gain.
const struct {
    const char* joint;
    double gain;
} kWalkYaw[] = {{"rlj1", 0.2}, {"rlj1", 0.1}, {"llj1", 0.2}, {"llj1", 0.1}};

// Steering yaw from the goal bearing, at most 6 degrees either way: on the
// robot a positive hip yaw on the stepping leg turns it counter-clockwise, so
// the yaw takes the bearing's sign. No bearing (NaN) or a straight one walks
// straight.
double walk_yaw(double bearing)
{
    const double limit = 6.0;
    if (std::isnan(bearing) || bearing == 0.0)
        return 0.0;
    if (bearing > limit)
        return limit;
    if (bearing < -limit)
        return -limit;
    return bearing;
}

}  // namespace

void Tervalonaction::walk()
{
    static const double rhythm = 0.11;
    const double now = world_->current_status().time_;
    static double t_tervalon3 = now;

    if (debug_flag_)
        std::cout << "walk() " << " action_state_  == " << action_state_ << '\n';

    if (action_state_ != WALK_STANCE && action_state_ != WALK_STOP) {
        if (now - t_tervalon3 >= rhythm) {
            // A counter parked far above the stop phase must not overflow.
            if (action_state_ < INT_MAX)
                ++action_state_;
            t_tervalon3 = now;
            if (action_state_ == WALK_STRIDE_END)
                action_state_ = WALK_RIGHT_LIFT;
        }
        // Checked in every lift cycle, so a goal reached mid-stride stops the next lift.
        if ((action_state_ == WALK_RIGHT_LIFT || action_state_ == WALK_LEFT_LIFT) &&
            (goto_pos_.v_[0] <= 0.1 || std::fabs(goto_pos_.v_[1]) > 30.0))
            action_state_ = WALK_STOP;
    }

    switch (action_state_) {
    case WALK_STANCE:
        apply(kWalkStance);
        if (get("rlj5") > 19.0) {
            action_state_ = WALK_RIGHT_LIFT;
            t_tervalon3 = now;
        }
        break;
    case WALK_RIGHT_LIFT:
    case WALK_RIGHT_DOWN:
    case WALK_LEFT_LIFT:
    case WALK_LEFT_DOWN: {
        const int i = action_state_ - WALK_RIGHT_LIFT;
        apply(kWalkStride[i]);
        set(kWalkYaw[i].joint, walk_yaw(goto_pos_.v_[1]), kWalkYaw[i].gain);
        break;
    }
    case WALK_STOP:
        apply(kWalkStance);
        if (get("rlj5") > 19.0 && get("rlj3") > 19.0 && get("raj4") > -22.0) {
            action_state_ = WALK_STANCE;
            action_end_ = true;
        }
        break;
    default:
        break;
    }
}
