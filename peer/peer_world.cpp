#include "peer/peer_world.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace peer {

namespace {

const double PI = 3.141592653589793;
const double DEG = PI / 180.0;

// Leg lengths (m) of the walk model.
const double THIGH = 0.1;
const double SHIN = 0.1029;
// How much of a hip yaw turns the body (see move_by_legs).
const double STANCE_YAW_SHARE = 0.27;
const double SWING_YAW_SHARE = 0.08;
// A leg whose knee is bent this much more than the other's is in the air.
const double LIFT_MARGIN = 10.0;
const double LIFT_SPEED = 1.0;  // rad/s of knee bending that lifts a foot
// A step whose knee never got this much more bent than the other's (degrees)
// leaves the foot on the ground (see move_by_legs); below MIN_STEP_DEPTH it is
// no step at all (a stance settling).
const double SHUFFLE_DEPTH = 24.0;
const double MIN_STEP_DEPTH = 5.0;
// A step that raised the foot this much (m) above the other one cleared the
// ground however little its knee bent: the parametric gait lifts the ankle
// with hip, knee and ankle together.
const double CLEAR_RISE = 0.02;
// The body moves a little further than the legs' geometry says (push-off):
// a straight walk makes 0.25 m/s and the back walk 0.09 m/s, as on the real robot.
const double STRIDE_GAIN = 1.3;
const double HIP_YAW_MIN = -90.0;
const double HIP_YAW_MAX = 1.0;

// The feet's footprint around the camera's ground point (m): the toes sit
// where a centred ball touches them 0.15 m ahead of the camera; two feet
// side by side span 0.19 m.
const double TOES_AHEAD = 0.15 - BALL_RADIUS;
const double HEELS_BEHIND = 0.15;
const double FEET_HALF_WIDTH = 0.095;

const double FALL_TIME = 0.3;  // s to fall over, to come up again, or to roll over
const double LYING_CAMERA = 0.1;

// Where the camera sits on the torso, along its forward and up axes (m).
const double CAMERA_AHEAD = 0.045;
const double CAMERA_ABOVE = 0.15;
const double HALF_VIEW = 60.0;  // degrees either side of the camera's axis

double finite_or_zero(double v) { return std::isfinite(v) ? v : 0.0; }

double wrap180(double a)
{
    while (a > 180.0) a -= 360.0;
    while (a <= -180.0) a += 360.0;
    return a;
}

double dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// c = ca * a + cb * b
void mix(double ca, const double a[3], double cb, const double b[3], double c[3])
{
    for (int i = 0; i < 3; ++i) c[i] = ca * a[i] + cb * b[i];
}

void append_number(std::string& out, double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    out += buf;
}

// The polar triple of a seen object and the closing of its item.
void append_pol(std::string& out, double d, double h, double v)
{
    append_number(out, d);
    out += ' ';
    append_number(out, h);
    out += ' ';
    append_number(out, v);
    out += "))";
}

// A JSON number rounded to the given decimals, written as short as it goes
// but always with a decimal point ("0.0", "-5.4878").
void append_json(std::string& out, double v, int decimals)
{
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string s = buf;
    std::string::size_type dot_at = s.find('.');
    if (dot_at != std::string::npos) {
        std::string::size_type last = s.find_last_not_of('0');
        if (last == dot_at) last = dot_at + 1;
        s.erase(last + 1);
    }
    if (s == "-0.0") s = "0.0";
    out += s;
}

void append_hinge(std::string& out, const Robot& r, const std::string& joint)
{
    out += "(HJ (n " + joint + ") (ax ";
    append_number(out, r.angle.at(joint));
    out += "))";
}

// Foot pressure of one foot (0 right, 1 left), when it is on the ground.
void append_foot(std::string& out, const Robot& r, int i)
{
    static const char* const foot[2] = {"rf", "lf"};
    const int n = (r.planted[0] ? 1 : 0) + (r.planted[1] ? 1 : 0);
    if (r.upright != Upright::standing || !r.planted[i] || n == 0) return;
    out += "(FRP (n ";
    out += foot[i];
    out += ") (c 0.000 0.000 -0.020) (f 0.000 0.000 ";
    append_number(out, 45.0 / n);
    out += "))";
}

// Starts a change of the torso's lean that ends in the given state.
void begin_lean(Robot& r, Upright during, double tilt_to, double roll_to, double now)
{
    r.upright = during;
    r.swung = false;
    r.tilt_from = r.tilt;
    r.tilt_to = tilt_to;
    r.roll_from = r.roll;
    r.roll_to = roll_to;
    r.tilt_start = now;
}

}  // namespace

