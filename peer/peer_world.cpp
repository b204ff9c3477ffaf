#include "peer/peer_world.h"

#include <cmath>
#include <cstdio>

namespace peer {

namespace {

const double PI = 3.141592653589793;
const double DEG = PI / 180.0;

// Leg lengths (m) of the walk model, and how much of a hip yaw turns the body:
// the yaw axes are slanted, so only part of the joint's turn acts about the
// vertical.
const double THIGH = 0.1;
const double SHIN = 0.1029;
const double YAW_SHARE = 0.5;
// A leg whose knee is bent this much more than the other's is in the air.
const double LIFT_MARGIN = 10.0;
const double LIFT_SPEED = 1.0;  // rad/s of knee bending that lifts a foot

const double FALL_TIME = 0.3;  // s to fall over, or to come up again
const double LYING_CAMERA = 0.1;
const double BALL_RADIUS = 0.042;

double finite_or_zero(double v) { return std::isfinite(v) ? v : 0.0; }

double wrap180(double a)
{
    while (a > 180.0) a -= 360.0;
    while (a <= -180.0) a += 360.0;
    return a;
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

const std::vector<Landmark>& landmarks()
{
    // Corner flags on the ground, goal posts at the height of the crossbar.
    static const std::vector<Landmark> marks = {
        {"F1L", -6.0, 4.0, 0.0},  {"F2L", -6.0, -4.0, 0.0}, {"F1R", 6.0, 4.0, 0.0},
        {"F2R", 6.0, -4.0, 0.0},  {"G1L", -6.0, 0.7, 0.8},  {"G2L", -6.0, -0.7, 0.8},
        {"G1R", 6.0, 0.7, 0.8},   {"G2R", 6.0, -0.7, 0.8}};
    return marks;
}

void polar_from_camera(const Robot& r, double px, double py, double pz, double& dist,
                       double& hor, double& ver)
{
    const double yaw = (r.pose.heading + r.angle.at("hj1")) * DEG;
    const double down = (r.tilt + r.angle.at("hj2")) * DEG;
    const double dx = px - r.pose.x;
    const double dy = py - r.pose.y;
    const double dz = pz - r.camera_height;
    // Into the camera frame: turn by the yaw, then tip forward by the pitch.
    const double ax = std::cos(yaw) * dx + std::sin(yaw) * dy;
    const double ay = -std::sin(yaw) * dx + std::cos(yaw) * dy;
    const double cx = std::cos(down) * ax - std::sin(down) * dz;
    const double cy = ay;
    const double cz = std::sin(down) * ax + std::cos(down) * dz;
    dist = std::sqrt(cx * cx + cy * cy + cz * cz);
    hor = std::atan2(cy, cx) / DEG;
    ver = dist > 0.0 ? std::asin(cz / dist) / DEG : 0.0;
}

void integrate_joints(Robot& r)
{
    for (auto& j : r.angle) {
        double v = finite_or_zero(r.speed[j.first]);
        if (v > MAX_JOINT_SPEED) v = MAX_JOINT_SPEED;
        if (v < -MAX_JOINT_SPEED) v = -MAX_JOINT_SPEED;
        j.second += v * CYCLE / DEG;
        if (j.second > 180.0) j.second = 180.0;
        if (j.second < -180.0) j.second = -180.0;
    }
}

void move_by_legs(Robot& r)
{
    static const char* const prefix[2] = {"rl", "ll"};
    double fx[2], fy[2], yaw[2], knee[2];
    for (int i = 0; i < 2; ++i) {
        const std::string p = prefix[i];
        const double hip = r.angle.at(p + "j3") * DEG;
        knee[i] = r.angle.at(p + "j4");
        fx[i] = THIGH * std::sin(hip) + SHIN * std::sin(hip + knee[i] * DEG);
        fy[i] = (THIGH + SHIN) * std::sin(r.angle.at(p + "j2") * DEG);
        // The two hip yaw joints turn in opposite senses for the same angle.
        yaw[i] = (i == 0 ? 1.0 : -1.0) * YAW_SHARE * r.angle.at(p + "j1");
    }
    // A foot leaves the ground when its knee is bent quickly while the other's
    // is not, and comes down again when its knee is straightened quickly or is
    // no longer clearly the more bent one.
    const double knee_speed[2] = {finite_or_zero(r.speed.at("rlj4")), finite_or_zero(r.speed.at("llj4"))};
    bool planted[2] = {r.planted[0], r.planted[1]};
    if (!r.have_legs) planted[0] = planted[1] = true;
    for (int i = 0; i < 2; ++i) {
        const int o = 1 - i;
        const bool bending = knee_speed[i] < -LIFT_SPEED;
        const bool other_bending = knee_speed[o] < -LIFT_SPEED;
        if (planted[i] && bending && !other_bending && planted[o])
            planted[i] = false;
        else if (!planted[i] && (knee_speed[i] > LIFT_SPEED || !(knee[i] < knee[o] - LIFT_MARGIN)))
            planted[i] = true;
    }
    r.last_step = 0.0;
    if (r.have_legs && r.upright == Upright::standing) {
        double sx = 0.0, sy = 0.0, syaw = 0.0;
        int n = 0;
        for (int i = 0; i < 2; ++i) {
            if (!(planted[i] && r.planted[i])) continue;
            sx += fx[i] - r.foot_x[i];
            sy += fy[i] - r.foot_y[i];
            syaw += yaw[i] - r.foot_yaw[i];
            ++n;
        }
        if (n > 0) {
            // A foot on the ground stays put: the body moves against the leg.
            const double bx = -sx / n, by = -sy / n;
            const double h = r.pose.heading * DEG;
            r.pose.x += std::cos(h) * bx - std::sin(h) * by;
            r.pose.y += std::sin(h) * bx + std::cos(h) * by;
            r.pose.heading = wrap180(r.pose.heading - syaw / n);
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

void start_fall(Robot& r, bool on_back, double now)
{
    if (r.upright == Upright::falling || r.upright == Upright::lying) return;
    r.upright = Upright::falling;
    r.tilt_from = r.tilt;
    r.tilt_to = on_back ? -90.0 : 90.0;
    r.tilt_start = now;
}

void update_tilt(Robot& r, double now)
{
    if (r.upright == Upright::lying && r.angle.at("rlj4") < -100.0 && r.angle.at("llj4") < -100.0) {
        // Legs folded under the body: the stand-up brings it up again.
        r.upright = Upright::rising;
        r.tilt_from = r.tilt;
        r.tilt_to = 0.0;
        r.tilt_start = now;
    }
    if (r.upright == Upright::falling || r.upright == Upright::rising) {
        const double progress = (now - r.tilt_start) / FALL_TIME;
        if (progress >= 1.0) {
            r.tilt = r.tilt_to;
            r.tilt_rate = 0.0;
            r.upright = r.upright == Upright::falling ? Upright::lying : Upright::standing;
            r.have_legs = false;
        } else {
            r.tilt = r.tilt_from + (r.tilt_to - r.tilt_from) * progress;
            r.tilt_rate = (r.tilt_to - r.tilt_from) / FALL_TIME;
        }
    }
    const double lean = std::fabs(r.tilt) / 90.0;
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
    if (r.unum > 0) {
        out += "(GS (unum " + std::to_string(r.unum) + ") (team ";
        out += r.left ? "left" : "right";
        out += ") (t ";
    } else {
        out += "(GS (t ";
    }
    append_number(out, p.game_time);
    out += ") (pm " + p.play_mode + "))";

    out += "(GYR (n torso) (rt 0.000 ";
    append_number(out, r.tilt_rate);
    out += " 0.000))(ACC (n torso) (a 0.000 0.000 9.810))";

    const std::vector<std::string>& joints = joint_names();
    for (std::size_t i = 0; i < 2; ++i) {
        out += "(HJ (n " + joints[i] + ") (ax ";
        append_number(out, r.angle.at(joints[i]));
        out += "))";
    }

    out += "(See";
    double d, h, v;
    for (const Landmark& m : landmarks()) {
        polar_from_camera(r, m.x, m.y, m.z, d, h, v);
        out += " (";
        out += m.name;
        out += " (pol ";
        append_pol(out, d, h, v);
    }
    polar_from_camera(r, ball.x, ball.y, BALL_RADIUS, d, h, v);
    out += " (B (pol ";
    append_pol(out, d, h, v);
    for (const Robot* other : others) {
        const Robot& o = *other;
        if (o.unum <= 0) continue;
        polar_from_camera(r, o.pose.x, o.pose.y, o.camera_height, d, h, v);
        out += " (P (team " + o.team + ") (id " + std::to_string(o.unum) + ") (pol ";
        append_pol(out, d, h, v);
    }
    out += ')';

    for (std::size_t i = 2; i < joints.size(); ++i) {
        out += "(HJ (n " + joints[i] + ") (ax ";
        append_number(out, r.angle.at(joints[i]));
        out += "))";
    }

    // Foot pressure only for feet on the ground.
    if (r.upright == Upright::standing) {
        const int n = (r.planted[0] ? 1 : 0) + (r.planted[1] ? 1 : 0);
        static const char* const foot[2] = {"rf", "lf"};
        for (int i = 1; i >= 0; --i) {
            if (!r.planted[i] || n == 0) continue;
            out += "(FRP (n ";
            out += foot[i];
            out += ") (c 0.000 0.000 -0.020) (f 0.000 0.000 ";
            append_number(out, 45.0 / n);
            out += "))";
        }
    }
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
