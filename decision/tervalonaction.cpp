#include "decision/tervalonaction.h"

#include <cmath>

namespace {

// Which placement values a play mode refreshes, and whether the robot is then
// beamed there (placement replaces role and motion for the cycle).
enum PlacementSet { OFFENSE, DEFENSE };

struct BeamRule {
    const char* play_mode;
    PlacementSet left_set;
    bool left_place;
    PlacementSet right_set;
    bool right_place;
};

// First match wins.
const BeamRule kBeamRules[] = {
    // play mode        side left          side right
    {"BeforeKickOff",   OFFENSE, true,     DEFENSE, true},
    {"Goal_Right",      OFFENSE, true,     DEFENSE, true},
    {"Goal_Left",       DEFENSE, true,     OFFENSE, true},
    {"KickOff_Right",   DEFENSE, true,     OFFENSE, false},
    {"KickOff_Left",    OFFENSE, false,    DEFENSE, true},
};

struct Placement {
    double x;
    double y;
    double z;
    SoccerPosition role;
};

// Formation by uniform number (index = number - 1), own goal at x = -6, +y on
// the left of a robot facing the opponent goal. Numbers 1 to 3 are the
// original three-robot team. Eleven make a 4-3-3: a back four (5, 6 in the
// centre, 10, 11 wide), midfielders 3, 4 and 9 holding, wingers 7 and 8 with
// 2 in the centre. At the other team's kick-off the team drops back and 3
// joins the defence; everybody but 2 keeps 2 m from the centre spot.
const Placement kOffense[] = {
    {-5.5,   0.0,   0.0, GK},  // 1
    {-0.17, -0.036, 0.0, FW},  // 2  takes the kick-off
    {-2.2,  -1.5,   0.0, MF},  // 3
    {-2.2,   1.5,   0.0, MF},  // 4
    {-4.2,  -1.2,   0.0, DF},  // 5
    {-4.2,   1.2,   0.0, DF},  // 6
    {-0.8,   2.6,   0.0, FW},  // 7
    {-0.8,  -2.6,   0.0, FW},  // 8
    {-3.0,   0.0,   0.0, MF},  // 9
    {-3.9,  -2.9,   0.0, DF},  // 10
    {-3.9,   2.9,   0.0, DF},  // 11
};

const Placement kDefense[] = {
    {-5.5,   0.0,   0.0, GK},  // 1
    {-2.5,  -0.5,   0.0, FW},  // 2
    {-3.0,   0.5,   0.0, DF},  // 3
    {-3.0,  -2.0,   0.0, MF},  // 4
    {-4.3,  -1.2,   0.0, DF},  // 5
    {-4.3,   1.2,   0.0, DF},  // 6
    {-1.8,   2.2,   0.0, FW},  // 7
    {-1.8,  -2.4,   0.0, FW},  // 8
    {-3.0,   2.5,   0.0, MF},  // 9
    {-4.1,  -2.8,   0.0, DF},  // 10
    {-4.1,   2.8,   0.0, DF},  // 11
};

const int kTeamSize = sizeof(kOffense) / sizeof(kOffense[0]);
static_assert(sizeof(kOffense) == sizeof(kDefense), "one placement per number on both sides");

}  // namespace

Tervalonaction::Tervalonaction(boost::shared_ptr<Worldmodel> world, int robot_type)
    : Tervalonlib(world), robot_type_(robot_type)
{
    goto_xyz_ = TVector3(0.0, 0.0, 0.0);
    goto_pos_ = TVector3(0.0, 0.0, 0.0);
    debug_flag_ = true;
    action_end_ = true;
    action_state_ = 0;
    standup_flag_ = false;
    bturn_flag_ = false;
    dturn_flag_ = false;
}

bool Tervalonaction::action()
{
    const CycleScope step(*this);
    init();

    if (check_standup()) {
        action_state_ = (state == STANDUP_BACK && world_->generation() == GEN_TODAY) ? kBackRest : 0;
        back_tries_ = 0;
        action_end_ = false;
    }
    // Before anything chooses: a motion that ends here is replaced this cycle.
    way_out();

    // An unfinished stand-up pre-empts everything else, placement included.
    if ((state == STANDUP_FORWARD && !action_end_) || standup_flag_) {
        count_phase();
        standup_forward();
        if (action_end_) forget_phase();
        look();
        setangle();
        return true;
    }
    if (state == STANDUP_BACK && !action_end_) {
        count_phase();
        standup_back();
        if (action_end_) forget_phase();
        look();
        setangle();
        return true;
    }

    if (check_beam()) {
        forget_phase();
        look();
        setangle();
        return true;
    }
    placing_ = false;
    adopt_role();

    switch (position) {
    case FW:
    case MF:
    case DF:
        fw();
        break;
    case GK:
        gk();
        break;
    case RUN:
        run();
        break;
    }

    count_phase();
    switch (state) {
    case OVAREL: ovarel(0.2); break;
    case KICK_RIGHT: kick_right(); break;
    case KICK_LEFT: kick_left(); break;
    case STANDUP_FORWARD: standup_forward(); break;
    case STANDUP_BACK: standup_back(); break;
    case TURN: turn(); break;
    case WALK: walk(); break;
    case BALLWALK: ballwalk(); break;
    case TUNE_WALK: tune_walk(); break;
    case BACK_WALK: back_walk(); break;
    case MIN_BACK: break;  // joints just hold their last targets
    case SIDESTEP: sidestep(); break;
    case HANDUP: handup(); break;
    case KICK_OFF: kick_off(); break;
    case STOP: stop(); break;
    case GAIT: gait(); break;
    }
    if (action_end_) forget_phase();

    look();
    setangle();
    return true;
}