const std::vector<std::string>& joint_names()
{
    static const std::vector<std::string> names = {
        "hj1", "hj2", "raj1", "raj2", "raj3", "raj4", "laj1", "laj2", "laj3", "laj4", "rlj1",
        "rlj2", "rlj3", "rlj4", "rlj5", "rlj6", "llj1", "llj2", "llj3", "llj4", "llj5", "llj6"};
    return names;
}

std::string joint_of_effector(const std::string& effector)
{
    std::string::size_type e = effector.find('e');
    if (e == std::string::npos) return std::string();
    std::string joint = effector;
    joint[e] = 'j';
    for (const std::string& n : joint_names())
        if (n == joint) return joint;
    return std::string();
}

Robot::Robot()
{
    for (const std::string& n : joint_names()) {
        angle[n] = 0.0;
        speed[n] = 0.0;
    }
}

Pose team_to_global(const Pose& p, bool left)
{
    if (left) return p;
    Pose g;
    g.x = -p.x;
    g.y = -p.y;
    g.heading = wrap180(p.heading + 180.0);
    return g;
}

Pose global_to_team(const Pose& p, bool left) { return team_to_global(p, left); }

const Field& field(bool today)
{
    // Corner flags on the ground, goal posts at the height of the crossbar.
    static const Field classic = {6.0, 4.0, 0.7,
                                  {{"F1L", -6.0, 4.0, 0.0},
                                   {"F2L", -6.0, -4.0, 0.0},
                                   {"F1R", 6.0, 4.0, 0.0},
                                   {"F2R", 6.0, -4.0, 0.0},
                                   {"G1L", -6.0, 0.7, 0.8},
                                   {"G2L", -6.0, -0.7, 0.8},
                                   {"G1R", 6.0, 0.7, 0.8},
                                   {"G2R", 6.0, -0.7, 0.8}}};
    static const Field current = {15.0, 10.0, 1.05,
                                  {{"F1L", -15.0, 10.0, 0.0},
                                   {"F2L", -15.0, -10.0, 0.0},
                                   {"F1R", 15.0, 10.0, 0.0},
                                   {"F2R", 15.0, -10.0, 0.0},
                                   {"G1L", -15.0, 1.05, 0.8},
                                   {"G2L", -15.0, -1.05, 0.8},
                                   {"G1R", 15.0, 1.05, 0.8},
                                   {"G2R", 15.0, -1.05, 0.8}}};
    return today ? current : classic;
}

const std::vector<Landmark>& landmarks() { return field(false).marks; }

Axes torso_axes(const Robot& r)
{
    const double h = r.pose.heading * DEG, t = r.tilt * DEG, q = r.roll * DEG;
    const double f0[3] = {std::cos(h), std::sin(h), 0.0};
    const double l0[3] = {-std::sin(h), std::cos(h), 0.0};
    const double u0[3] = {0.0, 0.0, 1.0};
    Axes a;
    // Lean forward about the left axis, then to the right about the forward axis.
    double u1[3];
    mix(std::cos(t), f0, -std::sin(t), u0, a.f);
    mix(std::cos(t), u0, std::sin(t), f0, u1);
    mix(std::cos(q), u1, -std::sin(q), l0, a.u);
    mix(std::cos(q), l0, std::sin(q), u1, a.l);
    return a;
}

