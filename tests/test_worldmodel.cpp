#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <boost/lexical_cast.hpp>

#include "worldmodel/worldmodel.h"

namespace {

typedef Worldmodel::TVector3 V;
typedef Worldmodel::TStatus S;

void expect_vec(const V& want, const V& got, const char* what)
{
    EXPECT_DOUBLE_EQ(want.v_[0], got.v_[0]) << what;
    EXPECT_DOUBLE_EQ(want.v_[1], got.v_[1]) << what;
    EXPECT_DOUBLE_EQ(want.v_[2], got.v_[2]) << what;
}

// Index of a snapshot in the ring, measured from slot 0.
long slot(const S* slot0, const S& s) { return &s - slot0; }

}  // namespace

// ---------------------------------------------------------------- ring

TEST(StatusHistory, BeforeAnyMessageEverythingIsSlotZero)
{
    Worldmodel w("Blue");
    const S* slot0 = &w.current_status();
    for (int i : {-5, 0, 1, 9, 10, 100}) {
        EXPECT_EQ(0, slot(slot0, w.status_history(i))) << i;
    }
}

TEST(StatusHistory, ClampsIntoTheMessagesSeen)
{
    struct Row {
        int messages;
        int i;
        long want;
    };
    const Row rows[] = {
        {1, 0, 1},  {1, 1, 0},  {1, 5, 0},  {1, 12, 0}, {1, -3, 1},
        {3, 2, 1},  {3, 3, 0},  {3, 4, 0},  {10, 0, 0}, {10, 9, 1},
        {25, 0, 5}, {25, 3, 2}, {25, 5, 0}, {25, 6, 9}, {25, 9, 6},
        {25, 10, 6}, {25, -1, 5},
    };
    for (const Row& r : rows) {
        Worldmodel w("Blue");
        const S* slot0 = &w.current_status();
        for (int n = 0; n < r.messages; ++n) {
            w.parse("");
        }
        EXPECT_EQ(r.messages % 10, slot(slot0, w.current_status())) << r.messages;
        EXPECT_EQ(r.want, slot(slot0, w.status_history(r.i)))
            << r.messages << " messages, i = " << r.i;
    }
}

TEST(StatusHistory, SlotKeepsWhatItsLastUseStored)
{
    Worldmodel w("Blue");
    w.parse("(B (pol 2 10 -3))(FRP (n lf) (c 1 2 3) (f 4 5 6))");  // slot 1
    for (int n = 0; n < 9; ++n) {
        w.parse("(HJ (n hj1) (ax 1))");
    }
    w.parse("");  // slot 1 again
    expect_vec(V(2, 10, -3), w.current_status().ball_, "ball from ten messages ago");
    w.parse("");  // slot 2 never saw the ball
    expect_vec(V(), w.current_status().ball_, "ball never seen");
}

TEST(StatusHistory, FootPressureIsZeroWhenNotReported)
{
    Worldmodel w("Blue");
    w.parse("(FRP (n lf) (c 1 2 3) (f 4 5 6))(FRP (n rf) (c 1 2 3) (f 4 5 6))");
    expect_vec(V(4, 5, 6), w.current_status().frp_["lf"].f_, "reported");
    for (int n = 0; n < 10; ++n) {
        w.parse("(HJ (n hj1) (ax 1))");
        const S& s = w.current_status();
        ASSERT_EQ(1u, s.frp_.count("lf"));
        ASSERT_EQ(1u, s.frp_.count("rf"));
        for (const char* foot : {"lf", "rf"}) {
            expect_vec(V(), s.frp_.at(foot).c_, foot);
            expect_vec(V(), s.frp_.at(foot).f_, foot);
        }
    }
}

TEST(Worldmodel, StartsWithoutIdentity)
{
    Worldmodel w("Blue");
    EXPECT_EQ("Blue", w.teamname());
    EXPECT_EQ(S_ERROR, w.side());
    EXPECT_EQ(0, w.number());
    const S& s = w.current_status();
    EXPECT_EQ(0.0, s.time_);
    EXPECT_EQ(0.0, s.gs_time_);
    EXPECT_EQ(0.0, s.hear_pos_);
    EXPECT_EQ(0.0, s.direction_);
}

