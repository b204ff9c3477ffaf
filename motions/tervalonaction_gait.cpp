#include <algorithm>
#include <cmath>
#include <iostream>

#include "decision/tervalonaction.h"

namespace {

const double kPi = 3.141592653589793;
const double kDeg = 180.0 / kPi;
const double kCycle = 0.02;  // s

// Leg lengths of the standard robot (m): hip to knee, knee to ankle.
const double kThigh = 0.12;
const double kShank = 0.10;

// The gait's shape. One period is a step of each leg, the left one first.
// Tuned on the real server (both configurations): a 0.4 s period, long
// low steps and soft joints. Shorter periods made the robot hop off both
// feet; stiffer joints (gain 0.6) made it fall every 10-20 s.
const GaitShape kGait = {
    20,      // cycles per period
    2,       // cycles the targets run ahead of the joints
    0.175,   // hip above ankle (m): bent knees keep the leg off its straight limit
    0.025,   // swing foot lift (m)
    0.09,    // step length (m): the body moves this far per step
    0.02,    // sideways sway of the hips over the support foot (m)
    12.0,    // torso lean forward (deg)
    26.0,    // most turn per period on the spot (deg)
    // Stepping, the support foot carries the whole turn of a period round in
    // half of it and twists the body with it: at 26 deg the falls in games
    // came with fast turning; at 10 the robots fell less than half as often
    // per minute of walking.
    10.0,    // most turn per period while stepping (deg)
    0.4,     // joint gain
};

// Bearings (deg) and distance (m) that stop the steps and turn on the spot.
const double kTurnOnSpot = 45.0;
const double kArrived = 0.1;
// Periods over which a new gait grows to its full step and sway.
const int kRampPeriods = 2;
// The most the step (m) and the turn (deg) change from one period to the next.
const double kStepChange = 0.03;
const double kTurnChange = 15.0;

// Arms hang down by the sides, as in the other walks.
const Keyframe kGaitArms = {
    {"raj1", -90, 0.05}, {"laj1", -90, 0.05}, {"raj2", 0, 0.05}, {"laj2", 0, 0.05},
    {"raj3", 90, 0.05},  {"laj3", -90, 0.05}, {"raj4", 90, 0.02}, {"laj4", -90, 0.02},
};

struct Leg {
    const char* yaw;    // lj1
    const char* roll;   // lj2
    const char* hip;    // lj3
    const char* knee;   // lj4
    const char* ankle;  // lj5
    const char* foot;   // lj6
};
const Leg kLeft = {"llj1", "llj2", "llj3", "llj4", "llj5", "llj6"};
const Leg kRight = {"rlj1", "rlj2", "rlj3", "rlj4", "rlj5", "rlj6"};

// A foot's place at point `p` (0-1) of its own step: swinging forward in the
// first half, on the ground and moving back under the body in the second.
struct GaitFoot {
    double forward = 0.0;  // m, from under the hip
    double lift = 0.0;     // m
};

GaitFoot foot_at(double p, double step, double lift)
{
    GaitFoot f;
    p -= std::floor(p);
    if (p < 0.5) {
        // Swing: from behind to ahead, eased at both ends, lifted in between.
        const double u = p / 0.5;
        f.forward = -step / 2.0 + step * (1.0 - std::cos(kPi * u)) / 2.0;
        f.lift = lift * std::sin(kPi * u);
    } else {
        // Support: the foot stays on the ground and the body passes over it.
        const double u = (p - 0.5) / 0.5;
        f.forward = step / 2.0 - step * u;
        f.lift = 0.0;
    }
    return f;
}

}  // namespace

GaitAngles gait_leg_angles(double forward, double left, double height, double lean)
{
    GaitAngles a;
    const double roll = std::atan2(left, height);
    // The leg's length in its own plane once rolled.
    const double h = std::hypot(height, left);
    const double reach = std::min(std::hypot(forward, h), 0.999 * (kThigh + kShank));
    const double knee_cos = (kThigh * kThigh + kShank * kShank - reach * reach) / (2.0 * kThigh * kShank);
    const double bend = kPi - std::acos(std::max(-1.0, std::min(1.0, knee_cos)));
    const double hip_cos = (kThigh * kThigh + reach * reach - kShank * kShank) / (2.0 * kThigh * reach);
    const double thigh = std::atan2(forward, h) + std::acos(std::max(-1.0, std::min(1.0, hip_cos)));
    a.roll = roll * kDeg;
    a.hip = thigh * kDeg + lean;
    a.knee = -bend * kDeg;
    // Foot flat: the ankle undoes what hip and knee tilt the shank by.
    a.ankle = (bend - thigh) * kDeg;
    a.foot = -a.roll;
    return a;
}