Axes camera_axes(const Robot& r)
{
    const Axes t = torso_axes(r);
    const double yaw = r.angle.at("hj1") * DEG, up = r.angle.at("hj2") * DEG;
    double f1[3];
    Axes c;
    mix(std::cos(yaw), t.f, std::sin(yaw), t.l, f1);
    mix(-std::sin(yaw), t.f, std::cos(yaw), t.l, c.l);
    mix(std::cos(up), f1, std::sin(up), t.u, c.f);
    mix(std::cos(up), t.u, -std::sin(up), f1, c.u);
    return c;
}

void accelerometer(const Robot& r, double a[3])
{
    const Axes t = torso_axes(r);
    // Adding 0.0 turns a negative zero into a plain one for the printed text.
    a[0] = -t.l[2] * GRAVITY + 0.0;
    a[1] = t.f[2] * GRAVITY + 0.0;
    a[2] = t.u[2] * GRAVITY + 0.0;
}

void torso_position(const Robot& r, double p[3])
{
    const Axes t = torso_axes(r);
    const double cam[3] = {r.pose.x, r.pose.y, r.camera_height};
    for (int i = 0; i < 3; ++i) p[i] = cam[i] - CAMERA_AHEAD * t.f[i] - CAMERA_ABOVE * t.u[i];
}

void polar_from_camera(const Robot& r, double px, double py, double pz, double& dist, double& hor,
                       double& ver)
{
    const Axes c = camera_axes(r);
    const double v[3] = {px - r.pose.x, py - r.pose.y, pz - r.camera_height};
    const double cx = dot(v, c.f), cy = dot(v, c.l), cz = dot(v, c.u);
    dist = std::sqrt(cx * cx + cy * cy + cz * cz);
    hor = std::atan2(cy, cx) / DEG;
    ver = dist > 0.0 ? std::asin(std::max(-1.0, std::min(1.0, cz / dist))) / DEG : 0.0;
}

bool in_view_cone(double hor, double ver) { return std::fabs(hor) <= HALF_VIEW && std::fabs(ver) <= HALF_VIEW; }

std::vector<BodyPart> body_parts(const Robot& r)
{
    // Offsets from the torso centre along its right, forward and up axes (m).
    const double foot_drop = -(r.camera_height_standing - CAMERA_ABOVE - 0.02);
    static const char* const names[5] = {"head", "rlowerarm", "llowerarm", "rfoot", "lfoot"};
    const double offset[5][3] = {{0.0, CAMERA_AHEAD, CAMERA_ABOVE},
                                 {0.098, 0.05, 0.0},
                                 {-0.098, 0.05, 0.0},
                                 {0.055, 0.0, foot_drop},
                                 {-0.055, 0.0, foot_drop}};
    const Axes t = torso_axes(r);
    double torso[3];
    torso_position(r, torso);
    std::vector<BodyPart> parts;
    for (int k = 0; k < 5; ++k) {
        double p[3];
        for (int i = 0; i < 3; ++i)
            p[i] = torso[i] - offset[k][0] * t.l[i] + offset[k][1] * t.f[i] + offset[k][2] * t.u[i];
        parts.push_back(BodyPart{names[k], p[0], p[1], p[2]});
    }
    return parts;
}

void integrate_joints(Robot& r)
{
    for (auto& j : r.angle) {
        double v = finite_or_zero(r.speed[j.first]);
        if (v > MAX_JOINT_SPEED) v = MAX_JOINT_SPEED;
        if (v < -MAX_JOINT_SPEED) v = -MAX_JOINT_SPEED;
        j.second += v * CYCLE / DEG;
        // The hip yaw joints stop just past zero on the positive side, as on
        // the real robot; the others only within a full turn.
        const bool hip_yaw = j.first == "rlj1" || j.first == "llj1";
        const double high = hip_yaw ? HIP_YAW_MAX : 180.0, low = hip_yaw ? HIP_YAW_MIN : -180.0;
        if (j.second > high) j.second = high;
        if (j.second < low) j.second = low;
    }
}