// A robot that has not yet seen the corner flags counts as upright, in every
// slot, so that the fall check does not stand it up for nothing.
TEST(Worldmodel, UprightUntilLocalised)
{
    Worldmodel w("Blue");
    for (int i = 0; i < 12; ++i) {
        w.parse("(time (now 1.0))(GS (unum 2) (team left) (t 0.00) (pm PlayOn))");
        expect_vec(V(0, 0, 1), w.current_status().zax_, "zax");
    }
}

// ---------------------------------------------------------------- handlers

namespace {

struct HandlerCase {
    const char* what;
    std::vector<std::string> messages;
    std::function<void(Worldmodel&)> check;
};

const std::vector<HandlerCase>& handler_cases()
{
    static const std::vector<HandlerCase> table = {
        {"long game state sets identity", {"(GS (unum 3) (team left) (t 0) (pm BeforeKickOff))"},
         [](Worldmodel& w) {
             EXPECT_EQ(3, w.number());
             EXPECT_EQ(S_LEFT, w.side());
             EXPECT_EQ(0.0, w.current_status().gs_time_);
             EXPECT_EQ("BeforeKickOff", w.current_status().gs_pm_);
         }},
        {"short game state changes only time and play mode",
         {"(GS (unum 3) (team left) (t 0) (pm BeforeKickOff))(GS (t 5.5) (pm PlayOn))"},
         [](Worldmodel& w) {
             EXPECT_EQ(3, w.number());
             EXPECT_EQ(S_LEFT, w.side());
             EXPECT_EQ(5.5, w.current_status().gs_time_);
             EXPECT_EQ("PlayOn", w.current_status().gs_pm_);
         }},
        {"right side", {"(GS (unum 2) (team right) (t 1) (pm KickOff_Left))"},
         [](Worldmodel& w) { EXPECT_EQ(S_RIGHT, w.side()); }},
        {"unknown team side keeps the side but stores the rest",
         {"(GS (unum 2) (team right) (t 1) (pm A))", "(GS (unum 7) (team Left) (t 2) (pm B))"},
         [](Worldmodel& w) {
             EXPECT_EQ(S_RIGHT, w.side());
             EXPECT_EQ(7, w.number());
             EXPECT_EQ(2.0, w.current_status().gs_time_);
             EXPECT_EQ("B", w.current_status().gs_pm_);
         }},
        {"hearing oneself changes nothing", {"(hear 1 20 a)(hear 2 self b)"},
         [](Worldmodel& w) {
             EXPECT_EQ(20.0, w.current_status().hear_pos_);
             EXPECT_EQ("a", w.current_status().hear_message_);
         }},
        {"plain hearing leaves the pass target", {"(hear 0 10 pass(1.5 -2 0))(hear 1 -35.5 hello)"},
         [](Worldmodel& w) {
             EXPECT_EQ(-35.5, w.current_status().hear_pos_);
             EXPECT_EQ("hello", w.current_status().hear_message_);
             expect_vec(V(1.5, -2, 0), w.current_status().pass_, "pass");
         }},
        {"plain pass has no target", {"(hear 1 10 pass)"},
         [](Worldmodel& w) {
             EXPECT_EQ("pass", w.current_status().hear_message_);
             expect_vec(V(), w.current_status().pass_, "pass");
         }},
        {"parenthesised message other than pass", {"(hear 1 10 go(1 2 3))"},
         [](Worldmodel& w) {
             EXPECT_EQ(10.0, w.current_status().hear_pos_);
             EXPECT_EQ("go", w.current_status().hear_message_);
             expect_vec(V(), w.current_status().pass_, "pass");
         }},
        {"opponent", {"(P (team Red) (id 4) (pol 3.2 10 -5))"},
         [](Worldmodel& w) {
             S& s = w.current_status();
             expect_vec(V(3.2, 10, -5), s.player_["opp"][4], "opp 4");
             EXPECT_EQ(0u, s.player_["mate"].count(4));
         }},
        {"teammate", {"(P (team Blue) (id 4) (pol 3.2 10 -5))"},
         [](Worldmodel& w) { expect_vec(V(3.2, 10, -5), w.current_status().player_["mate"][4], "mate 4"); }},
        {"team name must match byte for byte",
         {"(P (team blue) (id 2) (pol 1 2 3))(P (team Blue2) (id 3) (pol 1 2 3))"},
         [](Worldmodel& w) {
             EXPECT_EQ(1u, w.current_status().player_["opp"].count(2));
             EXPECT_EQ(1u, w.current_status().player_["opp"].count(3));
             EXPECT_EQ(0u, w.current_status().player_["mate"].size());
         }},
        {"nan distance stores zeros", {"(P (team Blue) (id 4) (pol 1 2 3))(P (team Blue) (id 4) (pol nan 10 -5))"},
         [](Worldmodel& w) { expect_vec(V(), w.current_status().player_["mate"][4], "mate 4"); }},
        {"nan vertical angle stores zeros", {"(P (team Red) (id 5) (pol 3 10 nan))"},
         [](Worldmodel& w) { expect_vec(V(), w.current_status().player_["opp"][5], "opp 5"); }},
        {"nan contact point", {"(FRP (n lf) (c nan 0 0) (f 1 2 3))"},
         [](Worldmodel& w) {
             expect_vec(V(), w.current_status().frp_["lf"].c_, "c");
             expect_vec(V(1, 2, 3), w.current_status().frp_["lf"].f_, "f");
             expect_vec(V(), w.current_status().frp_["rf"].f_, "other foot");
         }},
        {"foot pressure", {"(FRP (n rf) (c 0.01 -0.02 -0.03) (f 0.5 -0.5 22.5))"},
         [](Worldmodel& w) {
             expect_vec(V(0.01, -0.02, -0.03), w.current_status().frp_["rf"].c_, "c");
             expect_vec(V(0.5, -0.5, 22.5), w.current_status().frp_["rf"].f_, "f");
         }},
        {"sensors and landmarks stored under their names",
         {"(GYR (n torso) (rt 1 -2 3.5))(HJ (n hj1) (ax -0.5))(HJ (n odd) (ax 7))"
          "(UJ (n laj1_2) (ax1 10) (ax2 -5))(G1R (pol 6 -20 -1))(B (pol 2 5 -10))(mypos 1 -2 0.5)"},
         [](Worldmodel& w) {
             S& s = w.current_status();
             expect_vec(V(1, -2, 3.5), s.gyr_["torso"], "gyr");
             EXPECT_EQ(-0.5, s.hj_["hj1"]);
             EXPECT_EQ(7.0, s.hj_["odd"]);
             EXPECT_EQ(10.0, s.uj_["laj1_2"].first);
             EXPECT_EQ(-5.0, s.uj_["laj1_2"].second);
             expect_vec(V(6, -20, -1), s.flag_["G1R"], "flag");
             expect_vec(V(2, 5, -10), s.ball_, "ball");
             expect_vec(V(1, -2, 0.5), s.position_mypos_, "mypos");
         }},
        {"later item of the same kind overwrites", {"(HJ (n hj1) (ax 1))(HJ (n hj1) (ax 2))"},
         [](Worldmodel& w) { EXPECT_EQ(2.0, w.current_status().hj_["hj1"]); }},

        // A field that is not a finite number drops that one perception.
        {"bad joint angle", {"(HJ (n hj1) (ax 1x))(HJ (n hj2) (ax 2))"},
         [](Worldmodel& w) {
             EXPECT_EQ(0u, w.current_status().hj_.count("hj1"));
             EXPECT_EQ(2.0, w.current_status().hj_["hj2"]);
         }},
        {"bad landmark angle leaves no half-written entry", {"(G1L (pol 1 abc 3))(B (pol 1 2 3))"},
         [](Worldmodel& w) {
             EXPECT_EQ(0u, w.current_status().flag_.count("G1L"));
             expect_vec(V(1, 2, 3), w.current_status().ball_, "ball");
         }},
        {"non-finite values", {"(B (pol inf 2 3))(HJ (n a) (ax nan))(HJ (n b) (ax -inf))(GYR (n g) (rt 1 NaN 2))"},
         [](Worldmodel& w) {
             expect_vec(V(), w.current_status().ball_, "ball");
             EXPECT_EQ(0u, w.current_status().hj_.size());
             EXPECT_EQ(0u, w.current_status().gyr_.size());
         }},
        {"out-of-range number", {"(time (now 1e400))(HJ (n a) (ax 1))"},
         [](Worldmodel& w) {
             EXPECT_EQ(0.0, w.current_status().time_);
             EXPECT_EQ(1.0, w.current_status().hj_["a"]);
         }},
        {"blank inside a field", {"(time (now 1 ))"},
         [](Worldmodel& w) { EXPECT_EQ(0.0, w.current_status().time_); }},
        {"bad uniform number drops the whole game state", {"(GS (unum x) (team left) (t 3) (pm PlayOn))"},
         [](Worldmodel& w) {
             EXPECT_EQ(S_ERROR, w.side());
             EXPECT_EQ("", w.current_status().gs_pm_);
         }},
        {"bad game time drops the whole game state", {"(GS (unum 3) (team left) (t zero) (pm PlayOn))"},
         [](Worldmodel& w) {
             EXPECT_EQ(S_ERROR, w.side());
             EXPECT_EQ(0, w.number());
         }},
        {"bad player id, even nan", {"(P (team Red) (id nan) (pol 1 2 3))(P (team Red) (id 2.5) (pol 1 2 3))"},
         [](Worldmodel& w) { EXPECT_TRUE(w.current_status().player_.empty()); }},
        {"player ids out of range",
         {"(P (team Blue) (id 0) (pol 1 2 3))(P (team Blue) (id -2) (pol 1 2 3))"
          "(P (team Red) (id 100) (pol 1 2 3))(P (team Red) (id 99) (pol 1 2 3))"},
         [](Worldmodel& w) {
             EXPECT_EQ(0u, w.current_status().player_["mate"].size());
             const std::map<int, V>& opp = w.current_status().player_["opp"];
             ASSERT_FALSE(opp.empty());
             EXPECT_EQ(1, opp.begin()->first);
             EXPECT_EQ(99, opp.rbegin()->first);
         }},
        {"bad player distance", {"(P (team Red) (id 4) (pol far 2 3))"},
         [](Worldmodel& w) { EXPECT_EQ(0u, w.current_status().player_["opp"].count(4)); }},
        {"nan elsewhere in the contact point", {"(FRP (n lf) (c 0 nan 0) (f 1 2 3))"},
         [](Worldmodel& w) { expect_vec(V(), w.current_status().frp_["lf"].f_, "f"); }},
        {"bad force", {"(FRP (n xf) (c nan 0 0) (f 1 x 3))"},
         [](Worldmodel& w) { EXPECT_EQ(0u, w.current_status().frp_.count("xf")); }},
        {"bad pass target drops the hearing", {"(hear 1 0 pass(1.5 x 0))"},
         [](Worldmodel& w) {
             EXPECT_EQ("", w.current_status().hear_message_);
             expect_vec(V(), w.current_status().pass_, "pass");
         }},
        {"bad hearing direction", {"(hear 1 left hello)"},
         [](Worldmodel& w) { EXPECT_EQ("", w.current_status().hear_message_); }},
    };
    return table;
}

}  // namespace

