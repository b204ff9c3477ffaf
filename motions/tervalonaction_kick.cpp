#include <cmath>
#include <iostream>

#include "decision/tervalonaction.h"

namespace {

// Stand pose that opens and closes both kicks.
const Keyframe kStand = {
    {"raj1", -90, 0.05}, {"laj1", -90, 0.05}, {"raj3", 90, 0.05}, {"laj3", -90, 0.05},
    {"raj4", 90, 0.05},  {"laj4", -90, 0.05}, {"rlj3", 20, 0.05}, {"llj3", 20, 0.05},
    {"rlj2", -2, 0.05},  {"llj2", 2, 0.05},   {"rlj4", -30, 0.05}, {"llj4", -30, 0.05},
    {"rlj5", 20, 0.01},  {"llj5", 20, 0.01},  {"rlj6", 0, 0.05},  {"llj6", 0, 0.05},
};

// Right kick: shift weight (10), draw back (1), swing (2), recoil (3), settle (4).
const Keyframe kRight10 = {
    {"rlj2", 0, 0.05},   {"llj2", -6, 0.05},  {"rlj3", 18, 0.05}, {"llj3", 22, 0.05},
    {"rlj4", -40, 0.05}, {"llj4", -40, 0.05}, {"rlj5", 20, 0.05}, {"llj5", 20, 0.05},
    {"rlj6", -8, 0.05},  {"llj6", 8, 0.05},
};
const Keyframe kRight1 = {
    {"rlj3", 60, 0.05}, {"llj3", 22, 0.05}, {"rlj4", -100, 0.03}, {"llj4", -40, 0.05},
    {"rlj5", 0, 0.01},  {"llj5", 20, 0.05}, {"rlj6", -8, 0.05},   {"llj6", 12, 0.02},
};
const Keyframe kRight2 = {
    {"rlj3", 90, 0.2},   {"llj3", 22, 0.1}, {"rlj4", 0, 0.2},   {"llj4", -30, 0.03},
    {"rlj5", -35, 0.36}, {"llj5", 15, 0.1}, {"rlj6", 0, 0.001}, {"llj6", 10, 0.1},
};
const Keyframe kRight3 = {
    {"rlj3", 60, 0.1}, {"llj3", 22, 0.1}, {"rlj4", -100, 0.1}, {"llj4", -30, 0.03},
    {"rlj5", 35, 0.1}, {"llj5", 15, 0.1}, {"rlj6", 0, 0.001},  {"llj6", 10, 0.1},
};
const Keyframe kRight4 = {
    {"rlj2", 0, 0.05},   {"llj2", 0, 0.05},   {"rlj3", 22, 0.05}, {"llj3", 22, 0.05},
    {"rlj4", -40, 0.05}, {"llj4", -40, 0.07}, {"rlj5", 20, 0.05}, {"llj5", 20, 0.1},
    {"rlj6", -8, 0.05},  {"llj6", 10, 0.05},
};

// Left kick: the mirror image (phase-4 gains are deliberately not mirrored).
const Keyframe kLeft10 = {
    {"rlj2", 6, 0.05},   {"llj2", 0, 0.05},   {"rlj3", 22, 0.05}, {"llj3", 18, 0.05},
    {"rlj4", -40, 0.05}, {"llj4", -40, 0.05}, {"rlj5", 20, 0.05}, {"llj5", 20, 0.05},
    {"rlj6", -8, 0.05},  {"llj6", 8, 0.05},
};
const Keyframe kLeft1 = {
    {"rlj3", 22, 0.05}, {"llj3", 60, 0.05}, {"rlj4", -40, 0.05}, {"llj4", -100, 0.03},
    {"rlj5", 20, 0.05}, {"llj5", 0, 0.01},  {"rlj6", -12, 0.02}, {"llj6", 8, 0.05},
};
const Keyframe kLeft2 = {
    {"rlj3", 22, 0.1},  {"llj3", 90, 0.2},   {"rlj4", -30, 0.03}, {"llj4", 0, 0.2},
    {"rlj5", 15, 0.1},  {"llj5", -35, 0.36}, {"rlj6", -10, 0.1},  {"llj6", 0, 0.001},
};
const Keyframe kLeft3 = {
    {"rlj3", 22, 0.1}, {"llj3", 60, 0.1}, {"rlj4", -30, 0.03}, {"llj4", -100, 0.1},
    {"rlj5", 15, 0.1}, {"llj5", 35, 0.1}, {"rlj6", -10, 0.1},  {"llj6", 0, 0.001},
};
const Keyframe kLeft4 = {
    {"rlj2", 0, 0.05},   {"llj2", 0, 0.05},   {"rlj3", 22, 0.05}, {"llj3", 22, 0.05},
    {"rlj4", -40, 0.05}, {"llj4", -40, 0.07}, {"rlj5", 20, 0.05}, {"llj5", 20, 0.1},
    {"rlj6", -10, 0.05}, {"llj6", 8, 0.05},
};

// Kick-off swing: arms whipped round, legs thrown back and forth.
const Keyframe kOff0 = {
    {"laj1", -180, 5.0}, {"raj1", -180, 5.0}, {"llj2", 30, 0.5}, {"rlj2", 30, 0.5},
    {"llj4", -90, 0.5},  {"rlj4", -90, 0.5},  {"llj5", 45, 0.5}, {"rlj5", 45, 0.5},
    {"llj6", 0, 5.0},    {"rlj6", 0, 5.0},
};
const Keyframe kOff1 = {
    {"laj1", 180, 50.0}, {"raj1", 180, 50.0}, {"llj4", -140, 5.0}, {"rlj4", -140, 5.0},
    {"llj5", -180, 5.0}, {"rlj5", -180, 5.0}, {"llj6", 0, 0.05},   {"rlj6", 0, 5.0},
};
// Left-leg kick after the swing; phase 2 also drives llj4 and llj1 from members.
const Keyframe kOff2 = {
    {"llj2", 68, 0.7}, {"rlj2", 0, 0.1}, {"rlj4", 0, 0.1}, {"llj5", 30, 0.05},
    {"rlj5", 0, 0.1},  {"llj6", 0, 1.0}, {"rlj6", -8, 0.1},
};
const Keyframe kOff3 = {
    {"llj2", 43, 0.05}, {"rlj2", 24, 0.05}, {"llj4", -140, 0.05}, {"rlj4", -35, 0.05},
    {"llj5", 30, 0.05}, {"rlj5", 20, 0.05}, {"llj6", 0, 0.05},    {"rlj6", -8, 0.05},
    {"llj1", 0, 1.0},
};
const Keyframe kOff4 = {
    {"llj2", 24, 0.05}, {"rlj2", 24, 0.05}, {"llj4", -35, 0.05}, {"rlj4", -35, 0.05},
    {"llj5", 20, 0.05}, {"rlj5", 20, 0.05}, {"llj6", -3, 0.05},  {"rlj6", -8, 0.05},
};
const Keyframe kOff5 = {
    {"llj2", 0, 0.05}, {"rlj2", 0, 0.05}, {"llj4", 0, 0.05}, {"rlj4", 0, 0.05},
    {"llj5", 0, 0.05}, {"rlj5", 0, 0.05}, {"llj6", 0, 0.05}, {"rlj6", 0, 0.05},
    {"llj1", 0, 1.0},
};

const double kKickPause = 1.0;  // seconds between one kick's settle and the next swing

// A time stamp taken from a perception without a usable time would hold the
// kick in place for ever; the first usable time replaces it.
void restamp(double& stamp, double now)
{
    if (!std::isfinite(stamp)) stamp = now;
}

double finite_or_zero(double v) { return std::isfinite(v) ? v : 0.0; }

}  // namespace