void move_by_legs(Robot& r)
{
    static const char* const prefix[2] = {"rl", "ll"};
    double fx[2], fy[2], fz[2], yaw[2], knee[2];
    for (int i = 0; i < 2; ++i) {
        const std::string p = prefix[i];
        const double hip = r.angle.at(p + "j3") * DEG;
        knee[i] = r.angle.at(p + "j4");
        fx[i] = THIGH * std::sin(hip) + SHIN * std::sin(hip + knee[i] * DEG);
        fy[i] = (THIGH + SHIN) * std::sin(r.angle.at(p + "j2") * DEG);
        fz[i] = THIGH * std::cos(hip) + SHIN * std::cos(hip + knee[i] * DEG);
        yaw[i] = r.angle.at(p + "j1");
    }
    // A foot leaves the ground when its knee is bent quickly while the other's
    // is not, and comes down again when its knee is straightened quickly or is
    // no longer clearly the more bent one.
    const double knee_speed[2] = {finite_or_zero(r.speed.at("rlj4")), finite_or_zero(r.speed.at("llj4"))};
    bool planted[2] = {r.planted[0], r.planted[1]};
    if (!r.have_legs) {
        planted[0] = planted[1] = true;
        for (int i = 0; i < 2; ++i) {
            r.step_depth[i] = 0.0;
            r.step_rise[i] = 0.0;
            r.shuffling[i] = false;
        }
    }
    for (int i = 0; i < 2; ++i) {
        const int o = 1 - i;
        const bool bending = knee_speed[i] < -LIFT_SPEED;
        const bool other_bending = knee_speed[o] < -LIFT_SPEED;
        if (planted[i] && bending && !other_bending && planted[o])
            planted[i] = false;
        else if (!planted[i] && (knee_speed[i] > LIFT_SPEED || !(knee[i] < knee[o] - LIFT_MARGIN)))
            planted[i] = true;
    }
    // A leg's step lasts while its knee is the more bent one; one that never
    // got SHUFFLE_DEPTH more bent than the other's did not lift its foot clear.
    // The gait repeats, so the leg's next step is taken to be as shallow.
    for (int i = 0; i < 2; ++i) {
        const double deeper = knee[1 - i] - knee[i];
        if (deeper > 0.0) {
            r.step_depth[i] = std::max(r.step_depth[i], deeper);
            r.step_rise[i] = std::max(r.step_rise[i], fz[1 - i] - fz[i]);
        } else if (r.step_depth[i] > 0.0) {
            if (r.step_depth[i] >= MIN_STEP_DEPTH)
                r.shuffling[i] = r.step_depth[i] < SHUFFLE_DEPTH && !(r.step_rise[i] >= CLEAR_RISE);
            r.step_depth[i] = 0.0;
            r.step_rise[i] = 0.0;
        }
    }
    r.last_step = 0.0;
    if (r.have_legs && r.upright == Upright::standing) {
        // The body moves against the legs on the ground: by the mean change of
        // the feet that were down in both cycles. A shuffling foot drags on
        // the ground even while unloaded and holds the body as a planted one
        // does. That keeps the turn motion on the spot, as on the real robot:
        // its legs swing in opposite senses between 30 and 43 degrees of hip
        // with the knees at most 18 degrees apart, each foot going forward
        // while unloaded and back while loaded, and over both feet the two
        // cancel. The steps of the walk, the back walk and the sidestep lift
        // the foot clear (knees 30 degrees apart or more) and move the body
        // over the stance foot alone.
        //
        // The hip yaw turns the body in two ways, by which foot bears the
        // weight (an unloaded foot twists freely, shuffling or not). A stance
        // leg's yaw turns the body over its planted foot; the joints' slanted
        // axes are mirror images, so the same change turns the body one way
        // over the right foot and the other way over the left. A swing leg's
        // yaw twists the body a little against the stance foot, the same way
        // for either leg (counter-clockwise for a positive change). A walk
        // gives the steering yaw to each stepping leg, which undoes it as the
        // next stance leg: the two stance effects cancel over a stride and the
        // swing effect steers, slowly and counter-clockwise for a positive yaw
        // whichever leg steps. The turn motion yaws each stance hip in turn,
        // the two in opposite senses (the positive side stops at HIP_YAW_MAX),
        // which turns the same way on both stances, at 6-7 degrees a second.
        // Both as measured on the real robot.
        static const double stance_sign[2] = {1.0, -1.0};
        double sx = 0.0, sy = 0.0, syaw = 0.0, swing = 0.0;
        int n = 0, stances = 0;
        for (int i = 0; i < 2; ++i) {
            const bool down = planted[i] && r.planted[i];
            if (down) {
                syaw += stance_sign[i] * (yaw[i] - r.foot_yaw[i]);
                ++stances;
            } else if (!planted[i] && !r.planted[i]) {
                swing += yaw[i] - r.foot_yaw[i];
            }
            if (down || r.shuffling[i]) {
                sx += fx[i] - r.foot_x[i];
                sy += fy[i] - r.foot_y[i];
                ++n;
            }
        }
        if (n > 0) {
            // A foot on the ground stays put: the body moves against the leg.
            const double bx = -STRIDE_GAIN * sx / n, by = -STRIDE_GAIN * sy / n;
            const double h = r.pose.heading * DEG;
            r.pose.x += std::cos(h) * bx - std::sin(h) * by;
            r.pose.y += std::sin(h) * bx + std::cos(h) * by;
            const double stance_turn = stances > 0 ? STANCE_YAW_SHARE * syaw / stances : 0.0;
            const double turned = wrap180(r.pose.heading - stance_turn + SWING_YAW_SHARE * swing);
            // The body turns about its own axis, between the feet: the camera,
            // ahead of that axis, swings round it.
            const double h2 = turned * DEG;
            r.pose.x += CAMERA_AHEAD * (std::cos(h2) - std::cos(h));
            r.pose.y += CAMERA_AHEAD * (std::sin(h2) - std::sin(h));
            r.pose.heading = turned;
            r.last_step = std::sqrt(bx * bx + by * by);
        }
    }
    for (int i = 0; i < 2; ++i) {
        r.foot_x[i] = fx[i];
        r.foot_y[i] = fy[i];
        r.foot_yaw[i] = yaw[i];
        r.planted[i] = planted[i];
    }
    r.have_legs = true;
}

