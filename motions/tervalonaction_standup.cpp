#include <cmath>
#include <iostream>

#include "decision/tervalonaction.h"

namespace {

// Every rate of the torso gyroscope below `limit` in absolute value, tested
// x, y, z. A NaN rate fails the test (the body does not count as still).
bool torso_still(Worldmodel& world, double limit)
{
    const Worldmodel::TVector3& rt = world.current_status().gyr_["torso"];
    return std::fabs(rt.v_[0]) < limit && std::fabs(rt.v_[1]) < limit &&
           std::fabs(rt.v_[2]) < limit;
}

// Lying on a side: the up axis lies across the body. Neither stand-up works
// from there, so the robot first tips onto its front (the quicker and surer
// of the two stand-ups).
const double kSideX = 0.35;
const double kFallenZ = 0.5;

bool on_side(const Worldmodel::TVector3& up)
{
    return up.v_[2] < kFallenZ && std::fabs(up.v_[0]) < kSideX && std::fabs(up.v_[1]) > 0.5;
}

// The side it lies on: the up axis points to the robot's left (+y) when it
// lies on its right side.
bool on_right_side(const Worldmodel::TVector3& up) { return up.v_[1] > 0.0; }

// Lying on the front or the back, far enough over for its stand-up.
const double kOverX = 0.8;

// Off a side, phases 21-24 of the forward stand-up: the upper arm and leg
// swing forward and tip the body towards its front; then they come back
// down, out of the way, while the lower arm pushes the body on over. One row
// per phase, lying on the right side (21, 22) and on the left (23, 24).
const Keyframe kSideRoll[] = {
    {   // 21: right side, swing
        {"raj1", -90, 0.1},  {"laj1",   0, 0.3},  {"raj2",   0, 0.1},  {"laj2",   0, 0.1},
        {"raj3",   0, 0.1},  {"laj3",   0, 0.1},  {"raj4",   0, 0.1},  {"laj4",   0, 0.1},
        {"rlj1",   0, 0.1},  {"llj1",   0, 0.1},  {"rlj2",   0, 0.1},  {"llj2",   0, 0.1},
        {"rlj3",   0, 0.1},  {"llj3",  90, 0.3},  {"rlj4",   0, 0.1},  {"llj4",   0, 0.1},
        {"rlj5",   0, 0.1},  {"llj5",   0, 0.1},  {"rlj6",   0, 0.1},  {"llj6",   0, 0.1},
    },
    {   // 22: right side, push
        {"raj1", -90, 0.1},  {"laj1", -90, 0.2},  {"raj2", -90, 0.2},  {"laj2",   0, 0.1},
        {"raj3",   0, 0.1},  {"laj3",   0, 0.1},  {"raj4",   0, 0.1},  {"laj4",   0, 0.1},
        {"rlj1",   0, 0.1},  {"llj1",   0, 0.1},  {"rlj2",   0, 0.1},  {"llj2",   0, 0.1},
        {"rlj3",   0, 0.1},  {"llj3",   0, 0.2},  {"rlj4",   0, 0.1},  {"llj4",   0, 0.1},
        {"rlj5",   0, 0.1},  {"llj5",   0, 0.1},  {"rlj6",   0, 0.1},  {"llj6",   0, 0.1},
    },
    {   // 23: left side, swing
        {"raj1",   0, 0.3},  {"laj1", -90, 0.1},  {"raj2",   0, 0.1},  {"laj2",   0, 0.1},
        {"raj3",   0, 0.1},  {"laj3",   0, 0.1},  {"raj4",   0, 0.1},  {"laj4",   0, 0.1},
        {"rlj1",   0, 0.1},  {"llj1",   0, 0.1},  {"rlj2",   0, 0.1},  {"llj2",   0, 0.1},
        {"rlj3",  90, 0.3},  {"llj3",   0, 0.1},  {"rlj4",   0, 0.1},  {"llj4",   0, 0.1},
        {"rlj5",   0, 0.1},  {"llj5",   0, 0.1},  {"rlj6",   0, 0.1},  {"llj6",   0, 0.1},
    },
    {   // 24: left side, push
        {"raj1", -90, 0.2},  {"laj1", -90, 0.1},  {"raj2",   0, 0.1},  {"laj2",  90, 0.2},
        {"raj3",   0, 0.1},  {"laj3",   0, 0.1},  {"raj4",   0, 0.1},  {"laj4",   0, 0.1},
        {"rlj1",   0, 0.1},  {"llj1",   0, 0.1},  {"rlj2",   0, 0.1},  {"llj2",   0, 0.1},
        {"rlj3",   0, 0.2},  {"llj3",   0, 0.1},  {"rlj4",   0, 0.1},  {"llj4",   0, 0.1},
        {"rlj5",   0, 0.1},  {"llj5",   0, 0.1},  {"rlj6",   0, 0.1},  {"llj6",   0, 0.1},
    },
};

// The forward stand-up, one row per phase. Its first row, arms forward and
// every other joint straight and soft, is also the pose a body lying on its
// back comes to rest in before the back stand-up.
const Keyframe kForwardPhases[] = {
    {   // phase 0
        {"raj1", -90, 0.05}, {"laj1", -90, 0.05}, {"raj2",    0, 0.05}, {"laj2",    0, 0.05},
        {"raj3",   0, 0.05}, {"laj3",   0, 0.05}, {"raj4",    0, 0.05}, {"laj4",    0, 0.05},
        {"rlj1",   0, 0.05}, {"llj1",   0, 0.05}, {"rlj2",    0, 0.05}, {"llj2",    0, 0.05},
        {"rlj3",   0, 0.05}, {"llj3",   0, 0.05}, {"rlj4",    0, 0.05}, {"llj4",    0, 0.05},
        {"rlj5",   0, 0.05}, {"llj5",   0, 0.05}, {"rlj6",    0, 0.05}, {"llj6",    0, 0.05},
    },
    {   // phase 1
        {"raj1",  40, 0.1},  {"laj1",  40, 0.1},  {"raj2", -100, 0.1},  {"laj2",  100, 0.1},
        {"raj3",   0, 0.1},  {"laj3",   0, 0.1},  {"raj4",   90, 0.1},  {"laj4",  -90, 0.1},
        {"rlj1",   0, 0.1},  {"llj1",   0, 0.1},  {"rlj2",    0, 0.1},  {"llj2",    0, 0.1},
        {"rlj3", 100, 0.1},  {"llj3", 100, 0.1},  {"rlj4", -130, 0.1},  {"llj4", -130, 0.1},
        {"rlj5",  75, 0.1},  {"llj5",  75, 0.1},  {"rlj6",    0, 0.1},  {"llj6",    0, 0.1},
    },
    {   // phase 2
        {"raj1",  40, 0.1},  {"laj1",  40, 0.1},  {"raj2",  -50, 0.1},  {"laj2",   50, 0.1},
        {"raj3",   0, 0.1},  {"laj3",   0, 0.1},  {"raj4",   90, 0.1},  {"laj4",  -90, 0.1},
        {"rlj1", -60, 0.1},  {"llj1", -60, 0.1},  {"rlj2",    0, 0.1},  {"llj2",    0, 0.1},
        {"rlj3", 100, 0.1},  {"llj3", 100, 0.1},  {"rlj4", -125, 0.1},  {"llj4", -125, 0.1},
        {"rlj5",  75, 0.1},  {"llj5",  75, 0.1},  {"rlj6",    0, 0.1},  {"llj6",    0, 0.1},
    },
    {   // phase 3
        {"raj1",  25, 0.1},  {"laj1",  25, 0.1},  {"raj2",    0, 0.1},  {"laj2",    0, 0.1},
        {"raj3",   0, 0.1},  {"laj3",   0, 0.1},  {"raj4",    0, 0.1},  {"laj4",    0, 0.1},
        {"rlj1", -60, 0.1},  {"llj1", -60, 0.1},  {"rlj2",   18, 0.1},  {"llj2",  -18, 0.1},
        {"rlj3", 100, 0.1},  {"llj3", 100, 0.1},  {"rlj4", -125, 0.1},  {"llj4", -125, 0.1},
        {"rlj5",  40, 0.1},  {"llj5",  40, 0.1},  {"rlj6",    0, 0.1},  {"llj6",    0, 0.1},
    },
    {   // phase 4
        {"raj1", -45, 0.05}, {"laj1", -45, 0.05}, {"raj2",    0, 0.1},  {"laj2",    0, 0.1},
        {"raj3",   0, 0.1},  {"laj3",   0, 0.1},  {"raj4",    0, 0.1},  {"laj4",    0, 0.1},
        {"rlj1", -25, 0.02}, {"llj1", -25, 0.02}, {"rlj2",   18, 0.1},  {"llj2",  -18, 0.1},
        {"rlj3",  10, 0.02}, {"llj3",  10, 0.02}, {"rlj4",  -30, 0.02}, {"llj4",  -30, 0.02},
        {"rlj5",  15, 0.03}, {"llj5",  15, 0.03}, {"rlj6",    0, 0.1},  {"llj6",    0, 0.1},
    },
    {   // phase 5
        {"raj1", -90, 0.1},  {"laj1", -90, 0.1},  {"raj2",  -20, 0.1},  {"laj2",   20, 0.1},
        {"raj3",  90, 0.1},  {"laj3", -90, 0.1},  {"raj4",    0, 0.1},  {"laj4",    0, 0.1},
        {"rlj1",   0, 0.02}, {"llj1",   0, 0.02}, {"rlj2",    0, 0.1},  {"llj2",    0, 0.1},
        {"rlj3",   0, 0.02}, {"llj3",   0, 0.02}, {"rlj4",    0, 0.02}, {"llj4",    0, 0.02},
        {"rlj5",   0, 0.03}, {"llj5",   0, 0.03}, {"rlj6",    0, 0.1},  {"llj6",    0, 0.1},
    },
};

// The swing is over once the upper hip is: the push follows.
const double kSwungHip = 85.0;

}  // namespace

