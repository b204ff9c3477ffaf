#include "decision/tervalonaction.h"

namespace {

// A robot type's own row for one phase of a motion, in place of the standard
// robot's: where a type needs other angles to stand, walk or get up, they are
// a table per type, not code.
struct TypeRow {
    int robot_type;
    BehaviorState motion;
    int phase;
    const Keyframe* row;
};

// Type 1 (longer legs and arms) ends back phase 4 on its right side, leaning
// only a little towards its front: after the standard phase 5 the front
// stand-up's tuck rolls it onto its back. With the upper leg kept forward,
// straightening it in forward phase 0 lays the body squarely on its side,
// from where the side roll (21, 22) tips it onto its front. The upper arm
// rises twice as fast: nothing else waits on it.
const Keyframe kType1Back5 = {
    {"raj1",  90, 0.03}, {"laj1",  90, 0.1},  {"raj2",   0, 0.05}, {"laj2",   0, 0.05},
    {"raj3",   0, 0.05}, {"laj3",   0, 0.05}, {"raj4",   0, 0.05}, {"laj4",   0, 0.05},
    {"rlj1",   0, 0.1},  {"llj1",   0, 0.1},  {"rlj2",   0, 0.1},  {"llj2",   0, 0.1},
    {"rlj3", -25, 0.03}, {"llj3",  90, 0.05}, {"rlj4",   0, 0.1},  {"llj4",   0, 0.1},
    {"rlj5",   0, 0.1},  {"llj5",   0, 0.1},  {"rlj6",   0, 0.1},  {"llj6",   0, 0.1},
};

const TypeRow kTypeRows[] = {
    {1, STANDUP_BACK, 5, &kType1Back5},
};

}  // namespace

const Keyframe& Tervalonaction::phase_row(BehaviorState motion, int phase, const Keyframe& standard) const
{
    if (robot_type_ == kStandardRobot) return standard;
    for (const TypeRow& r : kTypeRows)
        if (r.robot_type == robot_type_ && r.motion == motion && r.phase == phase) return *r.row;
    return standard;
}