void start_fall(Robot& r, FallWay way, double now)
{
    if (r.upright == Upright::falling || r.upright == Upright::lying) return;
    switch (way) {
    case FallWay::back: begin_lean(r, Upright::falling, -90.0, 0.0, now); break;
    case FallWay::front: begin_lean(r, Upright::falling, 90.0, 0.0, now); break;
    case FallWay::left: begin_lean(r, Upright::falling, 0.0, -90.0, now); break;
    case FallWay::right: begin_lean(r, Upright::falling, 0.0, 90.0, now); break;
    }
}

void update_tilt(Robot& r, double now)
{
    if (r.upright == Upright::lying) {
        const double rhip = r.angle.at("rlj3"), lhip = r.angle.at("llj3");
        if (on_a_side(r)) {
            // No stand-up works from a side. The upper leg swung forward past
            // 60 degrees tips the robot towards its front, and the lower arm
            // then pushed out past 60 degrees rolls it over onto it; both legs
            // stretched back roll it onto its back.
            const bool on_right = r.roll > 0.0;
            const double lower_arm_out = on_right ? -r.angle.at("raj2") : r.angle.at("laj2");
            if ((on_right ? lhip : rhip) > 60.0) r.swung = true;
            if (r.swung && lower_arm_out > 60.0)
                begin_lean(r, Upright::falling, 90.0, 0.0, now);
            else if (rhip < -30.0 && lhip < -30.0)
                begin_lean(r, Upright::falling, -90.0, 0.0, now);
        } else if (r.angle.at("rlj4") < -100.0 && r.angle.at("llj4") < -100.0) {
            // Legs folded under the body: the stand-up brings it up again.
            begin_lean(r, Upright::rising, 0.0, 0.0, now);
        }
    }
    if (r.upright == Upright::falling || r.upright == Upright::rising) {
        const double progress = (now - r.tilt_start) / FALL_TIME;
        if (progress >= 1.0) {
            r.tilt = r.tilt_to;
            r.roll = r.roll_to;
            r.tilt_rate = 0.0;
            r.roll_rate = 0.0;
            r.upright = r.upright == Upright::falling ? Upright::lying : Upright::standing;
            r.have_legs = false;
        } else {
            r.tilt = r.tilt_from + (r.tilt_to - r.tilt_from) * progress;
            r.roll = r.roll_from + (r.roll_to - r.roll_from) * progress;
            r.tilt_rate = (r.tilt_to - r.tilt_from) / FALL_TIME;
            r.roll_rate = (r.roll_to - r.roll_from) / FALL_TIME;
        }
    }
    double lean;
    if (r.roll == 0.0)
        lean = std::fabs(r.tilt) / 90.0;
    else if (r.tilt == 0.0)
        lean = std::fabs(r.roll) / 90.0;
    else
        lean = std::acos(std::max(-1.0, std::min(1.0, torso_axes(r).u[2]))) / DEG / 90.0;
    r.camera_height = r.camera_height_standing + (LYING_CAMERA - r.camera_height_standing) * lean;
}

