// Today's server as the world model and the decision layer see it: how it
// is recognised, its game state, accelerometer, players and hearing, and the
// larger field behind every field place.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "agent/soccerbotbehavior.h"
#include "decision/tervalonaction.h"

namespace {

typedef Worldmodel::TVector3 V;

const std::string kScored = "(GS (sl 0) (sr 0) (t 0.000) (pm BeforeKickOff) (k left) (ti () ()))";
const std::string kLong =
    "(GS (unum 3) (team right) (sl 1) (sr 2) (t 4.500) (pm PlayOn) (k left) (ti ((1 penalty_none 238458688.000)) ()))";

}  // namespace

TEST(TodayServer, RecognisedByScoreFieldsAndForTheWholeRun)
{
    struct Step {
        const char* what;
        std::string message;
        Generation want;
        const char* play_mode;
    };
    const Step steps[] = {
        {"classic short form", "(GS (t 0.00) (pm BeforeKickOff))", GEN_CLASSIC, "BeforeKickOff"},
        // Unread, the play mode is what the slot last held: nothing here.
        {"neither form: nothing changes", "(GS (t 1.0) (pm PlayOn) (k left))", GEN_CLASSIC, ""},
        {"a third generation: nothing changes", "(GS (score 1 2) (t 1.0) (pm PlayOn))", GEN_CLASSIC, ""},
        {"only one score field: not today's", "(GS (sl 0) (t 1.0) (pm PlayOn))", GEN_CLASSIC, ""},
        {"score fields", kScored, GEN_TODAY, "BeforeKickOff"},
        {"classic form again does not flip back", "(GS (t 2.00) (pm KickOff_Left))", GEN_TODAY, "KickOff_Left"},
        {"both forms in one message", "(GS (t 3.00) (pm PlayOn))" + kScored, GEN_TODAY, "BeforeKickOff"},
    };
    Worldmodel w("Alpha");
    for (const Step& s : steps) {
        w.parse(s.message);
        EXPECT_EQ(s.want, w.generation()) << s.what;
        EXPECT_EQ(s.play_mode, w.current_status().gs_pm_) << s.what;
        EXPECT_EQ(s.want == GEN_TODAY ? 15.0 : 6.0, w.field().half_length) << s.what;
    }
}

TEST(TodayServer, GameStateInAnyOrder)
{
    struct Case {
        const char* what;
        std::string message;
        int number;
        SideID side;
        double time;
        const char* play_mode;
        int left, right;
        const char* kickoff;
    };
    const Case cases[] = {
        {"long form", kLong, 3, S_RIGHT, 4.5, "PlayOn", 1, 2, "left"},
        {"any order", "(GS (pm Goal_Left) (k right) (sr 4) (t 9.25) (sl 3))", 0, S_ERROR, 9.25, "Goal_Left", 3, 4,
         "right"},
        {"a bad score drops the item", "(GS (sl x) (sr 0) (t 1.0) (pm PlayOn))", 0, S_ERROR, 0.0, "", 0, 0, ""},
        {"a bad number drops the item", "(GS (unum 2) (team left) (sl 0) (sr 0) (t 1e999) (pm PlayOn))", 0,
         S_ERROR, 0.0, "", 0, 0, ""},
        {"odd side keeps the side", "(GS (unum 5) (team up) (sl 0) (sr 0) (t 2) (pm PlayOn))", 5, S_ERROR, 2.0,
         "PlayOn", 0, 0, ""},
    };
    for (const Case& c : cases) {
        Worldmodel w("Alpha");
        w.parse(c.message);
        const Worldmodel::TStatus& s = w.current_status();
        EXPECT_EQ(c.number, w.number()) << c.what;
        EXPECT_EQ(c.side, w.side()) << c.what;
        EXPECT_EQ(c.time, s.gs_time_) << c.what;
        EXPECT_EQ(c.play_mode, s.gs_pm_) << c.what;
        EXPECT_EQ(c.left, s.score_left_) << c.what;
        EXPECT_EQ(c.right, s.score_right_) << c.what;
        EXPECT_EQ(c.kickoff, s.kickoff_) << c.what;
    }
}