TEST(Handlers, StoreEachPerception)
{
    for (const HandlerCase& c : handler_cases()) {
        SCOPED_TRACE(c.what);
        Worldmodel w("Blue");
        testing::internal::CaptureStderr();
        for (const std::string& m : c.messages) {
            w.parse(m);
        }
        testing::internal::GetCapturedStderr();
        c.check(w);
    }
}

TEST(Handlers, SlowIntervalLine)
{
    struct Row {
        const char* first;
        const char* second;
        const char* want;
    };
    const Row rows[] = {
        {"12.30", "12.34", "message interval slow(>0.02): 0.04\n"},
        {"12.30", "12.321", "message interval slow(>0.02): 0.021\n"},
        {"12.32", "12.34", ""},
        {"12.30", "12.32", ""},
        {"12.34", "12.34", ""},
        {"12.34", "11", ""},
    };
    for (const Row& r : rows) {
        Worldmodel w("Blue");
        testing::internal::CaptureStderr();
        w.parse(std::string("(time (now ") + r.first + "))");
        testing::internal::GetCapturedStderr();
        testing::internal::CaptureStderr();
        w.parse(std::string("(time (now ") + r.second + "))");
        EXPECT_EQ(std::string(r.want), testing::internal::GetCapturedStderr())
            << r.first << " -> " << r.second;
    }
}

