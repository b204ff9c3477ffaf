#include <cfloat>
#include <climits>
#include <cmath>
#include <iostream>

#include "decision/tervalonaction.h"

namespace {

// Phases of the back walk.
enum {
    BACK_STANCE = 0,
    BACK_RIGHT_UP = 1,
    BACK_STRIDE_END = 5
};

const double kBackPace = 0.1;     // seconds per phase, at least
const double kHeadingLimit = 10.0;

const Keyframe kBackStance = {
    {"raj1", -90, 0.05}, {"laj1", -90, 0.05}, {"raj3", 90, 0.05}, {"laj3", -90, 0.05},
    {"raj4", 90, 0.05},  {"laj4", -90, 0.05},
    {"rlj2", 0, 0.05},   {"llj2", 0, 0.05},   {"rlj3", 24, 0.05}, {"llj3", 24, 0.05},
    {"rlj4", -35, 0.05}, {"llj4", -35, 0.05}, {"rlj5", 20, 0.05}, {"llj5", 20, 0.05},
    {"rlj6", 0, 0.05},   {"llj6", 0, 0.05},
};

// Phases 1-4.
const Keyframe kBackStride[] = {
    // 1: right leg up
    {{"rlj3", 32, 0.2}, {"llj3", 24, 0.2}, {"rlj4", -79, 0.2}, {"llj4", -35, 0.2},
     {"rlj5", 38, 0.2}, {"llj5", 20, 0.2}},
    // 2: right leg down
    {{"rlj3", 24, 0.2}, {"llj3", 24, 0.2}, {"rlj4", -35, 0.2}, {"llj4", -35, 0.2},
     {"rlj5", 20, 0.2}, {"llj5", 20, 0.2}},
    // 3: left leg up
    {{"rlj3", 24, 0.2}, {"llj3", 32, 0.2}, {"rlj4", -35, 0.2}, {"llj4", -79, 0.2},
     {"rlj5", 20, 0.2}, {"llj5", 38, 0.2}},
    // 4: left leg down
    {{"rlj3", 24, 0.2}, {"llj3", 24, 0.2}, {"rlj4", -35, 0.2}, {"llj4", -35, 0.2},
     {"rlj5", 20, 0.2}, {"llj5", 20, 0.2}},
};

// Simulation time in single precision. Times beyond the float range become
// infinite instead of being narrowed out of range.
float single(double t)
{
    if (t > FLT_MAX)
        return HUGE_VALF;
    if (t < -FLT_MAX)
        return -HUGE_VALF;
    return static_cast<float>(t);
}

}  // namespace

void Tervalonaction::back_walk()
{
    const Worldmodel::TStatus& st = world_->current_status();
    const double now = st.time_;
    static float t_tervalon = single(now);

    if (debug_flag_)
        std::cout << "back_walk()" << '\n';

    const bool behind_line = st.position_.v_[0] < world_->field().keeper_x();
    const bool heading_off = std::fabs(st.direction_) > kHeadingLimit;

    if (action_state_ != BACK_STANCE) {
        // Heading is checked while a leg is up, position while both feet are down.
        const bool odd = (action_state_ & 1) != 0;
        if ((behind_line && !odd) || (heading_off && odd)) {
            action_state_ = BACK_STANCE;
        } else {
            if (now - t_tervalon >= kBackPace) {
                t_tervalon = single(now);
                // A counter parked far above the stride must not overflow.
                if (action_state_ < INT_MAX)
                    ++action_state_;
                if (action_state_ == BACK_STRIDE_END)
                    action_state_ = BACK_RIGHT_UP;
            }
            if (action_state_ >= BACK_RIGHT_UP && action_state_ < BACK_STRIDE_END)
                apply(kBackStride[action_state_ - BACK_RIGHT_UP]);
            return;
        }
    }

    apply(kBackStance);
    if (get("rlj5") > 19.0) {
        if (behind_line || heading_off) {
            action_end_ = true;
        } else {
            action_state_ = BACK_RIGHT_UP;
            t_tervalon = single(now);
        }
    }
}