TEST(TodayServer, EveryReplyEndsWithSynFromTheFirstThatShowsTheGeneration)
{
    boost::shared_ptr<Worldmodel> w(new Worldmodel("Alpha"));
    boost::shared_ptr<Tervalonaction> act(new Tervalonaction(w));
    SoccerbotBehavior b(w, act);
    testing::internal::CaptureStdout();
    const std::string classic = b.think("(time (now 0.02))(GS (t 0.00) (pm BeforeKickOff))");
    const std::string first = b.think("(time (now 0.04))" + kScored);
    const std::string next = b.think("(time (now 0.06))(GS (t 0.00) (pm BeforeKickOff))");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::string::npos, classic.find("(syn)"));
    EXPECT_EQ(first.size() - 5, first.find("(syn)"));
    EXPECT_EQ(first.find("(syn)"), first.rfind("(syn)"));
    EXPECT_EQ(next.size() - 5, next.find("(syn)"));
    // The dump: the classic game-state line, then today's with scores,
    // kick-off side and the heading.
    EXPECT_NE(std::string::npos, out.find("(GS): 0: BeforeKickOff: \n"));
    EXPECT_NE(std::string::npos, out.find("(DIRECTION): 0\n(GS): 0: BeforeKickOff: 0: 0: left: \n"));
}

TEST(TodayServer, TiltFromTheAccelerometer)
{
    struct Case {
        const char* what;
        V acc;       // server axes: right, forward, up
        V want;      // torso up: forward, left, up, after enough steady readings
    };
    const Case cases[] = {
        {"upright", V(0, 0, 9.81), V(0, 0, 1)},
        {"on the front", V(0, -9.8, 0.4), V(-0.999, 0, 0.041)},
        {"on the back", V(0, 9.8, 0.4), V(0.999, 0, 0.041)},
        {"on the right side", V(-9.75, 0, 1.1), V(0, 0.994, 0.112)},
    };
    for (const Case& c : cases) {
        Worldmodel w("Alpha");
        char acc[96];
        std::snprintf(acc, sizeof acc, "(ACC (n torso) (a %.3f %.3f %.3f))", c.acc.v_[0], c.acc.v_[1], c.acc.v_[2]);
        for (int k = 0; k < 30; ++k) w.parse(kScored + "(HJ (n hj2) (ax 20))" + acc);
        const Worldmodel::TStatus& s = w.current_status();
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(c.want.v_[i], s.torso_up_.v_[i], 2e-3) << c.what;
        // The camera's tilt is the torso's seen through the pitched neck.
        const double q = 20 * M_PI / 180;
        EXPECT_NEAR(c.want.v_[0] * std::cos(q) + c.want.v_[2] * std::sin(q), s.zax_.v_[0], 2e-3) << c.what;
    }

    // A jolt far from gravity (a landing, a beam) says nothing about the tilt;
    // a single reading moves the tilt only part of the way.
    Worldmodel w("Alpha");
    w.parse(kScored + "(ACC (n torso) (a 0 0 29.42))(ACC (n torso) (a 0 -29 0))");
    EXPECT_EQ(1.0, w.current_status().torso_up_.v_[2]);
    w.parse(kScored + "(ACC (n torso) (a 0 -9.81 0))");
    EXPECT_GT(w.current_status().torso_up_.v_[2], 0.5);
    for (int k = 0; k < 5; ++k) w.parse(kScored + "(ACC (n torso) (a 0 -9.81 0))");
    EXPECT_LT(w.current_status().torso_up_.v_[2], 0.5);
}

TEST(TodayServer, PlayersAsBodyPartsAndHearingWithTheTeam)
{
    Worldmodel w("Alpha");
    w.parse(kScored +
            "(See (P (team Alpha) (id 2) (rfoot (pol 3 10 -5)) (head (pol 2 20 1)))"
            " (P (team Beta) (id 4) (lfoot (pol 1 0 0)) (rfoot (pol 1 90 0))))"
            "(hear Alpha 0.000 65.512 hello123)(hear Alpha 0.000 self mine)(hear Beta 1.5 -20 go on)");
    const Worldmodel::TStatus& s = w.current_status();
    const V head = s.player_.at("mate").at(2);
    EXPECT_EQ(2.0, head.v_[0]);  // the head, whatever else is seen
    EXPECT_EQ(20.0, head.v_[1]);
    const V feet = s.player_.at("opp").at(4);  // between the two feet
    EXPECT_NEAR(std::sqrt(0.5), feet.v_[0], 1e-9);
    EXPECT_NEAR(45.0, feet.v_[1], 1e-9);
    EXPECT_EQ(-20.0, s.hear_pos_);
    EXPECT_EQ("go on", s.hear_message_);
}

