#include "worldmodel/pose_filter.h"

#include <cmath>

namespace {

// How briskly a robot may change its pace (m/s^2): starting, stopping and
// turning with the gait, and the sway of its steps.
const double kAcceleration = 1.0;
// No robot walks faster than this (m/s).
const double kTopSpeed = 1.0;
// A fix further than this many sigmas (both axes together) is an outlier.
const double kGate = 3.0;
const int kOutliersToRestart = 3;
// The fit's own sigma is seldom below this: camera offset and the sway.
const double kLeastSigma = 0.03;
const double kCycle = 0.02;
// A gap in time this long: whatever the robot did meanwhile is unknown.
const double kLongGap = 2.0;
const double kStartSpeedVariance = 0.25;

}  // namespace

void PoseFilter::predict(double time)
{
    if (!std::isfinite(time)) {
        time = time_ + kCycle;
    } else if (!timed_) {
        timed_ = true;
        time_ = time;
        return;
    }
    const double dt = time - time_;
    time_ = time;
    if (!(dt >= 0.0) || dt > kLongGap) {
        ready_ = false;
        return;
    }
    const double q = kAcceleration * kAcceleration;
    for (Axis& a : axis_) {
        a.p += a.v * dt;
        a.pp += dt * (2.0 * a.pv + dt * a.vv) + q * dt * dt * dt * dt / 4.0;
        a.pv += dt * a.vv + q * dt * dt * dt / 2.0;
        a.vv += q * dt * dt;
    }
}

bool PoseFilter::update(double x, double y, double sigma)
{
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    const double s = std::isfinite(sigma) && sigma > kLeastSigma ? sigma : kLeastSigma;
    const double r = s * s;
    if (!ready_) {
        reset(x, y, r);
        return true;
    }
    const double z[2] = {x, y};
    double d2 = 0.0;
    for (int k = 0; k < 2; ++k) {
        const double e = z[k] - axis_[k].p;
        d2 += e * e / (axis_[k].pp + r);
    }
    if (!(d2 <= kGate * kGate)) {
        if (++left_out_ >= kOutliersToRestart) {
            reset(x, y, r);
            return true;
        }
        return false;
    }
    left_out_ = 0;
    for (int k = 0; k < 2; ++k) {
        Axis& a = axis_[k];
        const double e = z[k] - a.p;
        const double sum = a.pp + r;
        const double kp = a.pp / sum, kv = a.pv / sum;
        a.p += kp * e;
        a.v += kv * e;
        a.v = a.v > kTopSpeed ? kTopSpeed : (a.v < -kTopSpeed ? -kTopSpeed : a.v);
        a.vv -= kv * a.pv;
        a.pv -= kp * a.pv;
        a.pp -= kp * a.pp;
    }
    return true;
}

void PoseFilter::reset(double x, double y, double r)
{
    const double z[2] = {x, y};
    for (int k = 0; k < 2; ++k) axis_[k] = Axis{z[k], 0.0, r, 0.0, kStartSpeedVariance};
    ready_ = true;
    left_out_ = 0;
}