void Tervalonaction::kick_right()
{
    static double wait = 0.0;
    const double now = world_->current_status().time_;
    restamp(wait, now);

    if (debug_flag_) std::cout << "kick_right() " << action_state_ << '\n';

    switch (action_state_) {
    case 0:
        apply(kStand);
        if (now - wait > kKickPause) action_state_ = 10;
        break;
    case 10:
        apply(kRight10);
        if (get("llj6") > 7.8) action_state_ = 1;
        break;
    case 1:
        apply(kRight1);
        if (get("llj6") > 11.8) action_state_ = 2;
        break;
    case 2:
        apply(kRight2);
        if (get("rlj4") > -22.0) action_state_ = 3;
        break;
    case 3:
        apply(kRight3);
        if (get("rlj4") < -92.0) action_state_ = 4;
        break;
    case 4:
        apply(kRight4);
        if (get("rlj4") > -42.0) {
            action_state_ = 5;
            wait = now;
        }
        break;
    case 5:
        apply(kStand);
        if (get("rlj5") > 19.0 && get("rlj3") > 19.0 && now - wait > kKickPause) {
            action_end_ = true;
            action_state_ = 0;
        }
        break;
    default:
        break;
    }
}

void Tervalonaction::kick_left()
{
    const double now = world_->current_status().time_;
    static double wait = now;
    restamp(wait, now);

    if (debug_flag_) std::cout << "kick_left()\n";
    std::cout << "action_state_  === === " << action_state_ << '\n';

    switch (action_state_) {
    case 0:
        apply(kStand);
        if (now - wait > kKickPause) action_state_ = 10;
        break;
    case 10:
        apply(kLeft10);
        if (get("rlj6") < -7.8) action_state_ = 1;
        break;
    case 1:
        apply(kLeft1);
        if (get("rlj6") < -11.8) action_state_ = 2;
        break;
    case 2:
        apply(kLeft2);
        if (get("llj4") > -22.0) action_state_ = 3;
        break;
    case 3:
        apply(kLeft3);
        if (get("llj4") < -92.0) action_state_ = 4;
        break;
    case 4:
        apply(kLeft4);
        if (get("llj4") > -42.0) {
            action_state_ = 5;
            wait = now;
        }
        break;
    case 5:
        apply(kStand);
        std::cout << "rlj3 > 19  =====   " << get("rlj3") << '\n';
        std::cout << "rlj5 > 19  =====" << get("rlj5") << '\n';
        if (get("llj5") > 19.0 && get("llj3") > 19.0 && now - wait > kKickPause) {
            action_end_ = true;
            action_state_ = 0;
        }
        break;
    default:
        break;
    }
}