TEST(Handlers, FirstMessageComparesWithZero)
{
    for (const char* t : {"0.02", "0.5"}) {
        Worldmodel w("Blue");
        testing::internal::CaptureStderr();
        w.parse(std::string("(time (now ") + t + "))");
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::string(t) == "0.5" ? "message interval slow(>0.02): 0.5\n" : "", err);
    }
}

// Numbers are read as lexical_cast reads them; values that are not finite
// are refused as well.
TEST(Handlers, NumbersReadAsLexicalCastReadsThem)
{
    const char* texts[] = {"1.5", "-0.000", "+1.5", ".5", "5.", "-.5", "1e5", "1E-3", "00012", "0.1",
                           "-179.999", "1e", "--1", "0x10", "1.2.3", "12abc", "1 ", "1e-400",
                           "4.9e-324", "123456789012345678901234567890", "1e308", "nan", "-inf",
                           "INF", "infinity", "-", "."};
    for (const char* text : texts) {
        bool ok = true;
        double want = 0.0;
        try {
            want = boost::lexical_cast<double>(text);
            ok = std::isfinite(want);
        } catch (const boost::bad_lexical_cast&) {
            ok = false;
        }
        Worldmodel w("Blue");
        w.parse(std::string("(HJ (n a) (ax ") + text + "))");
        const S& s = w.current_status();
        ASSERT_EQ(ok ? 1u : 0u, s.hj_.count("a")) << text;
        if (ok) {
            EXPECT_EQ(want, s.hj_.at("a")) << text;
        }
    }
}