void Tervalonaction::level_head()
{
    set("hj1", 0.0, HOLD_GAIN);
    set("hj2", 0.0, HOLD_GAIN);
}

bool Tervalonaction::check_standup()
{
    // No new fall while a stand-up is (or was last) the motion.
    if (state == STANDUP_FORWARD || state == STANDUP_BACK) return false;

    const Worldmodel::TStatus& st = world_->current_status();
    if (st.gs_pm_ == "BeforeKickOff") return false;

    // The torso tilted more than 60 degrees, whatever the head does; NaN
    // counts as upright.
    const Worldmodel::TVector3& up = st.torso_up_;
    if (up.v_[2] < kFallenZ) {
        // Field "up" pointing backwards from the torso: lying on the front.
        // From a side the forward stand-up first rolls the robot over.
        state = (up.v_[0] < 0.0 || on_side(up)) ? STANDUP_FORWARD : STANDUP_BACK;
        return true;
    }
    return false;
}

void Tervalonaction::standup_back()
{
    // One row per phase.
    static const Keyframe kPhases[] = {
        {   // phase 0
            {"raj1",   0, 0.1},  {"laj1", 120, 0.1},  {"raj2",   0, 0.1},  {"laj2",   0, 0.1},
            {"raj3",   0, 0.1},  {"laj3", -90, 0.1},  {"raj4",   0, 0.1},  {"laj4", -90, 0.1},
            {"rlj1",   0, 0.1},  {"llj1",  -5, 0.1},  {"rlj2", -45, 0.3},  {"llj2",   0, 0.3},
            {"rlj3",  90, 0.05}, {"llj3", -20, 0.02}, {"rlj4",   0, 0.01}, {"llj4", -80, 0.05},
            {"rlj5",   0, 0.05}, {"llj5",  45, 0.1},  {"rlj6",   0, 0.1},  {"llj6",   0, 0.1},
        },
        {   // phase 1
            {"raj1",   0, 0.1},  {"laj1", 120, 0.1},  {"raj2",   0, 0.1},  {"laj2",   0, 0.1},
            {"raj3",   0, 0.1},  {"laj3",  90, 0.1},  {"raj4",  90, 0.03}, {"laj4",  90, 0.1},
            {"rlj1", -20, 0.1},  {"llj1",  -5, 0.1},  {"rlj2", -20, 0.3},  {"llj2",   0, 0.3},
            {"rlj3",  90, 0.05}, {"llj3", -35, 0.5},  {"rlj4",   0, 0.05}, {"llj4", -80, 0.05},
            {"rlj5",   0, 0.5},  {"llj5", -50, 0.2},  {"rlj6",   0, 0.1},  {"llj6",   0, 0.1},
        },
        {   // phase 2
            {"raj1",   0, 0.1},  {"laj1",   0, 0.1},  {"raj2",   0, 0.1},  {"laj2",   0, 0.1},
            {"raj3",   0, 0.1},  {"laj3",   0, 0.1},  {"raj4",   0, 0.1},  {"laj4",   0, 0.1},
            {"rlj1",   5, 0.005}, {"llj1",  0, 0.1},  {"rlj2",   0, 0.01}, {"llj2",   0, 0.3},
            {"rlj3",  90, 0.005}, {"llj3", 90, 0.02}, {"rlj4",   0, 0.1},  {"llj4",   0, 0.02},
            {"rlj5",   0, 0.05}, {"llj5",   0, 0.1},  {"rlj6",   0, 0.1},  {"llj6",   0, 0.1},
        },
        {   // phase 3
            {"raj1",   0, 0.1},  {"laj1",   0, 0.1},  {"raj2",   0, 0.1},  {"laj2",   0, 0.1},
            {"raj3",   0, 0.1},  {"laj3",   0, 0.1},  {"raj4",   0, 0.1},  {"laj4",   0, 0.1},
            {"rlj1",   0, 0.01}, {"llj1",   0, 0.1},  {"rlj2",   0, 0.01}, {"llj2",   0, 0.3},
            {"rlj3", -25, 0.5},  {"llj3",  90, 0.01}, {"rlj4", -90, 0.1},  {"llj4",   0, 0.1},
            {"rlj5",   0, 0.05}, {"llj5",   0, 0.1},  {"rlj6",   0, 0.1},  {"llj6",   0, 0.1},
        },
        {   // phase 4
            {"raj1",  90, 0.05}, {"laj1",   0, 0.05}, {"raj2",   0, 0.05}, {"laj2",   0, 0.05},
            {"raj3",   0, 0.05}, {"laj3",   0, 0.05}, {"raj4",   0, 0.05}, {"laj4",   0, 0.05},
            {"rlj1",   0, 0.1},  {"llj1",   0, 0.1},  {"rlj2",   0, 0.1},  {"llj2",   0, 0.1},
            {"rlj3", -25, 0.05}, {"llj3",  90, 0.05}, {"rlj4",   0, 0.1},  {"llj4", -40, 0.03},
            {"rlj5",   0, 0.1},  {"llj5",   0, 0.1},  {"rlj6",   0, 0.1},  {"llj6",   0, 0.1},
        },
        {   // phase 5
            {"raj1",  90, 0.03}, {"laj1",  90, 0.05}, {"raj2",   0, 0.05}, {"laj2",   0, 0.05},
            {"raj3",   0, 0.05}, {"laj3",   0, 0.05}, {"raj4",   0, 0.05}, {"laj4",   0, 0.05},
            {"rlj1",   0, 0.1},  {"llj1",   0, 0.1},  {"rlj2",   0, 0.1},  {"llj2",   0, 0.1},
            {"rlj3", -25, 0.03}, {"llj3",   0, 0.05}, {"rlj4",   0, 0.1},  {"llj4",   0, 0.1},
            {"rlj5",   0, 0.1},  {"llj5",   0, 0.1},  {"rlj6",   0, 0.1},  {"llj6",   0, 0.1},
        },
        {   // phase 6
            {"raj1", -90, 0.03}, {"laj1", -90, 0.05}, {"raj2",   0, 0.05}, {"laj2",   0, 0.05},
            {"raj3",   0, 0.05}, {"laj3",   0, 0.05}, {"raj4",   0, 0.05}, {"laj4",   0, 0.05},
            {"rlj1",   0, 0.1},  {"llj1",   0, 0.1},  {"rlj2",   0, 0.1},  {"llj2",   0, 0.1},
            {"rlj3",   0, 0.03}, {"llj3",   0, 0.05}, {"rlj4",   0, 0.1},  {"llj4",   0, 0.1},
            {"rlj5",   0, 0.1},  {"llj5",   0, 0.1},  {"rlj6",   0, 0.1},  {"llj6",   0, 0.1},
        },
    };
    static const int kPhaseCount = sizeof(kPhases) / sizeof(kPhases[0]);
    // Phase 2 once more with stiffer legs, when phase 2 stalls short of its
    // hip target.
    static const Keyframe kQuickSitRow = {
        {"raj1",   0, 0.1},  {"laj1",   0, 0.1},  {"raj2",   0, 0.1},  {"laj2",   0, 0.1},
        {"raj3",   0, 0.1},  {"laj3",   0, 0.1},  {"raj4",   0, 0.1},  {"laj4",   0, 0.1},
        {"rlj1",   5, 0.02}, {"llj1",   0, 0.1},  {"rlj2",   0, 0.04}, {"llj2",   0, 0.3},
        {"rlj3",  90, 0.02}, {"llj3",  90, 0.08}, {"rlj4",   0, 0.1},  {"llj4",   0, 0.08},
        {"rlj5",   0, 0.1},  {"llj5",   0, 0.1},  {"rlj6",   0, 0.1},  {"llj6",   0, 0.1},
    };

    if (debug_flag_) std::cout << "standup_back() " << action_state_ << std::endl;
    // The sit-up now and then leaves the body flat on its back (mostly when
    // it began before the body had come to rest), from where the rest of the
    // stand-up only loses time. Rest and sit up again, a few times.
    if (action_state_ == 3 && world_->current_status().torso_up_.v_[0] > kOverX &&
        back_tries_ + 1 < kBackTries) {
        ++back_tries_;
        action_state_ = kBackRest;
    }
    if (action_state_ == kBackRest) {
        // Its whole time even on a still body: the soft pose has to undo the
        // last try's, or the next try fails just the same.
        apply(phase_row(STANDUP_BACK, kBackRest, kForwardPhases[0]));
        level_head();
        // At rest on a side or the front after all (the fall is seen at 60
        // degrees of tilt, before it lands): the forward stand-up from there.
        const Worldmodel::TVector3& up = world_->current_status().torso_up_;
        if (phase_cycles() >= phase_limit(STANDUP_BACK, kBackRest) && (on_side(up) || up.v_[0] < -kOverX)) {
            state = STANDUP_FORWARD;
            action_state_ = on_side(up) ? (on_right_side(up) ? kRightSideSwing : kLeftSideSwing) : 1;
        }
        return;
    }
    if (action_state_ == kQuickSit) {
        apply(phase_row(STANDUP_BACK, kQuickSit, kQuickSitRow));
        level_head();
        if (get("llj3") > 89.0) action_state_ = 3;
        return;
    }
    if (action_state_ < 0 || action_state_ >= kPhaseCount) return;

    apply(phase_row(STANDUP_BACK, action_state_, kPhases[action_state_]));
    level_head();

    // Each exit waits for a joint to pass a threshold a little short of its target.
    switch (action_state_) {
    case 0:
        if (get("llj3") < -18.0 && get("llj5") > 42.0) action_state_ = 1;
        break;
    case 1:
        if (get("llj5") < -42.0 && get("raj4") > 88.0) action_state_ = 2;
        break;
    case 2:
        if (get("llj3") > 89.0) action_state_ = 3;
        break;
    case 3:
        if (get("llj3") > 89.3) action_state_ = 4;
        break;
    case 4:
        if (get("rlj3") < -23.0 && get("llj4") < -38.0) action_state_ = 5;
        break;
    case 5:
        if (get("laj1") > 85.0) action_state_ = 6;
        break;
    case 6:
        // Sitting up: the front stand-up takes over from its first phase.
        action_state_ = 0;
        state = STANDUP_FORWARD;
        break;
    }
}

