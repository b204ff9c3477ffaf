#include "worldmodel/landmarks.h"

#include <cmath>

#include "worldmodel/body_frame.h"

namespace {

typedef Worldmodel::TVector3 V;

const double kPi = 3.141592653589793;
const double kDeg = kPi / 180.0;

// What a perception is expected to be off by: distances to +-0.1 m (the
// server itself adds 0.1 % of the distance), angles to a fifth of a degree,
// and a fixed camera offset of some millimetres.
const double kDistanceSigma = 0.06;
const double kDistanceSigmaPerMetre = 0.001;
const double kAngleSigma = 0.2 * kDeg;
const double kCameraOffset = 0.01;
// The tilt comes from the accelerometer, which is off by a degree or two even
// at rest: it moves each landmark's elevation and so the height it gives.
const double kTiltSigma = 2.0 * kDeg;

// No landmark of any field is seen nearer or farther than this.
const double kMinRange = 0.05;
const double kMaxRange = 100.0;

// A fit leaving a residual beyond this many sigmas does not explain what was seen.
const double kMaxResidual = 5.0;
// Nor does one whose residuals together are beyond this many sigmas on average
// (squared, per measurement more than the pose needs).
const double kMaxChi2PerFreedom = 4.0;
// A fit whose expected error is beyond these is no answer.
const double kMaxPositionSigma = 1.5;
const double kMaxHeadingSigma = 6.0 * kDeg;
// Where a camera can be: a tilt that is far off (the accelerometer right
// after a beam or a bounce) puts it under the field or high above it, and
// with landmarks in a line a tilt upside down mirrors it off the field.
const double kFieldMargin = 5.0;
const double kMinHeight = -0.5;
const double kMaxHeight = 2.5;

const int kMaxIterations = 12;
const int kHopelessAfter = 3;
const double kHopelessChi2 = 200.0;  // per landmark: ten sigmas on each measurement

const int kMinToCheck = 3;
// More wrong perceptions than this in one message: no answer (and no time spent).
const int kMaxLeftOut = 2;
const double kStepDone = 1e-7;

// One landmark as the level frame sees it.
struct Sight {
    double fx, fy, fz;  // its place in the team frame
    double d;           // horizontal distance
    double bearing;     // radians, from the torso's forward axis laid flat
    double lz;          // its height over the camera
    double sd, sb, sz;  // expected errors of d, bearing and the camera height it gives
};

struct Fit {
    double x, y, th, z;
    double var_pos, var_th;  // expected squared errors
    double worst;            // largest residual, in sigmas
    double chi2;             // sum of the squared residuals, in sigmas
};

bool finite(const V& v) { return std::isfinite(v.v_[0]) && std::isfinite(v.v_[1]) && std::isfinite(v.v_[2]); }

bool usable(const V& p)
{
    return finite(p) && p.v_[0] >= kMinRange && p.v_[0] <= kMaxRange && std::fabs(p.v_[1]) <= 180.0 &&
           std::fabs(p.v_[2]) <= 90.0;
}

bool unit_up(const V& up, V& out)
{
    if (!finite(up)) return false;
    const double n = std::sqrt(up.v_[0] * up.v_[0] + up.v_[1] * up.v_[1] + up.v_[2] * up.v_[2]);
    if (!(n > 1e-3 && n < 1e3)) return false;
    out = V(up.v_[0] / n, up.v_[1] / n, up.v_[2] / n);
    return true;
}

double wrap(double a) { return std::remainder(a, 2.0 * kPi); }

// Rotation and shift that best lay the seen vectors onto the landmarks.
bool rigid_start(const Sight* s, int n, double& x, double& y, double& th)
{
    double lx = 0, ly = 0, fx = 0, fy = 0;
    for (int k = 0; k < n; ++k) {
        lx += s[k].d * std::cos(s[k].bearing);
        ly += s[k].d * std::sin(s[k].bearing);
        fx += s[k].fx;
        fy += s[k].fy;
    }
    lx /= n;
    ly /= n;
    fx /= n;
    fy /= n;
    double c = 0, sn = 0;
    for (int k = 0; k < n; ++k) {
        const double ax = s[k].d * std::cos(s[k].bearing) - lx, ay = s[k].d * std::sin(s[k].bearing) - ly;
        const double bx = s[k].fx - fx, by = s[k].fy - fy;
        c += ax * bx + ay * by;
        sn += ax * by - ay * bx;
    }
    if (!(std::hypot(c, sn) > 1e-9)) return false;
    th = std::atan2(sn, c);
    x = fx - (std::cos(th) * lx - std::sin(th) * ly);
    y = fy - (std::sin(th) * lx + std::cos(th) * ly);
    return std::isfinite(x) && std::isfinite(y);
}

// Inverse of a symmetric 3x3 matrix; false when it has none worth the name.
bool invert(const double a[3][3], double inv[3][3])
{
    inv[0][0] = a[1][1] * a[2][2] - a[1][2] * a[2][1];
    inv[0][1] = a[0][2] * a[2][1] - a[0][1] * a[2][2];
    inv[0][2] = a[0][1] * a[1][2] - a[0][2] * a[1][1];
    inv[1][1] = a[0][0] * a[2][2] - a[0][2] * a[2][0];
    inv[1][2] = a[0][2] * a[1][0] - a[0][0] * a[1][2];
    inv[2][2] = a[0][0] * a[1][1] - a[0][1] * a[1][0];
    const double det = a[0][0] * inv[0][0] + a[0][1] * inv[0][1] + a[0][2] * inv[0][2];
    const double scale = a[0][0] * a[1][1] * a[2][2];
    if (!std::isfinite(det) || !(det > 1e-12 * scale) || !(scale > 0)) return false;
    inv[1][0] = inv[0][1];
    inv[2][0] = inv[0][2];
    inv[2][1] = inv[1][2];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            inv[i][j] /= det;
            if (!std::isfinite(inv[i][j])) return false;
        }
    }
    return inv[0][0] > 0 && inv[1][1] > 0 && inv[2][2] > 0;
}