// Plain decimals up to 15 digits are read without the library; one digit
// more, or any other form, takes the library's way. Both give what
// lexical_cast gives, the sign of a zero included.
TEST(Handlers, PlainDecimalsAtTheEdgeOfFifteenDigits)
{
    const char* texts[] = {"999999999999999",  "9999999999999999", "9007199254740993", "0.12345678901234",
                           "0.123456789012345", "-12345678.9012345", "00000000000000.1", "0000000000000000.1",
                           "-0.000",           "0",                "-0",               "0.000000000000001",
                           "123.",             "-1.5e0",           "179.99999999999999"};
    for (const char* text : texts) {
        const double want = boost::lexical_cast<double>(text);
        Worldmodel w("Blue");
        w.parse(std::string("(HJ (n a) (ax ") + text + "))");
        ASSERT_EQ(1u, w.current_status().hj_.count("a")) << text;
        const double got = w.current_status().hj_.at("a");
        EXPECT_EQ(want, got) << text;
        EXPECT_EQ(std::signbit(want), std::signbit(got)) << text;
    }
}

// ---------------------------------------------------------------- snapshot

TEST(Status, DumpOfAnEmptySnapshotIsFiveLines)
{
    S s;
    testing::internal::CaptureStdout();
    s.dump();
    EXPECT_EQ("(TIME): 0\n(POSITION): 0: 0: 0\n(ZAXIS): 0: 0: 1\n(BALL): 0: 0: 0\n(GS): 0: : \n",
              testing::internal::GetCapturedStdout());
}

