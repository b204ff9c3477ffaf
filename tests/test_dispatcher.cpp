#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "decision/tervalonaction.h"

namespace {

typedef Worldmodel::TVector3 V;

const char* const kArmsAndLegs[] = {
    "raj1", "laj1", "raj2", "laj2", "raj3", "laj3", "raj4", "laj4", "rlj1", "llj1",
    "rlj2", "llj2", "rlj3", "llj3", "rlj4", "llj4", "rlj5", "llj5", "rlj6", "llj6",
};

// Effector order on the wire, with the joint each one drives.
const std::vector<std::pair<const char*, const char*> > kWireOrder = {
    {"hj1", "he1"},   {"hj2", "he2"},   {"laj1", "lae1"}, {"laj2", "lae2"}, {"laj3", "lae3"},
    {"laj4", "lae4"}, {"llj1", "lle1"}, {"llj2", "lle2"}, {"llj3", "lle3"}, {"llj4", "lle4"},
    {"llj5", "lle5"}, {"llj6", "lle6"}, {"raj1", "rae1"}, {"raj2", "rae2"}, {"raj3", "rae3"},
    {"raj4", "rae4"}, {"rlj1", "rle1"}, {"rlj2", "rle2"}, {"rlj3", "rle3"}, {"rlj4", "rle4"},
    {"rlj5", "rle5"}, {"rlj6", "rle6"},
};

const SoccerPosition kNoRole = static_cast<SoccerPosition>(9);

std::string num(double v)
{
    std::ostringstream out;
    out << v;
    return out.str();
}

class Dispatcher : public ::testing::Test {
protected:
    Dispatcher() : world_(new Worldmodel("Blue")), act_(world_) { act_.debug_flag_ = false; }

    Worldmodel::TStatus& status() { return world_->current_status(); }

    // Side and number arrive with the long game-state form.
    // With scores, today's server (for the rest of the run).
    void perceive(int number, const std::string& side, const std::string& play_mode, bool today = false)
    {
        world_->parse("(GS (unum " + std::to_string(number) + ") (team " + side + (today ? ") (sl 0) (sr 0)" : ")") +
                      " (t 0.00) (pm " + play_mode + "))");
        status().zax_ = V(0, 0, 1);
        act_.role_number_ = number;  // as if placed already: the role is the test's
    }

    void play_mode(const std::string& pm) { status().gs_pm_ = pm; }

    std::string cycle()
    {
        act_.clear();
        act_.action();
        return act_.get_commands();
    }

    static bool has_beam(const std::string& text) { return text.find("(beam") != std::string::npos; }