// Gauss-Newton on the distance and bearing residuals, each in its own
// sigmas, from the pose in f. False when the normal equations break down.
bool refine(const Sight* s, int n, Fit& f)
{
    double inv[3][3];
    bool settled = false;
    for (int it = 0; it <= kMaxIterations; ++it) {
        double h[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
        double g[3] = {0, 0, 0};
        f.worst = 0;
        f.chi2 = 0;
        for (int k = 0; k < n; ++k) {
            const double dx = s[k].fx - f.x, dy = s[k].fy - f.y;
            const double rho2 = dx * dx + dy * dy;
            if (!(rho2 > 1e-12)) return false;
            const double rho = std::sqrt(rho2);
            const double rd = (s[k].d - rho) / s[k].sd;
            const double rb = wrap(s[k].bearing - (std::atan2(dy, dx) - f.th)) / s[k].sb;
            const double jd[3] = {-dx / rho / s[k].sd, -dy / rho / s[k].sd, 0.0};
            const double jb[3] = {dy / rho2 / s[k].sb, -dx / rho2 / s[k].sb, -1.0 / s[k].sb};
            for (int i = 0; i < 3; ++i) {
                g[i] += jd[i] * rd + jb[i] * rb;
                for (int j = 0; j < 3; ++j) h[i][j] += jd[i] * jd[j] + jb[i] * jb[j];
            }
            f.chi2 += rd * rd + rb * rb;
            f.worst = std::fmax(f.worst, std::fmax(std::fabs(rd), std::fabs(rb)));
        }
        if (!std::isfinite(f.worst) || !invert(h, inv)) return false;
        if (settled) break;
        // Still this far from explaining anything: it will not come to.
        if (it >= kHopelessAfter && f.chi2 > kHopelessChi2 * n) break;
        double step[3];
        for (int i = 0; i < 3; ++i) step[i] = inv[i][0] * g[0] + inv[i][1] * g[1] + inv[i][2] * g[2];
        f.x += step[0];
        f.y += step[1];
        f.th = wrap(f.th + step[2]);
        if (!std::isfinite(f.x) || !std::isfinite(f.y) || !std::isfinite(f.th)) return false;
        settled = std::fabs(step[0]) + std::fabs(step[1]) + std::fabs(step[2]) < kStepDone;
    }
    // Not settled within the iterations: as if it explained nothing.
    if (!settled) f.worst = kMaxResidual * 2.0;
    f.var_pos = inv[0][0] + inv[1][1];
    f.var_th = inv[2][2];
    return true;
}

// The pose that best explains the sights, the camera height and how well
// both explain them. False when there is no pose to speak of.
bool evaluate(const Sight* s, int n, Fit& f)
{
    if (n < 2 || !rigid_start(s, n, f.x, f.y, f.th) || !refine(s, n, f)) return false;
    // Every landmark gives the camera height on its own: they must agree too.
    double wz = 0;
    f.z = 0;
    for (int k = 0; k < n; ++k) {
        const double w = 1.0 / (s[k].sz * s[k].sz);
        f.z += w * (s[k].fz - s[k].lz);
        wz += w;
    }
    f.z /= wz;
    for (int k = 0; k < n; ++k) {
        const double rz = (s[k].fz - s[k].lz - f.z) / s[k].sz;
        f.chi2 += rz * rz;
        f.worst = std::fmax(f.worst, std::fabs(rz));
    }
    return std::isfinite(f.z) && std::isfinite(f.chi2);
}

bool explains(const Fit& f, int n)
{
    // Measurements beyond the pose: two per landmark for x, y and heading, one for the height.
    return f.worst <= kMaxResidual && f.chi2 <= kMaxChi2PerFreedom * (3 * n - 4);
}

}  // namespace

