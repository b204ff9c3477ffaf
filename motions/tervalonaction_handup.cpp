#include <iostream>

#include "decision/tervalonaction.h"

namespace {

// Phases of the hand-up.
enum { HANDUP_ARMS_OUT = 0, HANDUP_CROUCH = 1, HANDUP_RISE = 2 };

const Keyframe kHandup[] = {
    // 0: arms out
    {{"raj2", -65, 0.5},   {"laj2", 65, 0.5},   {"raj3", 90, 0.05},   {"laj3", -90, 0.05},
     {"rlj1", 0, 0.05},    {"llj1", 0, 0.05},
     {"rlj2", 0, 0.05},    {"llj2", 0, 0.05},   {"rlj3", 37, 0.05},   {"llj3", 37, 0.05},
     {"rlj4", -45, 0.05},  {"llj4", -45, 0.05}, {"rlj5", 20, 0.05},   {"llj5", 20, 0.05},
     {"rlj6", 0, 0.05},    {"llj6", 0, 0.05}},
    // 1: crouch
    {{"hj2", 44, 0.03},
     {"raj2", -65, 0.1},   {"laj2", 65, 0.1},   {"raj3", 90, 0.1},    {"laj3", -90, 0.1},
     {"rlj1", -40, 0.03},  {"llj1", -40, 0.03},
     {"rlj2", 20, 0.05},   {"llj2", -20, 0.05}, {"rlj3", 70, 0.03},   {"llj3", 70, 0.03},
     {"rlj4", -110, 0.05}, {"llj4", -110, 0.05}, {"rlj5", 40, 0.05},  {"llj5", 40, 0.05},
     {"rlj6", 0, 0.05},    {"llj6", 0, 0.05}},
    // 2: rise
    {{"hj2", 0, 0.02},
     {"raj2", -65, 0.1},   {"laj2", 65, 0.1},   {"raj3", 90, 0.1},    {"laj3", -90, 0.1},
     {"rlj1", 0, 0.05},    {"llj1", 0, 0.05},
     {"rlj2", 0, 0.05},    {"llj2", 0, 0.05},   {"rlj3", 40, 0.05},   {"llj3", 40, 0.05},
     {"rlj4", -60, 0.05},  {"llj4", -60, 0.05}, {"rlj5", 30, 0.05},   {"llj5", 30, 0.05},
     {"rlj6", 0, 0.05},    {"llj6", 0, 0.05}},
};

}  // namespace

void Tervalonaction::handup()
{
    if (debug_flag_)
        std::cout << "handup()" << '\n';

    switch (action_state_) {
    case HANDUP_ARMS_OUT:
        apply(kHandup[HANDUP_ARMS_OUT]);
        if (get("raj2") < -64.0 && get("rlj5") < 21.0 && get("rlj4") < -44.0)
            action_state_ = HANDUP_CROUCH;
        break;
    case HANDUP_CROUCH:
        // Held until the goalkeeper releases it (phase 2).
        apply(kHandup[HANDUP_CROUCH]);
        break;
    case HANDUP_RISE:
        apply(kHandup[HANDUP_RISE]);
        // Once head and hips are up, the stop posture takes over the legs and ends the motion.
        if (get("hj2") < 1.0 && get("rlj1") < 1.0)
            stop();
        break;
    default:
        break;
    }
}