    boost::shared_ptr<Worldmodel> world_;
    Tervalonaction act_;
};

// ---- play-mode table --------------------------------------------------------

enum Values { OFFENSE, DEFENSE, UNCHANGED };

struct BeamCase {
    const char* name;
    const char* play_mode;
    const char* side;
    Values values;
    bool place;
};

class BeamTable : public Dispatcher, public ::testing::WithParamInterface<BeamCase> {};

// Number 3 has different offensive and defensive values, so the row is visible.
TEST_P(BeamTable, Row)
{
    const BeamCase& c = GetParam();
    perceive(3, c.side, c.play_mode);
    act_.beam_x = 99;
    act_.beam_y = 98;
    act_.beam_z = 97;
    act_.first_position = RUN;
    act_.position = RUN;
    act_.action_state_ = 5;
    act_.action_end_ = false;
    act_.clear();

    EXPECT_EQ(c.place, act_.check_beam());

    switch (c.values) {
    case OFFENSE:
        EXPECT_EQ(-2.2, act_.beam_x);
        EXPECT_EQ(-1.5, act_.beam_y);
        EXPECT_EQ(0.0, act_.beam_z);
        EXPECT_EQ(MF, act_.first_position);
        break;
    case DEFENSE:
        EXPECT_EQ(-3.0, act_.beam_x);
        EXPECT_EQ(0.5, act_.beam_y);
        EXPECT_EQ(0.0, act_.beam_z);
        EXPECT_EQ(DF, act_.first_position);
        break;
    case UNCHANGED:
        EXPECT_EQ(99.0, act_.beam_x);
        EXPECT_EQ(RUN, act_.first_position);
        break;
    }

    if (c.place) {
        EXPECT_EQ(c.values == OFFENSE ? "(beam -2.2 -1.5 0 )" : "(beam -3 0.5 0 )",
                  act_.get_commands());
        EXPECT_EQ(act_.first_position, act_.position);
        EXPECT_EQ(0, act_.action_state_);
        EXPECT_TRUE(act_.action_end_);
        EXPECT_EQ(22u, act_.new_joint.size());  // the rest posture, head level
    } else {
        EXPECT_EQ("", act_.get_commands());
        EXPECT_EQ(RUN, act_.position);
        EXPECT_EQ(5, act_.action_state_);
        EXPECT_FALSE(act_.action_end_);
        EXPECT_TRUE(act_.new_joint.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BeamTable,
    ::testing::Values(
        BeamCase{"BeforeKickOffLeft", "BeforeKickOff", "left", OFFENSE, true},
        BeamCase{"BeforeKickOffRight", "BeforeKickOff", "right", DEFENSE, true},
        BeamCase{"GoalRightLeft", "Goal_Right", "left", OFFENSE, true},
        BeamCase{"GoalRightRight", "Goal_Right", "right", DEFENSE, true},
        BeamCase{"GoalLeftLeft", "Goal_Left", "left", DEFENSE, true},
        BeamCase{"GoalLeftRight", "Goal_Left", "right", OFFENSE, true},
        BeamCase{"KickOffRightLeft", "KickOff_Right", "left", DEFENSE, true},
        BeamCase{"KickOffRightRight", "KickOff_Right", "right", OFFENSE, false},
        BeamCase{"KickOffLeftLeft", "KickOff_Left", "left", OFFENSE, false},
        BeamCase{"KickOffLeftRight", "KickOff_Left", "right", DEFENSE, true},
        // A side that is neither left nor right uses the right column.
        BeamCase{"BeforeKickOffNoSide", "BeforeKickOff", "nobody", DEFENSE, true},
        BeamCase{"KickOffLeftNoSide", "KickOff_Left", "nobody", DEFENSE, true},
        BeamCase{"PlayOnLeft", "PlayOn", "left", UNCHANGED, false},
        BeamCase{"PlayOnRight", "PlayOn", "right", UNCHANGED, false},
        BeamCase{"WrongCase", "beforekickoff", "left", UNCHANGED, false},
        BeamCase{"Prefix", "Goal", "right", UNCHANGED, false}),
    [](const ::testing::TestParamInfo<BeamCase>& info) { return std::string(info.param.name); });

struct BeamText {
    int number;
    const char* side;
    const char* text;
    SoccerPosition role;
};

class BeamTextByNumber : public Dispatcher, public ::testing::WithParamInterface<BeamText> {};

TEST_P(BeamTextByNumber, BeforeKickOffCycleStartsWithTheBeam)
{
    const BeamText& c = GetParam();
    perceive(c.number, c.side, "BeforeKickOff");
    const std::string text = cycle();
    EXPECT_EQ(0u, text.find(c.text)) << text;
    EXPECT_EQ(c.role, act_.position);
}

INSTANTIATE_TEST_SUITE_P(Numbers, BeamTextByNumber,
                         ::testing::Values(BeamText{1, "left", "(beam -5.5 0 0 )", GK},
                                           BeamText{2, "left", "(beam -0.17 -0.036 0 )", FW},
                                           BeamText{3, "left", "(beam -2.2 -1.5 0 )", MF},
                                           BeamText{1, "right", "(beam -5.5 0 0 )", GK},
                                           BeamText{2, "right", "(beam -2.5 -0.5 0 )", FW},
                                           BeamText{3, "right", "(beam -3 0.5 0 )", DF}));

TEST_F(Dispatcher, NumberWithoutAFormationPlaceKeepsThePreviousValues)
{
    // A fresh robot: beamed to the origin as a forward.
    perceive(12, "left", "BeforeKickOff");
    EXPECT_EQ(0u, cycle().find("(beam 0 0 0 )"));
    EXPECT_EQ(FW, act_.position);

    for (int number : {0, -1, 12, 99}) {
        act_.beam_x = 1.5;
        act_.beam_y = -2.5;
        act_.first_position = GK;
        perceive(number, "right", "Goal_Left");
        const std::string text = cycle();
        // No number from the server yet: no place to beam to.
        if (number < 1) {
            EXPECT_FALSE(has_beam(text)) << number;
        } else {
            EXPECT_EQ(0u, text.find("(beam 1.5 -2.5 0 )")) << number;
        }
        EXPECT_EQ(GK, act_.position) << number;
    }
}

struct Spot {
    int number;
    double x, y;
    SoccerPosition role;
};

// On both fields: in the own half, on the field, apart, and the lines in order.
TEST_F(Dispatcher, FullTeamSpreadsOverTheOwnHalfOnBothSides)
{
    for (const bool today : {false, true}) {  // classic first: today's stays
        const FieldGeometry& f = today ? today_field() : classic_field();
        const double k = f.scale_x();
        for (const char* side : {"left", "right"}) {
            for (const char* pm : {"BeforeKickOff", "Goal_Left"}) {
                std::vector<Spot> spots;
                for (int n = 1; n <= 11; ++n) {
                    perceive(n, side, pm, today);
                    act_.check_beam();
                    spots.push_back(Spot{n, act_.beam_x, act_.beam_y, act_.first_position});
                }
                int keepers = 0, count[GK + 1] = {};
                double sum[GK + 1] = {}, last_defender = -99.0, first_forward = 99.0;
                for (const Spot& s : spots) {
                    SCOPED_TRACE(std::string(side) + " " + pm + (today ? " today #" : " #") + std::to_string(s.number));
                    EXPECT_GE(s.x, f.keeper_x());
                    EXPECT_LT(s.x, 0.0);
                    EXPECT_LT(std::fabs(s.y), f.half_width - 0.5 * k);
                    ASSERT_GE(s.role, FW);
                    ASSERT_LE(s.role, GK);  // nobody is placed as the runner
                    if (s.role == GK) ++keepers;
                    sum[s.role] += s.x;
                    ++count[s.role];
                    if (s.role == DF) last_defender = std::max(last_defender, s.x);
                    if (s.role == FW) first_forward = std::min(first_forward, s.x);
                    // Only the kick-off taker stands next to the centre spot.
                    if (s.number != 2) {
                        EXPECT_GE(std::hypot(s.x, s.y), 2.0 * k);
                    }
                    for (const Spot& o : spots) {
                        if (o.number <= s.number) continue;
                        EXPECT_GE(std::hypot(s.x - o.x, s.y - o.y), 1.0 * k) << "#" << o.number;
                    }
                }
                EXPECT_EQ(1, keepers);
                EXPECT_EQ(GK, spots[0].role);
                EXPECT_LT(sum[DF] / count[DF], sum[MF] / count[MF]);
                EXPECT_LT(sum[MF] / count[MF], sum[FW] / count[FW]);
                EXPECT_LT(last_defender, first_forward);
            }
        }
    }
}

// ---- order of one cycle -----------------------------------------------------

TEST_F(Dispatcher, UnfinishedStandUpPreemptsPlacement)
{
    perceive(2, "left", "BeforeKickOff");
    act_.state = STANDUP_BACK;
    act_.action_end_ = false;
    act_.position = RUN;
    const std::string text = cycle();
    EXPECT_FALSE(has_beam(text)) << text;
    EXPECT_EQ(RUN, act_.position);
    EXPECT_EQ(0.0, act_.beam_x);            // placement never looked at
    EXPECT_EQ(120.0, act_.aim_joint.at("laj1"));  // back stand-up, phase 0
    EXPECT_EQ(STANDUP_BACK, act_.state);
    EXPECT_FALSE(act_.action_end_);
}

TEST_F(Dispatcher, ForcedForwardStandUpPreemptsPlacement)
{
    perceive(2, "left", "BeforeKickOff");
    act_.standup_flag_ = true;
    const std::string text = cycle();
    EXPECT_FALSE(has_beam(text)) << text;
    EXPECT_EQ(-90.0, act_.aim_joint.at("raj1"));  // forward stand-up, phase 0
    EXPECT_EQ(1, act_.action_state_);
}

TEST_F(Dispatcher, FinishedStandUpNoLongerPreemptsPlacement)
{
    perceive(2, "left", "BeforeKickOff");
    act_.state = STANDUP_BACK;
    act_.action_end_ = true;
    EXPECT_EQ(0u, cycle().find("(beam -0.17 -0.036 0 )"));
}

TEST_F(Dispatcher, PlacementPreemptsRoleAndMotion)
{
    perceive(2, "left", "BeforeKickOff");
    for (const char* j : kArmsAndLegs) status().hj_[j] = 10.0;
    act_.state = STOP;
    act_.action_state_ = 3;
    act_.action_end_ = false;
    act_.position = RUN;
    const std::string text = cycle();
    EXPECT_EQ(0u, text.find("(beam -0.17 -0.036 0 )")) << text;
    EXPECT_EQ(FW, act_.position);
    EXPECT_EQ(STOP, act_.state);  // the runner would have chosen WALK
    EXPECT_EQ(0.0, act_.aim_joint.at("raj1"));  // stop() would aim at -90
    EXPECT_EQ(0.0, act_.aim_joint.at("hj2"));   // the head is brought level
    EXPECT_DOUBLE_EQ(-10.0 * 0.4, act_.new_joint.at("raj1"));
    EXPECT_EQ(0, act_.action_state_);
    EXPECT_TRUE(act_.action_end_);
}

// Knees still bent from the gait straighten slowly: snapped straight, the
// body fell over backwards after every beam of a goal on the real server.
TEST_F(Dispatcher, PlacementStraightensBentKneesSlowly)
{
    const struct {
        BehaviorState state;
        double rlj4, llj4, gain;
    } cases[] = {{GAIT, -20.0, 20.0, 0.4}, {GAIT, -20.5, 0.0, 0.1}, {GAIT, 0.0, -73.0, 0.1}, {STOP, 0.0, -73.0, 0.4}};
    for (const auto& c : cases) {
        perceive(2, "left", "Goal_Left");
        act_.state = c.state;
        for (const char* j : kArmsAndLegs) status().hj_[j] = 10.0;
        status().hj_["rlj4"] = c.rlj4;
        status().hj_["llj4"] = c.llj4;
        cycle();
        EXPECT_DOUBLE_EQ(-10.0 * c.gain, act_.new_joint.at("raj1")) << c.rlj4 << " " << c.llj4;
    }
}

// On today's server a keeper upright on its point keeps its goal through a
// goal's placement; on the classic one it is placed, as every robot.
TEST_F(Dispatcher, KeeperOnItsPointSkipsAGoalsPlacementOnTodaysServerOnly)
{
    for (const bool today : {true, false}) {
        perceive(1, "left", "Goal_Right", today);
        act_.position = GK;
        act_.first_position = GK;
        status().position_ = V(today ? -13.9 : -5.5, 0.05, 0.4);
        status().torso_up_ = V(0, 0, 1);
        cycle();
        EXPECT_EQ(!today, act_.placing_) << today;
    }
}

// Every beam makes the server's physics drift; placement beams when it starts
// or the point changes, else only to put right a robot off its point or down,
// at most once a second.
TEST_F(Dispatcher, BeamOnlyWhenPlacementStartsThePointChangesOrTheRobotIsOff)
{
    perceive(3, "right", "KickOff_Left");
    struct Step {
        const char* what;
        double time;
        const char* play_mode;
        V position;
        double up_z;
        const char* beam;  // expected beam, or "" for none
    } steps[] = {
        // Before the kick-off no fall is detected, so a robot down stays placed.
        {"placement starts", 0.00, "BeforeKickOff", V(0, 0, 0), 1.0, "(beam -3 0.5 0 )"},
        {"held: no beam", 0.02, "BeforeKickOff", V(0, 0, 0), 1.0, ""},
        {"on its point", 1.50, "BeforeKickOff", V(-3.0, 0.4, 0.5), 1.0, ""},
        {"off, a second after the beam", 1.52, "BeforeKickOff", V(0, 0, 0.5), 1.0, "(beam -3 0.5 0 )"},
        {"still off, too soon again", 1.60, "BeforeKickOff", V(0, 0, 0.5), 1.0, ""},
        {"still off, a second later", 2.52, "BeforeKickOff", V(0, 0, 0.5), 1.0, "(beam -3 0.5 0 )"},
        {"just within 0.25 m", 3.60, "BeforeKickOff", V(-3.0, 0.74, 0.5), 1.0, ""},
        {"on its point but down", 3.62, "BeforeKickOff", V(-3.0, 0.5, 0.5), 0.3, "(beam -3 0.5 0 )"},
        {"upright exactly at 0.8", 4.70, "BeforeKickOff", V(-3.0, 0.5, 0.5), 0.8, ""},
        {"other placement mode", 4.72, "KickOff_Left", V(-3.0, 0.5, 0.5), 1.0, "(beam -3 0.5 0 )"},
        {"play", 4.74, "PlayOn", V(-3.0, 0.5, 0.5), 1.0, ""},
        {"placement again", 4.76, "KickOff_Left", V(-3.0, 0.5, 0.5), 1.0, "(beam -3 0.5 0 )"},
    };
    for (const Step& s : steps) {
        status().time_ = s.time;
        play_mode(s.play_mode);
        status().position_ = s.position;
        status().torso_up_ = V(0, 0, s.up_z);
        const std::string text = cycle();
        const std::string::size_type end = text.find(')');
        EXPECT_EQ(s.beam, has_beam(text) ? text.substr(0, end + 1) : std::string()) << s.what;
    }
}

TEST_F(Dispatcher, NumberLearnedOutsidePlacementTakesItsRole)
{
    // Joined during play: never placed, yet number 1 keeps goal.
    world_->parse("(GS (unum 1) (team left) (t 5.00) (pm PlayOn))");
    status().zax_ = V(0, 0, 1);
    cycle();
    EXPECT_EQ(GK, act_.position);
    EXPECT_EQ(1, act_.role_number_);
    // Once given, the role stays the role's business.
    act_.position = RUN;
    cycle();
    EXPECT_EQ(RUN, act_.position);
    // Right side: the number's defensive role.
    Worldmodel::TStatus& st = status();
    (void)st;
    world_->parse("(GS (unum 3) (team right) (t 5.02) (pm PlayOn))");
    cycle();
    EXPECT_EQ(DF, act_.position);
}

TEST_F(Dispatcher, OwnKickOffRefreshesTheOffenseValuesAndPlays)
{
    perceive(3, "left", "KickOff_Left");
    act_.position = RUN;
    const std::string text = cycle();
    EXPECT_FALSE(has_beam(text)) << text;
    EXPECT_EQ(-2.2, act_.beam_x);
    EXPECT_EQ(-1.5, act_.beam_y);
    EXPECT_EQ(MF, act_.first_position);
    EXPECT_EQ(RUN, act_.position);
    EXPECT_EQ(WALK, act_.state);  // the runner's choice
}

TEST_F(Dispatcher, WithoutPlacementTheMotionOfTheStateRuns)
{
    perceive(2, "left", "PlayOn");
    act_.position = kNoRole;
    act_.state = STOP;
    act_.action_end_ = false;
    status().hj_["rlj5"] = 19.5;
    const std::string text = cycle();
    EXPECT_FALSE(has_beam(text));
    EXPECT_EQ(-90.0, act_.aim_joint.at("raj1"));
    EXPECT_TRUE(act_.action_end_);
}

TEST_F(Dispatcher, RestStateRunsTheRestPostureWithGainPointTwo)
{
    perceive(2, "left", "PlayOn");
    act_.position = kNoRole;
    status().hj_["llj2"] = 10.0;
    cycle();
    EXPECT_DOUBLE_EQ(-2.0, act_.new_joint.at("llj2"));
    EXPECT_EQ(20u, act_.new_joint.size());
}

class HoldOnly : public Dispatcher, public ::testing::WithParamInterface<int> {};

// MIN_BACK and states outside the table: only the hold commands go out.
TEST_P(HoldOnly, CommandsAreTheHoldCommands)
{
    perceive(2, "left", "PlayOn");
    act_.position = kNoRole;
    act_.state = static_cast<BehaviorState>(GetParam());
    act_.aim_joint["raj2"] = -30.0;
    std::string expected;
    double measured = -3.0;
    for (const auto& j : kWireOrder) {
        status().hj_[j.first] = measured;
        const double aim = act_.aim_joint[j.first];
        const double gain = std::fabs(measured - aim) > 0.2 ? 0.05 : 0.005;
        expected += std::string("(") + j.second + " " + num((aim - measured) * gain) + ")";
        measured += 0.15;
    }
    EXPECT_EQ(expected, cycle());
    EXPECT_EQ(GetParam(), static_cast<int>(act_.state));
}

INSTANTIATE_TEST_SUITE_P(States, HoldOnly, ::testing::Values(static_cast<int>(MIN_BACK), 16, -1, 1000));

}  // namespace
