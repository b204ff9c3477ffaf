#include "worldmodel/worldmodel.h"

#include <algorithm>
#include <cmath>

#include <boost/numeric/ublas/vector.hpp>

#include "worldmodel/body_frame.h"

namespace {

namespace ublas = boost::numeric::ublas;
typedef ublas::c_vector<double, 3> Vec;
typedef Worldmodel::TVector3 TVector3;

const double kPi = 3.141592653589793;

// Corner flags sit on the goal lines, x = -6 and x = +6 in the team frame.
const double kFlagX[4] = {-6.0, 6.0, -6.0, 6.0};

// The corner flags in the roles R1 … R4 for each side: the right side's team
// frame is the field turned half round.
const char* const kLeftFlags[4] = {"F1L", "F1R", "F2L", "F2R"};
const char* const kRightFlags[4] = {"F2R", "F2L", "F1R", "F1L"};

// Flags closer together than this cannot be told apart: no base to measure along.
const double kMinBase = 1e-6;

// One corner flag as this snapshot holds it.
struct Reference {
    bool seen;
    double r;
    double theta;
    Vec p;  // camera frame
};

bool finite(const TVector3& v)
{
    return std::isfinite(v.v_[0]) && std::isfinite(v.v_[1]) && std::isfinite(v.v_[2]);
}

Vec to_vec(const TVector3& v)
{
    Vec out;
    out(0) = v.v_[0];
    out(1) = v.v_[1];
    out(2) = v.v_[2];
    return out;
}

Reference reference(Worldmodel::TStatus& s, const char* name)
{
    const TVector3& polar = s.flag_[name];
    Reference f;
    f.r = polar.v_[0];
    f.theta = polar.v_[1];
    // A flag never seen in this slot reads (0, 0, 0), one seen in an older
    // message is no perception of now, and angles out of range are none either.
    const int index = landmark_index(name, 3);
    f.seen = (index < 0 || s.fresh(1u << index)) && finite(polar) && f.r > 0.0 &&
             std::fabs(f.theta) <= 180.0 && std::fabs(polar.v_[2]) <= 90.0;
    f.p = to_vec(polar2xyz(polar));
    return f;
}

// Trilateration from three corners: a and b share the +y edge (a at x = -6),
// c lies below a. Gives the camera's x, y and height relative to the field
// centre, and the field's up axis in the camera frame (zax_ok says whether
// that could be normalised).
bool trilaterate(const Reference& a, const Reference& b, const Reference& c,
                 TVector3& position, TVector3& zax, bool& zax_ok)
{
    const Vec ab = b.p - a.p;
    const Vec ca = a.p - c.p;
    const double d1 = ublas::norm_2(ab);
    const double d2 = ublas::norm_2(ca);
    zax_ok = false;
    if (!std::isfinite(d1) || !std::isfinite(d2) || d1 < kMinBase || d2 < kMinBase) {
        return false;
    }
    const Vec u = ab / d1;
    const Vec v = ca / d2;

    Vec n;
    n(0) = u(1) * v(2) - u(2) * v(1);
    n(1) = u(2) * v(0) - u(0) * v(2);
    n(2) = u(0) * v(1) - u(1) * v(0);
    const double nn = ublas::norm_2(n);
    if (std::isfinite(nn) && nn > kMinBase) {
        zax = TVector3(n(0) / nn, n(1) / nn, n(2) / nn);
        zax_ok = finite(zax);
    }

    const double along_u = (d1 * d1 + a.r * a.r - b.r * b.r) / (2.0 * d1);
    const double along_v = (d2 * d2 - a.r * a.r + c.r * c.r) / (2.0 * d2);
    const Vec foot = c.p + along_u * u + along_v * v;
    position = TVector3(along_u - 0.5 * d1, along_v - 0.5 * d2, ublas::norm_2(foot));
    return finite(position);
}

// The flag's bearing in the team frame (positive for the +y flags) less the
// angle at which the camera sees it: one estimate of the heading, 0 … 360.
double heading_term(const Reference& f, int role, double x)
{
    const double c = std::max(-1.0, std::min(1.0, (kFlagX[role] - x) / f.r));
    const double bearing = std::acos(c) * 180.0 / kPi;
    if (role < 2) {
        return check_signed(check_theta(bearing - f.theta));
    }
    return check_signed(-check_theta(bearing + f.theta));
}

// Field place of something seen from the camera: only the perception's part
// along the ground counts, so the tilt (the field's up axis in the camera
// frame) first turns it level; the third component is the camera height.
TVector3 seen_on_ground(const TVector3& polar, const Worldmodel::TStatus& s)
{
    const TVector3 level = to_level(polar2xyz(polar), s.zax_);
    const double h = s.direction_ * kPi / 180.0;
    const double c = std::cos(h);
    const double n = std::sin(h);
    return TVector3(s.position_.v_[0] + c * level.v_[0] - n * level.v_[1],
                    s.position_.v_[1] + n * level.v_[0] + c * level.v_[1], s.position_.v_[2]);
}

// Every number from 1 up to the highest one seen gets a field position;
// numbers never perceived in this slot are filled in at (0, 0, 0) and so
// land on the robot itself. Numbers below 1 are no robots and get none.
void place_team(std::map<int, TVector3>& seen, std::map<std::string, std::map<int, TVector3> >& xyz,
                const char* key, const Worldmodel::TStatus& s)
{
    if (seen.empty() || seen.rbegin()->first < 1) {
        return;
    }
    const int last = seen.rbegin()->first;
    std::map<int, TVector3>& out = xyz[key];
    for (int n = 1; n <= last; ++n) {
        const TVector3& p = seen[n];
        const TVector3 field = p.v_[0] > 0.0 ? seen_on_ground(p, s) : s.position_;
        out[n] = finite(field) ? field : s.position_;
    }
}

}  // namespace

