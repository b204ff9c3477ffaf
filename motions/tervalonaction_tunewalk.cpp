#include <cmath>
#include <iostream>

#include "decision/tervalonaction.h"

namespace {

// Wide-hipped stance the tuned gait starts from.
const Keyframe kTuneStance = {
    {"raj4", 10, 0.08},  {"laj4", 10, 0.08},  {"rlj2", 24, 0.08}, {"llj2", 24, 0.08},
    {"rlj3", 0, 0.08},   {"llj3", 0, 0.08},   {"rlj4", -35, 0.08}, {"llj4", -35, 0.08},
    {"rlj5", 20, 0.08},  {"llj5", 20, 0.08},
};

// Stride postures, all driven with the same gain. Phases 2 and 4 also steer with
// the hip yaw of the supporting leg (set separately from the goal bearing).
const double kStrideGain = 0.2;
const Keyframe kTune1 = {
    {"rlj1", 0, kStrideGain},           {"llj1", 0, kStrideGain},
    {"rlj2", 32.1173882, kStrideGain},  {"llj2", 23.082487, kStrideGain},
    {"rlj4", -59.4721766, kStrideGain}, {"llj4", -33.7648878, kStrideGain},
    {"rlj5", 38.4833734, kStrideGain},  {"llj5", 19.7823658, kStrideGain},
};
const Keyframe kTune2 = {
    {"rlj1", 0, kStrideGain},
    {"rlj2", 25.5126122, kStrideGain},  {"llj2", 22.1105292, kStrideGain},
    {"rlj4", -36.5445134, kStrideGain}, {"llj4", -34.9183512, kStrideGain},
    {"rlj5", 20.5009054, kStrideGain},  {"llj5", 20.250569, kStrideGain},
};
const Keyframe kTune3 = {
    {"rlj1", 0, kStrideGain},           {"llj1", 0, kStrideGain},
    {"rlj2", 23.082487, kStrideGain},   {"llj2", 32.1173882, kStrideGain},
    {"rlj4", -33.7648878, kStrideGain}, {"llj4", -59.4721766, kStrideGain},
    {"rlj5", 19.7823658, kStrideGain},  {"llj5", 38.4833734, kStrideGain},
};
const Keyframe kTune4 = {
    {"llj1", 0, kStrideGain},
    {"rlj2", 22.1105292, kStrideGain},  {"llj2", 25.5126122, kStrideGain},
    {"rlj4", -34.9183512, kStrideGain}, {"llj4", -36.5445134, kStrideGain},
    {"rlj5", 20.250569, kStrideGain},   {"llj5", 20.5009054, kStrideGain},
};

const double kNearest = 0.2;   // goal nearer than this: stop
const double kFarthest = 6.0;  // goal farther than this: stop
const double kMaxYaw = 6.0;    // steering limit, degrees
const double kRhythm = 0.11;   // minimum time per stride phase, as in the plain walk

// The goal bearing limited to the steering range; no bearing walks straight.
// Limited before narrowing, so no value can overflow the float.
float limited_bearing(double theta)
{
    if (std::isnan(theta)) return 0.0f;
    if (theta > kMaxYaw) theta = kMaxYaw;
    if (theta < -kMaxYaw) theta = -kMaxYaw;
    return static_cast<float>(theta);
}

}  // namespace

void Tervalonaction::tune_walk()
{
    const double now = world_->current_status().time_;
    static double t_tervalon3 = now;
    // A phase clock started on a perception without a usable time would never run.
    if (!std::isfinite(t_tervalon3)) t_tervalon3 = now;

    const double goto_pos_x = goto_pos_.v_[0];
    const float ballTheta = limited_bearing(goto_pos_.v_[1]);

    if (debug_flag_) std::cout << "tune_walk()\n";

    if (action_state_ > 0 && action_state_ % 2 == 1 &&
        (goto_pos_x < kNearest || goto_pos_x > kFarthest)) {
        action_end_ = true;
        action_state_ = 0;
    }

    if (action_state_ == 0) {
        apply(kTuneStance);
        if (get("rlj5") > 19.0) {
            action_state_ = 1;
            t_tervalon3 = now;
        }
        return;
    }

    // Stride 1 -> 2 -> 3 -> 4 -> 1, one phase per rhythm, timed from the last change.
    if (action_state_ >= 1 && action_state_ <= 4 && now - t_tervalon3 >= kRhythm) {
        ++action_state_;
        t_tervalon3 = now;
    }
    if (action_state_ == 5) action_state_ = 1;

    switch (action_state_) {
    case 1:
        apply(kTune1);
        break;
    case 2:
        apply(kTune2);
        set("llj1", -ballTheta, kStrideGain);
        break;
    case 3:
        apply(kTune3);
        break;
    case 4:
        apply(kTune4);
        set("rlj1", -ballTheta, kStrideGain);
        break;
    default:
        break;
    }
}