// Formation places scale with the field, the goalkeeper's line keeps its
// half metre, and every number 1-11 stands in its own half on both fields.
TEST(TodayServer, FieldPlacesOnTheLargerField)
{
    for (const char* gs : {"(GS (unum %d) (team left) (t 0) (pm BeforeKickOff))",
                           "(GS (unum %d) (team right) (sl 0) (sr 0) (t 0) (pm BeforeKickOff))"}) {
        const bool today = std::string(gs).find("sl") != std::string::npos;
        const FieldGeometry& f = today ? today_field() : classic_field();
        for (int n = 1; n <= 11; ++n) {
            boost::shared_ptr<Worldmodel> w(new Worldmodel("Alpha"));
            Tervalonaction act(w);
            char m[128];
            std::snprintf(m, sizeof m, gs, n);
            w->parse(m);
            for (void (Tervalonaction::*set)() : {&Tervalonaction::setOffense, &Tervalonaction::setDefense}) {
                (act.*set)();
                EXPECT_LT(act.beam_x, -0.1) << n;
                EXPECT_GE(act.beam_x, -f.half_length + 0.5) << n;
                EXPECT_LT(std::fabs(act.beam_y), f.half_width) << n;
                if (n == 1) {
                    EXPECT_EQ(f.keeper_x(), act.beam_x);
                }
            }
            EXPECT_EQ(f.half_length, act.goal_pos("opp").v_[0]);
        }
    }
    EXPECT_EQ(-13.9, today_field().keeper_x());
    EXPECT_EQ(-5.5, classic_field().keeper_x());
}

// Through the world model: a vision message with a single landmark keeps the
// last estimate; two landmarks give a new one.
TEST(TodayServer, FewerThanTwoLandmarksKeepTheLastEstimate)
{
    Worldmodel w("Alpha");
    w.parse(kLong + "(ACC (n torso) (a 0 0 9.81))");  // right side, upright, never localised
    Worldmodel::TStatus& s = w.current_status();
    s.position_ = V(-4.0, -1.0, 0.5);
    s.direction_ = 6.0;
    const V before = s.position_;
    // Right side: the field turned half round, so F2R stands at (-15, 10).
    w.parse(kLong + "(ACC (n torso) (a 0 0 9.81))(See (F2R (pol 14.1 48.0 -2.0)))");
    EXPECT_EQ(before.v_[0], w.current_status().position_.v_[0]);
    EXPECT_EQ(6.0, w.current_status().direction_);
    // F2R and G2R ((-15, 1.05) in this frame) seen from (-4, -1) facing 6 degrees.
    const double dx1 = -15 + 4, dy1 = 10 + 1, dx2 = -15 + 4, dy2 = 1.05 + 1;
    char see[160];
    std::snprintf(see, sizeof see, "(See (F2R (pol %.3f %.3f %.3f)) (G2R (pol %.3f %.3f %.3f)))",
                  std::hypot(std::hypot(dx1, dy1), 0.5), std::atan2(dy1, dx1) * 180 / M_PI - 6.0,
                  std::atan2(-0.5, std::hypot(dx1, dy1)) * 180 / M_PI, std::hypot(std::hypot(dx2, dy2), 0.3),
                  std::atan2(dy2, dx2) * 180 / M_PI - 6.0 - 360.0 * (std::atan2(dy2, dx2) * 180 / M_PI - 6.0 > 180),
                  std::atan2(0.3, std::hypot(dx2, dy2)) * 180 / M_PI);
    w.parse(kLong + "(ACC (n torso) (a 0 0 9.81))" + see);
    EXPECT_NEAR(-4.0, w.current_status().position_.v_[0], 0.05);
    EXPECT_NEAR(-1.0, w.current_status().position_.v_[1], 0.05);
    EXPECT_NEAR(6.0, w.current_status().direction_, 1.0);
}