namespace {

const double kBentKnee = 20.0;
const double kSoftRest = 0.1;

}  // namespace

bool Tervalonaction::check_beam()
{
    const std::string& pm = world_->current_status().gs_pm_;
    const bool left = world_->side() == S_LEFT;

    for (const BeamRule& rule : kBeamRules) {
        if (pm != rule.play_mode) continue;
        const PlacementSet which = left ? rule.left_set : rule.right_set;
        if (which == OFFENSE) {
            setOffense();
        } else {
            setDefense();
        }
        if (!(left ? rule.left_place : rule.right_place)) return false;

        // Today's server: a keeper upright on its point keeps goal: the
        // motion that a placement would break off (a crouch, a back walk)
        // tips it over.
        const Worldmodel::TStatus& st = world_->current_status();
        const double dx = st.position_.v_[0] - beam_x;
        const double dy = st.position_.v_[1] - beam_y;
        if (world_->generation() == GEN_TODAY && position == GK && first_position == GK &&
            dx * dx + dy * dy <= kOffPoint * kOffPoint && st.torso_up_.v_[2] >= 0.8) {
            return false;
        }

        action_state_ = 0;
        action_end_ = true;
        // Before the server has given a number there is no place to go to:
        // a beam would only put the robot on the centre spot.
        if (world_->number() >= 1 && beam_due(&rule)) {
            beam(beam_x, beam_y, beam_z);
        }
        placing_ = true;
        position = first_position;
        role_number_ = world_->number();
        // Straightening knees bent by the gait or the keeper's crouch snaps
        // the body over backwards (the beam after a goal): slowly then.
        const bool bent = (state == GAIT || state == HANDUP) &&
                          (std::fabs(get("rlj4")) > kBentKnee || std::fabs(get("llj4")) > kBentKnee);
        ovarel(bent ? kSoftRest : 0.4);
        level_head();
        return true;
    }
    return false;
}

bool Tervalonaction::beam_due(const void* rule)
{
    const Worldmodel::TStatus& st = world_->current_status();
    const double now = st.time_;
    const bool moved = !placing_ || rule != beam_rule_ || world_->side() != beam_side_ ||
                       world_->number() != beam_number_ || beam_x != beamed_x_ ||
                       beam_y != beamed_y_ || beam_z != beamed_z_;
    bool due = moved;
    if (!due && (now - beam_time_ >= kBeamInterval || now < beam_time_)) {
        const double dx = st.position_.v_[0] - beam_x;
        const double dy = st.position_.v_[1] - beam_y;
        // NaN counts as off the point and down: a beam then puts things right.
        const bool on_point = dx * dx + dy * dy <= kOffPoint * kOffPoint;
        const bool upright = st.torso_up_.v_[2] >= 0.8;
        due = !on_point || !upright;
    }
    if (due) {
        beam_rule_ = rule;
        beam_side_ = world_->side();
        beam_number_ = world_->number();
        beamed_x_ = beam_x;
        beamed_y_ = beam_y;
        beamed_z_ = beam_z;
        beam_time_ = std::isfinite(now) ? now : 0.0;
    }
    return due;
}

void Tervalonaction::adopt_role()
{
    const int number = world_->number();
    if (number == role_number_ || number < 1 || number > kTeamSize) return;
    // The role the robot would have been given at the kick-off placement.
    const Placement* table = world_->side() == S_LEFT ? kOffense : kDefense;
    position = table[number - 1].role;
    role_number_ = number;
}

namespace {

// Other numbers keep whatever placement they had. The tables are for the
// 12 x 8 m field; on a larger one places scale with it, but the goalkeeper
// keeps its distance in front of the goal line.
void place_from(const Placement* table, int number, const FieldGeometry& field, double& x, double& y,
                double& z, SoccerPosition& role)
{
    if (number < 1 || number > kTeamSize) return;
    const Placement& p = table[number - 1];
    x = p.role == GK ? field.keeper_x() + (p.x - classic_field().keeper_x()) : p.x * field.scale_x();
    y = p.y * field.scale_y();
    z = p.z;
    role = p.role;
}

}  // namespace

void Tervalonaction::setOffense()
{
    place_from(kOffense, world_->number(), world_->field(), beam_x, beam_y, beam_z, first_position);
}

void Tervalonaction::setDefense()
{
    place_from(kDefense, world_->number(), world_->field(), beam_x, beam_y, beam_z, first_position);
}
