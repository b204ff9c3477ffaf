#ifndef TRAVONELQUIST_DECISION_TERVALONACTION_H
#define TRAVONELQUIST_DECISION_TERVALONACTION_H

#include "control/tervalonlib.h"

// Which motion runs this cycle.
// A fixed underlying type keeps any int a valid value: out-of-range states just run nothing.
enum BehaviorState : int {
    OVAREL = 0,
    KICK_RIGHT = 1,
    KICK_LEFT = 2,
    STANDUP_FORWARD = 3,
    STANDUP_BACK = 4,
    TURN = 5,
    WALK = 6,
    BALLWALK = 7,
    TUNE_WALK = 8,
    BACK_WALK = 9,
    MIN_BACK = 10,
    SIDESTEP = 11,
    HANDUP = 12,
    KICK_OFF = 13,
    STOP = 14,
    GAIT = 15
};

// A phase's way out: a phase of `motion` that has run `cycles` cycles without
// its own exit going on goes to `next_phase` of `next_motion` instead, or ends
// the motion (kEndMotion) so that the roles choose again. Every wait on the
// body has one: the body may never do what a phase waits for.
struct PhaseLimit {
    BehaviorState motion;
    int phase;
    int cycles;
    BehaviorState next_motion;
    int next_phase;
};

// The parametric gait's shape: one period steps the left leg, then the right.
struct GaitShape {
    int cycles;        // cycles per period
    int lookahead;     // cycles the targets run ahead of the joints
    double height;     // hip above ankle (m)
    double lift;       // swing foot lift (m)
    double step;       // step length (m)
    double sway;       // sideways sway of the hips (m)
    double lean;       // torso lean forward (deg)
    double turn;       // most turn per period on the spot (deg)
    double walk_turn;  // most turn per period while stepping (deg)
    double gain;       // joint gain
};

// Leg joint angles (deg) that put the ankle `forward` and `left` of the hip
// and `height` below it, foot flat, torso leaning `lean` degrees forward.
struct GaitAngles {
    double roll = 0.0;   // lj2
    double hip = 0.0;    // lj3
    double knee = 0.0;   // lj4
    double ankle = 0.0;  // lj5
    double foot = 0.0;   // lj6
};
GaitAngles gait_leg_angles(double forward, double left, double height, double lean);

// The robot's role.
enum SoccerPosition : int { FW = 0, MF = 1, DF = 2, GK = 3, RUN = 4 };

// The decision object: dispatcher, placement, roles and every motion.
//
// Motion protocol: `state` names the motion, `action_state_` is its phase and
// `action_end_` says it has finished; roles choose a new motion only then.
class Tervalonaction : public Tervalonlib {
public:
    // The standard robot, or one of the types of the heterogeneous model.
    static constexpr int kStandardRobot = -1;
    explicit Tervalonaction(boost::shared_ptr<Worldmodel> world, int robot_type = kStandardRobot);

    bool action() override;

    // Placement.
    bool check_beam();
    void setOffense();
    void setDefense();

    // Roles.
    void fw();
    void gk();
    void run();
    // The robot is past the ball: aim at a point `set_back` behind it.
    void aim_behind_ball(double set_back);
    // A field teammate, seen lately, is clearly nearer the ball.
    bool mate_nearer_ball() const;

    // Motions, one step per call.
    void ovarel(double gain);
    void stop();
    void walk();
    // Parametric walk: steps towards goto_pos_, turning on the spot when the
    // target lies far to a side; a period of steps per motion.
    void gait();
    static const GaitShape& gait_shape();
    void tune_walk();
    void ballwalk();
    void back_walk();
    void turn();
    void sidestep();
    void kick_right();
    void kick_left();
    void kick_off();
    bool check_standup();
    void standup_back();
    void standup_forward();
    // Forward phase 0 over: `rise`, or the back stand-up for a body on its back.
    void rise_from_rest(int rise, bool on_back);
    void handup();
    // Head straight and level: the hand-up leaves it pitched otherwise.
    void level_head();

    // Phases of the stand-ups beside the rows of their tables (forward 0-5,
    // back 0-6).
    static constexpr int kRestOver = 20;       // forward: no more waiting for rest
    static constexpr int kRightSideSwing = 21;  // forward: lying on the right side
    static constexpr int kRightSidePush = 22;
    static constexpr int kLeftSideSwing = 23;   // forward: lying on the left side
    static constexpr int kLeftSidePush = 24;
    static constexpr int kQuickSit = 31;        // back: phase 2 again, faster
    static constexpr int kBackRest = 30;        // back: at rest (first, on today's server)
    static constexpr int kBackTries = 3;        // back: sit-ups from the back, at most
    static constexpr int kBackUnrested = 32;    // back: phase 0 straight from a fall (its limit)