void Tervalonaction::rise_from_rest(int rise, bool on_back)
{
    // The tries of the back stand-up are counted with those of its sit-up:
    // a body that never sits up ends in the forward stand-up after all.
    if (on_back && back_tries_ + 1 < kBackTries) {
        ++back_tries_;
        state = STANDUP_BACK;
        action_state_ = 0;
    } else {
        action_state_ = rise;
    }
}

void Tervalonaction::standup_forward()
{
    static const int kPhaseCount = sizeof(kForwardPhases) / sizeof(kForwardPhases[0]);

    if (debug_flag_) std::cout << "standup_forward() " << action_state_ << std::endl;
    const Worldmodel::TVector3& up = world_->current_status().torso_up_;
    // The first phase of the way up from where the body lies once at rest.
    const int rise = !on_side(up) ? 1 : on_right_side(up) ? kRightSideSwing : kLeftSideSwing;
    // A body that rolled over onto its back while coming to rest gets up
    // from there (the forward stand-up only folds it up on its back, and the
    // next try comes 6 s later).
    const bool rolled_onto_back = !standup_flag_ && up.v_[0] > kOverX && up.v_[2] < kFallenZ;
    if (action_state_ >= kRightSideSwing && action_state_ <= kLeftSidePush) {
        apply(phase_row(STANDUP_FORWARD, action_state_, kSideRoll[action_state_ - kRightSideSwing]));
        level_head();
        switch (action_state_) {
        case kRightSideSwing:
            if (get("llj3") > kSwungHip) action_state_ = kRightSidePush;
            break;
        case kLeftSideSwing:
            if (get("rlj3") > kSwungHip) action_state_ = kLeftSidePush;
            break;
        default:
            // Over on the front: its stand-up from rest; over on the back (the
            // push went the wrong way): the back stand-up; up on its own: the
            // same. A push that leaves the body on its side has its way out
            // in the phase limits.
            if (up.v_[0] > kOverX && up.v_[2] < kFallenZ) {
                state = STANDUP_BACK;
                action_state_ = 0;
            } else if (up.v_[0] < -kOverX || up.v_[2] >= kFallenZ) {
                action_state_ = 0;
            }
            break;
        }
        return;
    }
    if (action_state_ == kRestOver) {
        // No rest came: the phase-0 pose once more, and on from where it lies.
        apply(phase_row(STANDUP_FORWARD, 0, kForwardPhases[0]));
        level_head();
        rise_from_rest(rise, rolled_onto_back);
        return;
    }
    if (action_state_ < 0 || action_state_ >= kPhaseCount) return;

    apply(phase_row(STANDUP_FORWARD, action_state_, kForwardPhases[action_state_]));
    level_head();

    switch (action_state_) {
    case 0:
        // Wait for the body to come to rest first (unless forced).
        if (standup_flag_ || torso_still(*world_, 0.5)) rise_from_rest(rise, rolled_onto_back);
        break;
    case 1:
        if (get("raj4") > 88.0) action_state_ = 2;
        break;
    case 2:
        if (get("raj2") > -50.5) action_state_ = 3;
        break;
    case 3:
        if (get("rlj5") < 41.0 && get("rlj2") > 17.0) action_state_ = 4;
        break;
    case 4:
        if (get("rlj3") < 50.0) action_state_ = 5;
        break;
    case 5:
        if (get("raj1") < -89.0 && torso_still(*world_, 1.0)) {
            action_state_ = 0;
            action_end_ = true;
        }
        break;
    }
}