TEST(Status, DumpListsSensorsInKeyOrder)
{
    S s;
    s.time_ = 12.34;
    s.position_ = V(1.5, -2, 0.25);
    s.zax_ = V(0, 0, 1);
    s.ball_ = V(2, 5, -10);
    s.ball_xyz_ = V(9, 9, 9);
    s.gs_time_ = 1234567;
    s.gs_pm_ = "PlayOn";
    s.gyr_["torso"] = V(0.1, -0.2, 3);
    s.frp_["rf"] = Worldmodel::TFrpValue(0, 0, 0, 0, 0, 0);
    s.frp_["lf"] = Worldmodel::TFrpValue(0.01, -0.02, -0.03, 1, 2, 22.5);
    s.hj_["laj1"] = -90;
    s.hj_["hj1"] = 1.0 / 3.0;
    testing::internal::CaptureStdout();
    s.dump();
    EXPECT_EQ("(TIME): 12.34\n"
              "(POSITION): 1.5: -2: 0.25\n"
              "(ZAXIS): 0: 0: 1\n"
              "(BALL): 2: 5: -10\n"
              "(GS): 1.23457e+06: PlayOn: \n"
              "(GYR): torso: 0.1: -0.2: 3\n"
              "(FRP): lf: c( 0.01, -0.02, -0.03) f( 1, 2, 22.5)\n"
              "(FRP): rf: c( 0, 0, 0) f( 0, 0, 0)\n"
              "(HJ): hj1: 0.333333\n"
              "(HJ): laj1: -90\n",
              testing::internal::GetCapturedStdout());
}

// The dump formats numbers itself; it must write what the stream would.
TEST(Status, DumpNumbersMatchTheStreamDefaultFormat)
{
    const double values[] = {0.0, -0.0, 0.5, 3.0, 0.1234567, 12.345678, -0.000012, 1234567.0,
                             100000.0, 999999.5, 1e-300, -1e300, 0.0001, 123.4564999};
    for (double v : values) {
        S s;
        s.time_ = v;
        testing::internal::CaptureStdout();
        s.dump();
        const std::string out = testing::internal::GetCapturedStdout();
        std::ostringstream want;
        want << "(TIME): " << v << "\n";
        EXPECT_EQ(want.str(), out.substr(0, out.find('\n') + 1)) << v;
    }
}

TEST(Status, ClearEmptiesPerceptionsButKeepsDerivedPositions)
{
    S s;
    s.time_ = 1;
    s.gs_time_ = 2;
    s.hear_pos_ = 3;
    s.gs_pm_ = "PlayOn";
    s.hear_message_ = "hi";
    s.pass_ = V(1, 2, 3);
    s.hj_["a"] = 1;
    s.uj_["b"] = std::make_pair(1.0, 2.0);
    s.flag_["F1L"] = V(1, 2, 3);
    s.gyr_["g"] = V(1, 2, 3);
    s.player_["mate"][1] = V(1, 2, 3);
    s.player_xyz_["mate"][1] = V(4, 5, 6);
    s.frp_["lf"] = Worldmodel::TFrpValue(1, 2, 3, 4, 5, 6);
    s.ball_ = V(1, 2, 3);
    s.ball_xyz_ = V(7, 8, 9);
    s.position_ = V(1, 2, 3);
    s.position_mypos_ = V(1, 2, 3);
    s.zax_ = V(1, 2, 3);
    s.direction_ = 45;
    s.clear();
    EXPECT_EQ(0.0, s.time_);
    EXPECT_EQ(0.0, s.gs_time_);
    EXPECT_EQ(0.0, s.hear_pos_);
    EXPECT_EQ("", s.gs_pm_);
    EXPECT_EQ("", s.hear_message_);
    EXPECT_TRUE(s.hj_.empty() && s.uj_.empty() && s.flag_.empty() && s.gyr_.empty() &&
                s.player_.empty() && s.frp_.empty());
    expect_vec(V(), s.ball_, "ball");
    expect_vec(V(), s.position_, "position");
    expect_vec(V(), s.position_mypos_, "mypos");
    expect_vec(V(), s.zax_, "zax");
    expect_vec(V(1, 2, 3), s.pass_, "pass kept");
    expect_vec(V(7, 8, 9), s.ball_xyz_, "ball_xyz kept");
    expect_vec(V(4, 5, 6), s.player_xyz_["mate"][1], "player_xyz kept");
    EXPECT_EQ(45.0, s.direction_);
}
