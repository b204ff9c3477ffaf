#include "worldmodel/body_frame.h"

#include <cmath>

namespace {

const double kDeg = 3.141592653589793 / 180.0;

double dot(const BodyVector& a, const BodyVector& b)
{
    return a.v_[0] * b.v_[0] + a.v_[1] * b.v_[1] + a.v_[2] * b.v_[2];
}

BodyVector cross(const BodyVector& a, const BodyVector& b)
{
    return BodyVector(a.v_[1] * b.v_[2] - a.v_[2] * b.v_[1], a.v_[2] * b.v_[0] - a.v_[0] * b.v_[2],
                      a.v_[0] * b.v_[1] - a.v_[1] * b.v_[0]);
}

// The part of `axis` across `up`, made unit; false when it is shorter than
// `least` (the axis stands too steep to say where it points).
bool flatten(const BodyVector& axis, const BodyVector& up, double least, BodyVector& out)
{
    const double along = dot(axis, up);
    BodyVector f(axis.v_[0] - along * up.v_[0], axis.v_[1] - along * up.v_[1], axis.v_[2] - along * up.v_[2]);
    const double n = std::sqrt(dot(f, f));
    if (!(n > least)) return false;
    out = BodyVector(f.v_[0] / n, f.v_[1] / n, f.v_[2] / n);
    return true;
}

}  // namespace

BodyVector camera_to_torso(const BodyVector& c, double hj1_deg, double hj2_deg)
{
    const double q = hj2_deg * kDeg;
    const double y = hj1_deg * kDeg;
    // Undo the pitch, then the yaw.
    const double px = c.v_[0] * std::cos(q) - c.v_[2] * std::sin(q);
    const double pz = c.v_[0] * std::sin(q) + c.v_[2] * std::cos(q);
    const double py = c.v_[1];
    return BodyVector(px * std::cos(y) - py * std::sin(y), px * std::sin(y) + py * std::cos(y), pz);
}

BodyVector torso_to_camera(const BodyVector& t, double hj1_deg, double hj2_deg)
{
    const double q = hj2_deg * kDeg;
    const double y = hj1_deg * kDeg;
    const double px = t.v_[0] * std::cos(y) + t.v_[1] * std::sin(y);
    const double py = -t.v_[0] * std::sin(y) + t.v_[1] * std::cos(y);
    const double pz = t.v_[2];
    return BodyVector(px * std::cos(q) + pz * std::sin(q), py, -px * std::sin(q) + pz * std::cos(q));
}

BodyVector to_level(const BodyVector& v, const BodyVector& up)
{
    BodyVector forward, left;
    // Within about 6 degrees of vertical (lying flat) the forward axis turns
    // wildly with small tilts: the side axis is steadier then.
    if (flatten(BodyVector(1.0, 0.0, 0.0), up, 0.1, forward)) {
        left = cross(up, forward);
    } else if (flatten(BodyVector(0.0, 1.0, 0.0), up, 1e-6, left)) {
        forward = cross(left, up);
    } else {
        return v;  // no usable up axis: take the frame as level
    }
    return BodyVector(dot(v, forward), dot(v, left), dot(v, up));
}

bool up_from_accelerometer(const BodyVector& a, BodyVector& up)
{
    // Server axes (right, forward, up) -> ours (forward, left, up).
    const BodyVector t(a.v_[1], -a.v_[0], a.v_[2]);
    const double n = std::sqrt(dot(t, t));
    if (!std::isfinite(n) || n < 1e-3) return false;
    up = BodyVector(t.v_[0] / n, t.v_[1] / n, t.v_[2] / n);
    return true;
}
