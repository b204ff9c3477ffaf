#ifndef TRAVONELQUIST_PEER_PEER_WORLD_H
#define TRAVONELQUIST_PEER_PEER_WORLD_H

// The practice peer's simple world: robots with hinge joints, a ball, the
// field's flags and goal posts. Everything is kept in the left team's frame
// (the "global" frame): own goal of the left team at x = -half length. A
// right-side robot sees the same field turned by 180 degrees, so its beam and
// start positions are converted here and nowhere else.

#include <map>
#include <string>
#include <vector>

namespace peer {

const double CYCLE = 0.02;           // seconds of simulation time per cycle
const double MAX_JOINT_SPEED = 6.14; // rad/s, where the simulated motors saturate
const double GRAVITY = 9.81;

struct Pose {
    double x = 0.0;
    double y = 0.0;
    double heading = 0.0;  // degrees, 0 towards +x, counter-clockwise positive
};

// The robot model's 22 hinge joints, in the order the server reports them.
const std::vector<std::string>& joint_names();

// "he1" -> "hj1", "lle6" -> "llj6"; the empty text for anything that is not
// one of the 22 hinge effectors.
std::string joint_of_effector(const std::string& effector);

enum class Upright { standing, falling, lying, rising };

// Which way a robot falls: onto its back or front (pitch), or onto a side (roll).
enum class FallWay { back, front, left, right };

struct Robot {
    std::string team;     // empty until init
    int unum = 0;         // 0 until init
    bool left = true;     // field side of the robot's team
    Pose pose;            // global frame; x, y are the camera's
    double camera_height_standing = 0.5;  // m above the field
    double camera_height = 0.5;           // now, lower while lying
    std::map<std::string, double> angle;  // degrees
    std::map<std::string, double> speed;  // rad/s, the last command of each joint

    // Falling: tilt is the forward lean of the torso in degrees (+90 lying on
    // the front, -90 on the back), roll its lean to the right (+90 lying on
    // the right side, -90 on the left); both change over the fall time while
    // falling, rising or rolling over, and the gyroscope reports the rates.
    Upright upright = Upright::standing;
    double tilt = 0.0;
    double tilt_from = 0.0;
    double tilt_to = 0.0;
    double tilt_start = 0.0;
    double tilt_rate = 0.0;  // deg/s
    double roll = 0.0;
    double roll_from = 0.0;
    double roll_to = 0.0;
    double roll_rate = 0.0;  // deg/s
    // Lying on a side, the upper leg has been swung forward (see update_tilt).
    bool swung = false;

    // Leg geometry of the previous cycle, for the walk model.
    bool have_legs = false;
    double foot_x[2] = {0.0, 0.0};
    double foot_y[2] = {0.0, 0.0};
    double foot_yaw[2] = {0.0, 0.0};
    bool planted[2] = {true, true};
    double last_step = 0.0;  // m the legs moved the body in the last cycle
    // Stepping on the spot: how much more each knee is bent than the other's,
    // at most, in the step under way (degrees), and whether the last step of
    // that leg was too shallow to lift its foot clear of the ground.
    double step_depth[2] = {0.0, 0.0};
    double step_rise[2] = {0.0, 0.0};
    bool shuffling[2] = {false, false};

    Robot();
};

// Team frame <-> global frame.
Pose team_to_global(const Pose& p, bool left);
Pose global_to_team(const Pose& p, bool left);

struct Ball {
    double x = 0.0;  // global frame
    double y = 0.0;
};
const double BALL_RADIUS = 0.042;

// A standing robot's feet shove a ball they overlap out of their footprint,
// along the normal of the edge they meet it with: straight ahead off the flat
// toes, sideways off the feet's outer edges, at a slant off a corner. The
// pose is the robot's camera pose. Returns whether the ball moved.
bool push_ball(const Pose& camera, Ball& ball);

struct Landmark {
    const char* name;
    double x, y, z;  // global frame
};

// The field: the classic 12 x 8 m one with 1.4 m goals, or today's 30 x 20 m
// one with 2.1 m goals.
struct Field {
    double half_length;
    double half_width;
    double goal_half_width;
    std::vector<Landmark> marks;
};
const Field& field(bool today);
const std::vector<Landmark>& landmarks();  // the classic field's

// An orthonormal frame in global coordinates: forward, left, up.
struct Axes {
    double f[3];
    double l[3];
    double u[3];
};
// The torso's axes from heading, tilt and roll.
Axes torso_axes(const Robot& r);
// The camera's: the torso's turned by the neck yaw hj1 (positive to the
// left) and then pitched by hj2 (positive up).
Axes camera_axes(const Robot& r);

// The accelerometer: the specific force at rest (gravity seen from the torso)
// in the torso frame x = right, y = forward, z = up.
void accelerometer(const Robot& r, double a[3]);

// Torso centre in global coordinates: the camera sits 0.045 m ahead of it and
// 0.15 m above it along the torso's axes.
void torso_position(const Robot& r, double p[3]);

// Polar perception (distance, horizontal angle, vertical angle) of a global
// point seen from the robot's camera.
void polar_from_camera(const Robot& r, double px, double py, double pz,
                       double& dist, double& hor, double& ver);

// Whether a polar direction lies in today's view cone (120 degrees across,
// horizontally and vertically).
bool in_view_cone(double hor, double ver);

// A body part of a robot that others see, at its global position.
struct BodyPart {
    const char* name;
    double x, y, z;
};
std::vector<BodyPart> body_parts(const Robot& r);

// One cycle of the joint motors: every joint turns at its commanded speed
// (saturated) for one cycle.
void integrate_joints(Robot& r);

// The crude walk model: a foot that is on the ground stays where it is, so a
// change in the legs' geometry moves the body over the planted feet; a
// shallow step only shuffles the foot, and stepping on the spot turns the
// body without moving it. Call after integrate_joints. Only a standing robot
// moves this way.
void move_by_legs(Robot& r);

// Falls and getting up again.
void start_fall(Robot& r, FallWay way, double now);
void update_tilt(Robot& r, double now);
inline bool on_a_side(const Robot& r) { return r.roll > 45.0 || r.roll < -45.0; }

// The perception text of one cycle for one robot.
struct Perception {
    double now = 0.0;
    double game_time = 0.0;
    std::string play_mode;
    bool see = true;        // this message carries vision
    bool today = false;     // today's server: its field, game state, view cone, body parts
    bool long_gs = false;   // today's game state with number and side
    int score_left = 0;
    int score_right = 0;
    bool kickoff_left = true;
};
std::string perception_text(const Robot& r, const std::vector<const Robot*>& others,
                            const Ball& ball, const Perception& p);

// One line of the true world: game time, play mode, ball, and every robot
// with a number, all in the global frame.
std::string truth_line(double game_time, const std::string& play_mode, const Ball& ball,
                       const std::vector<const Robot*>& robots);

// A parsed S-expression of an agent's reply.
struct Sexp {
    std::string atom;            // set for an atom
    std::vector<Sexp> list;      // the elements of a list
    bool is_list = false;
};
// The top-level lists of text; malformed text yields what could be read.
std::vector<Sexp> parse_sexps(const std::string& text);

}  // namespace peer

#endif