bool locate_from_landmarks(const FieldGeometry& field, bool left_side, const V polar[kLandmarkCount],
                           unsigned seen, double hj1, double hj2, const V& torso_up, V& position,
                           double& direction, double* sigma, bool leave_out)
{
    V up;
    if (!std::isfinite(hj1) || !std::isfinite(hj2) || !unit_up(torso_up, up)) return false;
    const double side = left_side ? 1.0 : -1.0;

    Sight s[kLandmarkCount];
    int n = 0;
    for (int k = 0; k < kLandmarkCount; ++k) {
        if (!(seen & (1u << k)) || !usable(polar[k])) continue;
        const V l = to_level(camera_to_torso(polar2xyz(polar[k]), hj1, hj2), up);
        if (!finite(l)) continue;
        const double r = polar[k].v_[0];
        Sight& t = s[n];
        t.fx = side * field.landmarks[k].x;
        t.fy = side * field.landmarks[k].y;
        t.fz = field.landmarks[k].z;
        t.d = std::hypot(l.v_[0], l.v_[1]);
        t.bearing = std::atan2(l.v_[1], l.v_[0]);
        t.lz = l.v_[2];
        const double across = std::hypot(kAngleSigma * r, kCameraOffset);
        const double sd = kDistanceSigma + kDistanceSigmaPerMetre * r;
        t.sd = sd;
        t.sb = across / std::fmax(t.d, 1e-3);
        t.sz = std::hypot(std::hypot(across, sd * t.lz / r), kTiltSigma * r);
        if (std::isfinite(t.d) && std::isfinite(t.bearing) && std::isfinite(t.lz)) ++n;
    }

    Fit f = Fit();
    if (!evaluate(s, n, f)) return false;
    for (int left_out = 0; !explains(f, n); ++left_out) {
        // A perception that does not fit the others: leave out the one whose
        // absence explains the rest best, as long as three remain to check each
        // other (two can hide a wrong distance).
        if (!leave_out || n <= kMinToCheck || left_out == kMaxLeftOut) return false;
        int drop = -1;
        Fit best = Fit();
        for (int j = 0; j < n; ++j) {
            Sight rest[kLandmarkCount];
            for (int k = 0, m = 0; k < n; ++k) {
                if (k != j) rest[m++] = s[k];
            }
            Fit g = Fit();
            if (evaluate(rest, n - 1, g) && (drop < 0 || g.chi2 < best.chi2)) {
                drop = j;
                best = g;
            }
        }
        if (drop < 0) return false;
        s[drop] = s[n - 1];
        --n;
        f = best;
    }
    if (!(f.var_pos <= kMaxPositionSigma * kMaxPositionSigma) ||
        !(f.var_th <= kMaxHeadingSigma * kMaxHeadingSigma)) {
        return false;
    }

    const double heading = f.th / kDeg;
    if (!(f.z >= kMinHeight && f.z <= kMaxHeight) || !std::isfinite(heading) ||
        !(std::fabs(f.x) <= field.half_length + kFieldMargin) ||
        !(std::fabs(f.y) <= field.half_width + kFieldMargin)) {
        return false;
    }
    position = V(f.x, f.y, f.z);
    direction = heading;
    if (sigma) *sigma = std::sqrt(f.var_pos / 2.0);
    return true;
}

V seen_to_field(const V& polar, double hj1, double hj2, const V& torso_up, const V& position, double direction)
{
    V up;
    if (!finite(polar) || !std::isfinite(hj1) || !std::isfinite(hj2) || !std::isfinite(direction) ||
        !unit_up(torso_up, up)) {
        return finite(position) ? position : V();
    }
    const V l = to_level(camera_to_torso(polar2xyz(polar), hj1, hj2), up);
    const double c = std::cos(direction * kDeg), sn = std::sin(direction * kDeg);
    const V out(position.v_[0] + c * l.v_[0] - sn * l.v_[1], position.v_[1] + sn * l.v_[0] + c * l.v_[1],
                position.v_[2] + l.v_[2]);
    if (finite(out)) return out;
    return finite(position) ? position : V();
}