// The swing alternates 0 <-> 1 for as long as KICK_OFF is the state. Phases 2-5
// (a left-leg kick) are not chained to the swing; they run only when the shared
// phase counter arrives in them, and they finish like every other motion.
void Tervalonaction::kick_off()
{
    switch (action_state_) {
    case 0:
        apply(kOff0);
        if (get("laj1") < -50.0) action_state_ = 1;
        break;
    case 1:
        apply(kOff1);
        if (get("laj1") > 150.0) action_state_ = 0;
        break;
    case 2:
        apply(kOff2);
        set("llj4", -15, 0.87 * finite_or_zero(inpuct_));
        set("llj1", finite_or_zero(angle_), 1.0);
        if (get("llj2") > 62.0) action_state_ = 3;
        break;
    case 3:
        apply(kOff3);
        if (get("llj4") < -139.0) action_state_ = 4;
        break;
    case 4:
        apply(kOff4);
        if (get("llj4") < -34.0) action_state_ = 5;
        break;
    case 5: {
        apply(kOff5);
        std::cout << "test2\n";
        const Worldmodel::TStatus& st = world_->current_status();
        Worldmodel::TVector3 gyr;  // no reading counts as still
        const auto it = st.gyr_.find("torso");
        if (it != st.gyr_.end()) gyr = it->second;
        if (get("llj4") > -1.0 && gyr.v_[0] < 0.3 && gyr.v_[1] < 0.3 && gyr.v_[2] < 0.3) {
            action_end_ = true;
            action_state_ = 0;
        }
        break;
    }
    default:
        break;
    }
}
