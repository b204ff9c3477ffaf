#include <iostream>

#include "decision/tervalonaction.h"

void Tervalonaction::ovarel(double gain)
{
    // Every arm and leg joint straight; the head keeps its last target.
    static const char* const kRestJoints[] = {
        "raj1", "laj1", "raj2", "laj2", "raj3", "laj3", "raj4", "laj4",
        "rlj1", "llj1", "rlj2", "llj2", "rlj3", "llj3",
        "rlj4", "llj4", "rlj5", "llj5", "rlj6", "llj6",
    };
    static const double kRestAngle = 0.0;

    if (debug_flag_) std::cout << "ovarel()" << std::endl;
    for (const char* joint : kRestJoints) set(joint, kRestAngle, gain);
    action_end_ = true;
}

void Tervalonaction::stop()
{
    // Bent-knee stand, the pose the kicks start from.
    static const Keyframe kStop = {
        {"raj1", -90, 0.05}, {"laj1", -90, 0.05},
        {"raj3",  90, 0.05}, {"laj3", -90, 0.05},
        {"raj4",  90, 0.02}, {"laj4", -90, 0.02},
        {"rlj3",  20, 0.02}, {"llj3",  20, 0.02},
        {"rlj2",  -2, 0.05}, {"llj2",   2, 0.05},
        {"rlj4", -30, 0.05}, {"llj4", -30, 0.05},
        {"rlj5",  20, 0.02}, {"llj5",  20, 0.02},
        {"rlj6",   0, 0.05}, {"llj6",   0, 0.05},
    };

    apply(kStop);
    if (get("rlj5") > 19.0) {
        action_state_ = 0;
        action_end_ = true;
    }
}