std::string perception_text(const Robot& r, const std::vector<const Robot*>& others,
                            const Ball& ball, const Perception& p)
{
    std::string out;
    out.reserve(2048);
    out += "(time (now ";
    append_number(out, p.now);
    out += "))";
    const char* const side = r.left ? "left" : "right";
    if (p.today) {
        out += "(GS ";
        if (p.long_gs && r.unum > 0) out += "(unum " + std::to_string(r.unum) + ") (team " + side + ") ";
        out += "(sl " + std::to_string(p.score_left) + ") (sr " + std::to_string(p.score_right) + ") (t ";
        append_number(out, p.game_time);
        out += ") (pm " + p.play_mode + ") (k ";
        out += p.kickoff_left ? "left" : "right";
        out += ") (ti () ()))";
    } else {
        if (r.unum > 0)
            out += "(GS (unum " + std::to_string(r.unum) + ") (team " + side + ") (t ";
        else
            out += "(GS (t ";
        append_number(out, p.game_time);
        out += ") (pm " + p.play_mode + "))";
    }

    // Today's server reports the forward pitch about the right (x) axis.
    out += "(GYR (n torso) (rt ";
    append_number(out, p.today ? -r.tilt_rate + 0.0 : r.roll_rate);
    out += ' ';
    append_number(out, p.today ? r.roll_rate : r.tilt_rate);
    out += " 0.000))(ACC (n torso) (a ";
    double acc[3];
    accelerometer(r, acc);
    append_number(out, acc[0]);
    out += ' ';
    append_number(out, acc[1]);
    out += ' ';
    append_number(out, acc[2]);
    out += "))";

    const std::vector<std::string>& joints = joint_names();
    append_hinge(out, r, joints[0]);
    append_hinge(out, r, joints[1]);

    if (p.see) {
        out += "(See";
        double d, h, v;
        for (const Landmark& m : field(p.today).marks) {
            polar_from_camera(r, m.x, m.y, m.z, d, h, v);
            if (p.today && !in_view_cone(h, v)) continue;
            out += " (";
            out += m.name;
            out += " (pol ";
            append_pol(out, d, h, v);
        }
        polar_from_camera(r, ball.x, ball.y, BALL_RADIUS, d, h, v);
        if (!p.today || in_view_cone(h, v)) {
            out += " (B (pol ";
            append_pol(out, d, h, v);
        }
        for (const Robot* other : others) {
            const Robot& o = *other;
            if (o.unum <= 0) continue;
            const std::string head = " (P (team " + o.team + ") (id " + std::to_string(o.unum) + ")";
            if (!p.today) {
                polar_from_camera(r, o.pose.x, o.pose.y, o.camera_height, d, h, v);
                out += head + " (pol ";
                append_pol(out, d, h, v);
                continue;
            }
            std::string parts;
            for (const BodyPart& part : body_parts(o)) {
                polar_from_camera(r, part.x, part.y, part.z, d, h, v);
                if (!in_view_cone(h, v)) continue;
                parts += " (";
                parts += part.name;
                parts += " (pol ";
                append_pol(parts, d, h, v);
            }
            if (!parts.empty()) out += head + parts + ')';
        }
        out += ')';
    }

    for (std::size_t i = 2; i < joints.size(); ++i) {
        append_hinge(out, r, joints[i]);
        // Today's server puts each foot's pressure after the leg's fifth joint.
        if (p.today && joints[i] == "rlj5") append_foot(out, r, 0);
        if (p.today && joints[i] == "llj5") append_foot(out, r, 1);
    }
    if (!p.today) {
        append_foot(out, r, 1);
        append_foot(out, r, 0);
    }
    return out;
}