Worldmodel::TVector3 polar2xyz(Worldmodel::TVector3 p)
{
    const double r = p.v_[0];
    const double h = p.v_[1] * kPi / 180.0;
    const double e = p.v_[2] * kPi / 180.0;
    return Worldmodel::TVector3(r * std::cos(e) * std::cos(h), r * std::cos(e) * std::sin(h),
                                r * std::sin(e));
}

double check_theta(double t)
{
    if (t > 180.0) {
        return t - 360.0;
    }
    if (t < -180.0) {
        return t + 360.0;
    }
    return t;
}

double check_signed(double t)
{
    if (t < 0.0) {
        return t + 360.0;
    }
    return t;
}

namespace {

double joint_angle(const Worldmodel::TStatus& s, const char* name)
{
    const std::map<std::string, double>::const_iterator it = s.hj_.find(name);
    return it == s.hj_.end() ? 0.0 : it->second;
}

// The camera's tilt with the neck taken out: the fall detector must judge the
// body, not where the head happens to look.
TVector3 torso_up(const Worldmodel::TStatus& s)
{
    const TVector3 t = camera_to_torso(s.zax_, joint_angle(s, "hj1"), joint_angle(s, "hj2"));
    return finite(t) ? t : s.torso_up_;
}

// The one algorithm of both sides; names[k] is the flag in role R(k+1):
// R1 (-6, +w), R2 (+6, +w), R3 (-6, -w), R4 (+6, -w).
void localise(Worldmodel::TStatus& s, const char* const names[4])
{
    Reference f[4];
    for (int k = 0; k < 4; ++k) {
        f[k] = reference(s, names[k]);
    }

    // R1, R2, R3 as the corner triple whenever they are seen. With one of them
    // missing the three flags that are seen form the same corner shape in the
    // field mirrored along x, along y or both, and the result is mirrored back.
    int a = 0, b = 1, c = 2;
    double sx = 1.0, sy = 1.0;
    if (!(f[0].seen && f[1].seen && f[2].seen) && f[3].seen) {
        if (f[0].seen && f[1].seen) {
            a = 1; b = 0; c = 3; sx = -1.0;
        } else if (f[2].seen && f[0].seen) {
            a = 2; b = 3; c = 0; sy = -1.0;
        } else if (f[1].seen && f[2].seen) {
            a = 3; b = 2; c = 1; sx = -1.0; sy = -1.0;
        }
    }
    if (f[a].seen && f[b].seen && f[c].seen) {
        TVector3 position, zax;
        bool zax_ok = false;
        if (trilaterate(f[a], f[b], f[c], position, zax, zax_ok)) {
            s.position_ = TVector3(sx * position.v_[0], sy * position.v_[1], position.v_[2]);
        }
        if (zax_ok) {
            const double turn = sx * sy;
            s.zax_ = TVector3(turn * zax.v_[0], turn * zax.v_[1], turn * zax.v_[2]);
            s.torso_up_ = torso_up(s);
        }
    }

    // Heading: the mean of the estimates of the flags seen. When the first
    // estimate is near the 0/360 seam all are shifted by 90 degrees before
    // averaging and shifted back after, so that 359 and 1 do not average to 180.
    const double x = s.position_.v_[0];
    int count = 0;
    double offset = 0.0;
    double sum = 0.0;
    for (int k = 0; k < 4; ++k) {
        if (!f[k].seen) {
            continue;
        }
        double t = heading_term(f[k], k, x);
        if (count == 0 && (t <= 40.0 || t >= 320.0)) {
            offset = 90.0;
        }
        t += offset;
        if (t >= 360.0) {
            t -= 360.0;
        }
        sum += t;
        ++count;
    }
    if (count > 0) {
        s.direction_ = check_theta(sum / count - offset);
    }

    // Ball and players, where this message saw them.
    if (s.fresh(Worldmodel::TStatus::FRESH_BALL) && finite(s.ball_)) {
        const TVector3 ball = seen_on_ground(s.ball_, s);
        if (finite(ball)) {
            s.ball_xyz_ = ball;
        }
    }
    if (!s.player_.empty() && s.fresh(Worldmodel::TStatus::FRESH_PLAYERS)) {
        place_team(s.player_["mate"], s.player_xyz_, "mate", s);
        std::map<std::string, std::map<int, TVector3> >::iterator opp = s.player_.find("opp");
        if (opp != s.player_.end()) {
            place_team(opp->second, s.player_xyz_, "opp", s);
        }
    }
}

}  // namespace

void Worldmodel::TStatus::calc_position()
{
    localise(*this, kLeftFlags);
}

void Worldmodel::TStatus::calc_position_opp()
{
    localise(*this, kRightFlags);
}
