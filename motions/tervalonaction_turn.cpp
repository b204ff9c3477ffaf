#include <cmath>
#include <iostream>

#include "decision/tervalonaction.h"

namespace {

// Phases of the turn.
enum {
    TURN_STANCE = 0,
    TURN_RIGHT_UP = 1,
    TURN_RIGHT_DOWN = 2,
    TURN_LEFT_UP = 3,
    TURN_LEFT_DOWN = 4,
    TURN_STRIDE_END = 5,
    TURN_SETTLE = 11
};

const double kOnTarget = 5.0;     // degrees: bearing counted as straight ahead
const double kSettleTime = 1.0;   // seconds the settle phase lasts at least

const Keyframe kTurnStance = {
    {"raj1", -90, 0.05}, {"laj1", -90, 0.05}, {"raj3", 90, 0.05}, {"laj3", -90, 0.05},
    {"raj4", 90, 0.05},  {"laj4", -90, 0.05},
    {"rlj2", -1, 0.02},  {"llj2", 1, 0.02},   {"rlj3", 12, 0.02}, {"llj3", 12, 0.02},
    {"rlj4", -13, 0.02}, {"llj4", -13, 0.02}, {"rlj5", 10, 0.02}, {"llj5", 10, 0.02},
};

// Stepping phases 1-4; the yawed hip of each phase is set apart (kTurnYaw).
const Keyframe kTurnStep[] = {
    // 1: right leg up, left hip yawed
    {{"rlj1", 0, 0.1},
     {"rlj2", -1, 0.05},   {"llj2", 1, 0.05},   {"rlj3", 60, 0.07}, {"llj3", 11, 0.05},
     {"rlj4", -100, 0.05}, {"llj4", -12, 0.05}, {"rlj5", 50, 0.05}, {"llj5", 10, 0.05},
     {"rlj6", 1, 0.05},    {"llj6", -1, 0.05}},
    // 2: right leg down, left hip yawed
    {{"rlj1", 0, 0.1},
     {"rlj2", -1, 0.05},   {"llj2", 1, 0.05},   {"rlj3", 11, 0.05}, {"llj3", 11, 0.05},
     {"rlj4", -12, 0.05},  {"llj4", -12, 0.05}, {"rlj5", 10, 0.05}, {"llj5", 10, 0.05},
     {"rlj6", 1, 0.05},    {"llj6", -1, 0.05}},
    // 3: left leg up, right hip yawed
    {{"llj1", 0, 0.1},
     {"rlj2", -1, 0.05},   {"llj2", 1, 0.05},   {"rlj3", 11, 0.05}, {"llj3", 60, 0.075},
     {"rlj4", -12, 0.05},  {"llj4", -100, 0.05}, {"rlj5", 10, 0.05}, {"llj5", 50, 0.05},
     {"rlj6", 1, 0.05},    {"llj6", -1, 0.05}},
    // 4: left leg down, right hip yawed
    {{"llj1", 0, 0.1},
     {"rlj2", -1, 0.05},   {"llj2", 1, 0.05},   {"rlj3", 11, 0.05}, {"llj3", 11, 0.05},
     {"rlj4", -12, 0.05},  {"llj4", -12, 0.05}, {"rlj5", 10, 0.05}, {"llj5", 10, 0.05},
     {"rlj6", 1, 0.05},    {"llj6", -1, 0.05}},
};

// Yawed hip of phases 1-4 and the sign applied to the yaw offset.
const struct {
    const char* joint;
    double sign;
} kTurnYaw[] = {{"llj1", -1.0}, {"llj1", -1.0}, {"rlj1", 1.0}, {"rlj1", 1.0}};

const Keyframe kTurnSettle = {
    {"raj1", -90, 0.05}, {"laj1", -90, 0.05}, {"raj3", 90, 0.05}, {"laj3", -90, 0.05},
    {"raj4", 90, 0.02},  {"laj4", -90, 0.02}, {"rlj1", 0, 0.01},  {"llj1", 0, 0.01},
    {"rlj2", -2, 0.01},  {"llj2", 2, 0.01},   {"rlj3", 20, 0.01}, {"llj3", 20, 0.01},
    {"rlj4", -30, 0.01}, {"llj4", -30, 0.01}, {"rlj5", 15, 0.01}, {"llj5", 15, 0.01},
    {"rlj6", 0, 0.01},   {"llj6", 0, 0.01},
};

}  // namespace

void Tervalonaction::turn()
{
    static float ballTheta = 0.0f;
    static double wait = 0.0;
    const Worldmodel::TStatus& st = world_->current_status();
    const double now = st.time_;

    if (debug_flag_) {
        std::cout << "turn()" << '\n'
                  << " wst.ball_1  ---------------- " << st.ball_.v_[1] << '\n'
                  << " goto_pos_1  ---------------- " << goto_pos_.v_[1] << '\n'
                  << " direction ---------------- " << st.direction_ << '\n'
                  << " dturn_flag_  ---------------- " << dturn_flag_ << '\n'
                  << " bturn_flag_  ---------------- " << bturn_flag_ << '\n'
                  << " judgment  ---------------- " << judgment_ << '\n'
                  << " action_state  ---------------- " << action_state_ << '\n'
                  << " rlj5(>9.5)  ---------------- " << get("rlj5") << '\n'
                  << " wst.ball_0  ---------------- " << st.ball_.v_[0] << '\n';
    }

    if (bturn_flag_)
        judgment_ = st.ball_.v_[1];
    else if (dturn_flag_)
        judgment_ = -st.direction_;
    else
        judgment_ = goto_pos_.v_[1];

    // Zero and NaN bearings step the positive way.
    ballTheta = judgment_ < 0 ? 15.0f : -15.0f;

    if (action_state_ == TURN_STRIDE_END)
        action_state_ = TURN_RIGHT_UP;

    const bool on_target = std::fabs(judgment_) < kOnTarget;
    switch (action_state_) {
    case TURN_STANCE:
        apply(kTurnStance);
        if (get("rlj5") > 9.5)
            action_state_ = TURN_RIGHT_UP;
        break;
    case TURN_RIGHT_UP:
    case TURN_RIGHT_DOWN:
    case TURN_LEFT_UP:
    case TURN_LEFT_DOWN: {
        const int i = action_state_ - TURN_RIGHT_UP;
        apply(kTurnStep[i]);
        set(kTurnYaw[i].joint, kTurnYaw[i].sign * ballTheta, 0.1);
        if (action_state_ == TURN_RIGHT_UP) {
            if (get("rlj3") > 40.0)
                action_state_ = TURN_RIGHT_DOWN;
        } else if (action_state_ == TURN_LEFT_UP) {
            if (get("llj3") > 40.0)
                action_state_ = TURN_LEFT_DOWN;
        } else if (on_target) {
            // The bearing is judged only with both feet down.
            wait = now;
            action_state_ = TURN_SETTLE;
        } else if (action_state_ == TURN_RIGHT_DOWN) {
            if (get("rlj5") > 10.0)
                action_state_ = TURN_LEFT_UP;
        } else if (get("llj3") > 10.0) {
            action_state_ = TURN_RIGHT_UP;
        }
        break;
    }
    case TURN_SETTLE:
        apply(kTurnSettle);
        if (get("rlj5") > 14.8 && get("rlj3") > 19.8 && now - wait > kSettleTime) {
            dturn_flag_ = false;
            bturn_flag_ = false;
            action_end_ = true;
            action_state_ = TURN_STANCE;
        }
        break;
    default:
        break;
    }
}