bool push_ball(const Pose& camera, Ball& ball)
{
    const double c = std::cos(camera.heading * DEG), s = std::sin(camera.heading * DEG);
    const double dx = ball.x - camera.x, dy = ball.y - camera.y;
    // The ball in the feet's frame: u ahead, v to the left.
    double u = dx * c + dy * s, v = -dx * s + dy * c;
    const double nu = std::max(-HEELS_BEHIND, std::min(TOES_AHEAD, u));
    const double nv = std::max(-FEET_HALF_WIDTH, std::min(FEET_HALF_WIDTH, v));
    const double ou = u - nu, ov = v - nv;
    const double gap = std::sqrt(ou * ou + ov * ov);
    if (gap >= BALL_RADIUS) return false;
    if (gap > 1e-9) {
        u = nu + ou / gap * BALL_RADIUS;
        v = nv + ov / gap * BALL_RADIUS;
    } else {
        // Centre on or inside the footprint (a beam onto the ball): out
        // through the toes from the front half, else out of the nearer side.
        if (u >= 0.0) {
            u = TOES_AHEAD + BALL_RADIUS;
        } else {
            v = (v < 0.0 ? -1.0 : 1.0) * (FEET_HALF_WIDTH + BALL_RADIUS);
        }
    }
    ball.x = camera.x + u * c - v * s;
    ball.y = camera.y + u * s + v * c;
    return true;
}

std::string truth_line(double game_time, const std::string& play_mode, const Ball& ball,
                       const std::vector<const Robot*>& robots)
{
    std::string out = "{\"t\":";
    append_json(out, game_time, 4);
    out += ",\"pm\":\"" + play_mode + "\",\"ball\":[";
    append_json(out, ball.x, 4);
    out += ',';
    append_json(out, ball.y, 4);
    out += ',';
    append_json(out, BALL_RADIUS, 4);
    out += "],\"agents\":[";
    bool first = true;
    for (const Robot* robot : robots) {
        const Robot& r = *robot;
        if (r.unum <= 0) continue;
        if (!first) out += ',';
        first = false;
        double p[3];
        torso_position(r, p);
        out += "{\"team\":\"";
        out += r.left ? "Left" : "Right";
        out += "\",\"unum\":" + std::to_string(r.unum) + ",\"pos\":[";
        append_json(out, p[0], 4);
        out += ',';
        append_json(out, p[1], 4);
        out += ',';
        append_json(out, p[2], 4);
        out += "],\"upz\":";
        append_json(out, torso_axes(r).u[2], 4);
        out += ",\"yaw\":";
        append_json(out, wrap180(r.pose.heading), 1);
        out += '}';
    }
    out += "]}";
    return out;
}

std::vector<Sexp> parse_sexps(const std::string& text)
{
    std::vector<Sexp> top;
    std::vector<Sexp> stack;  // open lists, innermost last
    std::string atom;
    auto flush_atom = [&]() {
        if (atom.empty()) return;
        if (!stack.empty()) {
            Sexp a;
            a.atom = atom;
            stack.back().list.push_back(a);
        }
        atom.clear();
    };
    for (char c : text) {
        if (c == '(') {
            flush_atom();
            Sexp l;
            l.is_list = true;
            stack.push_back(l);
        } else if (c == ')') {
            flush_atom();
            if (stack.empty()) continue;  // stray closing parenthesis
            Sexp done = stack.back();
            stack.pop_back();
            if (stack.empty())
                top.push_back(done);
            else
                stack.back().list.push_back(done);
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            flush_atom();
        } else {
            atom += c;
        }
    }
    // An unterminated list at the end is dropped: it may be cut short.
    return top;
}

}  // namespace peer