    // The ways out, one row per phase with its own (decision/phase_limits.cpp);
    // any other phase ends its motion after kGiveUpCycles.
    static const PhaseLimit kPhaseLimits[];
    static constexpr int kEndMotion = -1;
    static constexpr int kCyclesPerSecond = 50;
    static constexpr int kGiveUpCycles = 10 * kCyclesPerSecond;
    // The most cycles a phase of a motion runs before its way out.
    static int phase_limit(BehaviorState motion, int phase);
    // The row a phase sets on this robot: its type's own where the table of
    // the types (motions/type_rows.cpp) has one, else `standard`.
    const Keyframe& phase_row(BehaviorState motion, int phase, const Keyframe& standard) const;
    // Cycles the running phase has run so far, this one included.
    int phase_cycles() const { return counting_ ? phase_cycles_ : 0; }

    bool standup_flag_ = false;
    bool debug_flag_ = true;
    bool action_end_ = true;
    bool sstep_flag_ = false;
    bool bturn_flag_ = false;
    bool dturn_flag_ = false;
    bool ballstop_flag_ = false;
    int action_state_ = 0;
    double speed = 0.0;
    double inpuct_ = 0.0;
    double angle_ = 0.0;
    double goto_x_ = 0.0;
    double goto_theta_ = 0.0;
    double pastball_a_ = 0.0;
    double pastball_b_ = 0.0;
    double judgment_ = 0.0;
    BehaviorState state = OVAREL;
    SoccerPosition position = FW;
    SoccerPosition first_position = FW;
    double beam_x = 0.0;
    double beam_y = 0.0;
    double beam_z = 0.0;
    TVector3 goto_xyz_;
    TVector3 goto_pos_;

    // Placement bookkeeping: the server's physics degrades with every beam,
    // so a robot is beamed when a placement starts or its point changes, and
    // otherwise only when it is clearly off its point or down, at most once
    // in kBeamInterval.
    static constexpr double kBeamInterval = 1.0;  // s
    static constexpr double kOffPoint = 0.25;     // m
    bool placing_ = false;
    const void* beam_rule_ = nullptr;  // placement rule of the last beam
    int beam_side_ = 0;
    int beam_number_ = 0;
    double beamed_x_ = 0.0;
    double beamed_y_ = 0.0;
    double beamed_z_ = 0.0;
    double beam_time_ = 0.0;
    // The number whose role `position` holds; a number learned outside
    // placement still gets its role from the formation.
    int role_number_ = 0;

    // The gait's period in progress: its step and turn, and how many periods
    // have run since it started.
    double gait_step_ = 0.0;
    double gait_turn_ = 0.0;
    int gait_periods_ = 0;
    double gait_time_ = 0.0;

    // The head on a field seen through a narrow camera: it follows the ball
    // while the ball is in view and sweeps side to side once it is lost.
    // Runs after the motion step, every cycle.
    void look();
    bool head_is_free() const;
    // Today's server: the ball unseen for kSearchTurnAfter cycles, the head's
    // sweeps included; the field players turn on the spot to find it.
    static constexpr int kSearchTurnAfter = 100;
    bool ball_behind() const;
    int back_tries_ = 0;        // sit-ups from the back since the last fall
    int ball_unseen_ = 0;       // cycles since the ball was last in view
    int pose_age_ = 0;          // cycles since the landmarks last gave a pose
    double head_yaw_ = 0.0;     // the head's aim (deg)
    double head_pitch_ = 0.0;
    bool scan_left_ = true;     // the sweep's way

private:
    bool beam_due(const void* rule);
    void adopt_role();
    // A phase that has run its limit goes on by its way out.
    void way_out();
    // The phase whose limit holds the running one (kBackUnrested for back
    // phase 0 begun with no rest before it).
    int limit_phase() const;
    // Counts the cycle of the phase about to run; after the step, forget_phase()
    // once the motion has ended or did not run.
    void count_phase();
    void forget_phase() { counting_ = false; }

    int robot_type_;
    bool counting_ = false;
    BehaviorState counted_state_ = OVAREL;
    int counted_phase_ = 0;
    int phase_cycles_ = 0;
};

#endif