const GaitShape& Tervalonaction::gait_shape() { return kGait; }

void Tervalonaction::gait()
{
    const double now = world_->current_status().time_;
    // A gait that did not run last cycle starts afresh, small. Without a
    // time (NaN) the periods just go on.
    const bool missed = std::isfinite(now) && !(now - gait_time_ <= 1.5 * kCycle);
    if (missed || action_state_ < 0 || action_state_ >= kGait.cycles) {
        gait_periods_ = 0;
        gait_step_ = 0.0;
        gait_turn_ = 0.0;
        action_state_ = 0;
    }
    if (std::isfinite(now)) gait_time_ = now;

    const double distance = goto_pos_.v_[0];
    const double bearing = goto_pos_.v_[1];
    // No target (NaN) turns nothing and steps on the spot.
    const bool turn_only = !(distance > kArrived) || std::fabs(bearing) >= kTurnOnSpot;

    // The first period only settles into the stance.
    const double ramp = std::min(1.0, static_cast<double>(gait_periods_) / kRampPeriods);
    if (action_state_ == 0) {
        // A step changes by little from one period to the next: the foot on
        // the ground would otherwise jerk the body.
        const double step = turn_only ? 0.0 : kGait.step * ramp;
        gait_step_ = std::max(gait_step_ - kStepChange, std::min(gait_step_ + kStepChange, step));
        const double most = turn_only ? kGait.turn : kGait.walk_turn;
        const double turn = std::isnan(bearing) ? 0.0 : std::max(-most, std::min(most, bearing));
        gait_turn_ = std::max(gait_turn_ - kTurnChange, std::min(gait_turn_ + kTurnChange, turn * ramp));
    }
    if (debug_flag_)
        std::cout << "gait() " << (gait_step_ > 0.0 ? "walk " : "turn ") << action_state_ << '\n';

    const double phase = static_cast<double>(action_state_ + kGait.lookahead) / kGait.cycles;
    const double sway = kGait.sway * ramp * std::sin(2.0 * kPi * phase);
    const struct {
        const Leg& leg;
        double offset;   // where in the period its swing starts
        double side;     // +1 left leg
    } legs[] = {{kLeft, 0.0, 1.0}, {kRight, 0.5, -1.0}};
    for (const auto& l : legs) {
        const double p = phase - l.offset;
        const GaitFoot f = foot_at(p, gait_step_, kGait.lift * ramp);
        const GaitAngles a = gait_leg_angles(f.forward, sway, kGait.height - f.lift, kGait.lean);
        // The leg on the side of the turn opens its toe while it swings and
        // closes it while it carries the body round: lj1 turns and pitches
        // together, the hip takes the pitch back.
        double yaw = 0.0;
        if (gait_turn_ * l.side > 0.0) {
            const double q = p - std::floor(p);
            const double open = q < 0.5 ? (1.0 - std::cos(2.0 * kPi * q)) / 2.0 : 2.0 * (1.0 - q);
            yaw = std::fabs(gait_turn_) * open;
        }
        const double lj1 = -std::atan(std::tan(yaw / kDeg) * std::sqrt(2.0)) * kDeg;
        set(l.leg.yaw, lj1, kGait.gain);
        set(l.leg.roll, a.roll, kGait.gain);
        set(l.leg.hip, a.hip - yaw, kGait.gain);
        set(l.leg.knee, a.knee, kGait.gain);
        set(l.leg.ankle, a.ankle, kGait.gain);
        set(l.leg.foot, a.foot, kGait.gain);
    }
    apply(kGaitArms);

    if (++action_state_ >= kGait.cycles) {
        action_state_ = 0;
        if (gait_periods_ < kRampPeriods) ++gait_periods_;
        action_end_ = true;
    }
}
