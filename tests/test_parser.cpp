#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "perception/parser.h"

namespace {

// One delivered callback: which one, its offset, and every group's text.
struct Call {
    std::string name;
    int i;
    std::vector<std::string> groups;
};

class Recorder : public Parser {
public:
    std::vector<Call> calls;

    void time_callback(const match_results& m, int i) override { add("time", m, i); }
    void gs_callback(const match_results& m, int i) override { add("gs", m, i); }
    void hear_callback(const match_results& m, int i) override { add("hear", m, i); }
    void gyr_callback(const match_results& m, int i) override { add("gyr", m, i); }
    void flag_callback(const match_results& m, int i) override { add("flag", m, i); }
    void ball_callback(const match_results& m, int i) override { add("ball", m, i); }
    void player_callback(const match_results& m, int i) override { add("player", m, i); }
    void uj_callback(const match_results& m, int i) override { add("uj", m, i); }
    void hj_callback(const match_results& m, int i) override { add("hj", m, i); }
    void frp_callback(const match_results& m, int i) override { add("frp", m, i); }
    void mypos_callback(const match_results& m, int i) override { add("mypos", m, i); }
    void acc_callback(const match_results& m, int i) override { add("acc", m, i); }

private:
    void add(const char* name, const match_results& m, int i)
    {
        Call c{name, i, {}};
        for (std::size_t k = 0; k < m.size(); ++k) {
            c.groups.push_back(m[k].str());
        }
        calls.push_back(c);
    }
};

// Expected callback: the groups listed must hold these texts, every other
// group but 0 must be empty.
struct Expected {
    std::string name;
    int i;
    std::map<int, std::string> groups;
};

struct Case {
    const char* what;
    std::string message;
    std::vector<Expected> calls;
};

const std::vector<Case>& cases()
{
    static const std::vector<Case> table = {
        {"time", "(time (now 12.34))", {{"time", 0, {{1, "12.34"}}}}},
        {"short game state", "(GS (t 0.00) (pm BeforeKickOff))",
         {{"gs", 1, {{2, "0.00"}, {3, "BeforeKickOff"}}}}},
        {"long game state", "(GS (unum 3) (team left) (t 0.00) (pm BeforeKickOff))",
         {{"gs", 3, {{4, "3"}, {5, "left"}, {6, "0.00"}, {7, "BeforeKickOff"}}}}},
        {"vision block", "(See (F1L (pol 10.5 -30.2 1.1)) (B (pol 2 5 -10)))",
         {{"flag", 20, {{21, "F1L"}, {22, "10.5"}, {23, "-30.2"}, {24, "1.1"}}},
          {"ball", 24, {{25, "2"}, {26, "5"}, {27, "-10"}}}}},
        {"hinge joint", "(HJ (n hj1) (ax -0.5))", {{"hj", 35, {{36, "hj1"}, {37, "-0.5"}}}}},
        {"foot pressure", "(FRP (n lf) (c 0 0 -0.01) (f 0 0 22.5))",
         {{"frp", 37,
           {{38, "lf"}, {39, "0"}, {40, "0"}, {41, "-0.01"}, {42, "0"}, {43, "0"}, {44, "22.5"}}}}},
        {"repeated items in text order", "(HJ (n hj2) (ax 2))(HJ (n hj1) (ax 1))(HJ (n hj2) (ax 3))",
         {{"hj", 35, {{36, "hj2"}, {37, "2"}}},
          {"hj", 35, {{36, "hj1"}, {37, "1"}}},
          {"hj", 35, {{36, "hj2"}, {37, "3"}}}}},
        {"gyroscope nested deeply", "(A (B (C (GYR (n torso) (rt 1 2 3)))))",
         {{"gyr", 16, {{17, "torso"}, {18, "1"}, {19, "2"}, {20, "3"}}}}},
        {"empty message", "", {}},
        {"plain hear", "(hear 12.5 self hello)",
         {{"hear", 13, {{14, "12.5"}, {15, "self"}, {16, "hello"}}}}},
        {"plain hear swallows closing parentheses but the last", "(hear 12.5 -20 hello)))",
         {{"hear", 13, {{14, "12.5"}, {15, "-20"}, {16, "hello))"}}}}},
        {"parenthesised hear", "(hear 3.5 -35 pass(1.5 -2 0))",
         {{"hear", 7,
           {{8, "3.5"}, {9, "-35"}, {10, "pass"}, {11, "1.5"}, {12, "-2"}, {13, "0"}}}}},
        {"player", "(P (team Blue) (id 4) (pol 3.2 10 -5))",
         {{"player", 27, {{28, "Blue"}, {29, "4"}, {30, "3.2"}, {31, "10"}, {32, "-5"}}}}},
        {"universal joint", "(UJ (n laj1_2) (ax1 10) (ax2 -5))",
         {{"uj", 32, {{33, "laj1_2"}, {34, "10"}, {35, "-5"}}}}},
        {"mypos", "(mypos 1 -2 0.5)", {{"mypos", 44, {{45, "1"}, {46, "-2"}, {47, "0.5"}}}}},
        {"goal post is a landmark", "(G2R (pol 6.1 -20 -1))",
         {{"flag", 20, {{21, "G2R"}, {22, "6.1"}, {23, "-20"}, {24, "-1"}}}}},
        {"items in any order", "(B (pol 1 2 3))(time (now 5))(F2L (pol 4 5 6))",
         {{"ball", 24, {{25, "1"}, {26, "2"}, {27, "3"}}},
          {"time", 0, {{1, "5"}}},
          {"flag", 20, {{21, "F2L"}, {22, "4"}, {23, "5"}, {24, "6"}}}}},
        {"unknown perceptors skipped", "(TCH (n bumper) (val 0))(xyz (n q))(time (now 1))",
         {{"time", 0, {{1, "1"}}}}},
        // Today's server: its forms come after the first grammar's groups.
        {"game state with score fields: today's form, every sub-item in one group",
         "(GS (sl 0) (sr 0) (t 0.000) (pm BeforeKickOff) (k left) (ti () ()))",
         {{"gs", 47, {{48, "(sl 0) (sr 0) (t 0.000) (pm BeforeKickOff) (k left) (ti () ())"}}}}},
        {"today's long game state with a penalty list nested three deep",
         "(GS (unum 1) (team left) (sl 0) (sr 2) (t 1.5) (pm PlayOn) (k left) (ti ((1 penalty_none 2.0)) ()))",
         {{"gs", 47, {{48, "(unum 1) (team left) (sl 0) (sr 2) (t 1.5) (pm PlayOn) (k left) "
                            "(ti ((1 penalty_none 2.0)) ())"}}}}},
        {"classic game state still takes its own form",
         "(GS (t 0.00) (pm BeforeKickOff))", {{"gs", 1, {{2, "0.00"}, {3, "BeforeKickOff"}}}}},
        {"player seen as body parts",
         "(P (team Blue) (id 4) (head (pol 1 2 3)) (rfoot (pol 1 2 3)))",
         {{"player", 52, {{53, "Blue"}, {54, "4"}, {55, " (head (pol 1 2 3)) (rfoot (pol 1 2 3))"}}}}},
        {"accelerometer", "(ACC (n torso) (a 0.1 -0.2 9.81))",
         {{"acc", 48, {{49, "torso"}, {50, "0.1"}, {51, "-0.2"}, {52, "9.81"}}}}},
        {"four-letter landmark is not a flag", "(F1LX (pol 1 2 3))", {}},
        {"truncated last item ignored", "(time (now 1))(HJ (n hj1) (ax 0.", {{"time", 0, {{1, "1"}}}}},
        {"malformed number is still delivered as text", "(B (pol abc 2 3))",
         {{"ball", 24, {{25, "abc"}, {26, "2"}, {27, "3"}}}}},
        {"case matters", "(TIME (now 1))(b (pol 1 2 3))", {}},
    };
    return table;
}

}  // namespace

// The first generation's pattern stands first and whole, so its 47 groups keep
// their numbers; today's server's alternatives follow with groups 48-55.
TEST(Grammar, IsThePrintedPatternWithFortySevenGroupsThenTodaysForms)
{
    const std::string classic = classic_perception_pattern();
    EXPECT_EQ(611u, classic.size());
    EXPECT_EQ(47u, boost::regex(classic).mark_count());
    EXPECT_EQ(0u, perception_grammar().str().compare(0, classic.size(), classic));
    EXPECT_EQ('|', perception_grammar().str()[classic.size()]);
    EXPECT_EQ(55u, perception_grammar().mark_count());
    EXPECT_EQ(0u, perception_grammar().flags() & boost::regex::icase);
}

TEST(Grammar, IsCompiledOnce)
{
    EXPECT_EQ(&perception_grammar(), &perception_grammar());
}

TEST(Parser, DeliversEveryItemInTextOrderWithItsGroups)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        Recorder r;
        r.parse(c.message);
        ASSERT_EQ(c.calls.size(), r.calls.size());
        for (std::size_t n = 0; n < c.calls.size(); ++n) {
            const Expected& want = c.calls[n];
            const Call& got = r.calls[n];
            EXPECT_EQ(want.name, got.name) << "call " << n;
            EXPECT_EQ(want.i, got.i) << "call " << n;
            ASSERT_EQ(56u, got.groups.size());
            for (int k = 1; k < 56; ++k) {
                const auto it = want.groups.find(k);
                EXPECT_EQ(it == want.groups.end() ? std::string() : it->second, got.groups[k])
                    << "call " << n << " group " << k;
            }
        }
    }
}

TEST(Parser, KeepsNoStateBetweenMessages)
{
    Recorder r;
    r.parse("(time (now 1))(HJ (n hj1) (ax");
    r.parse(" 2))");
    ASSERT_EQ(1u, r.calls.size());
    EXPECT_EQ("time", r.calls[0].name);
}

TEST(Parser, FindsEveryItemOfALongMessage)
{
    std::string message;
    for (int n = 0; n < 500; ++n) {
        message += "(HJ (n hj" + std::to_string(n) + ") (ax " + std::to_string(n) + "))";
    }
    ASSERT_GT(message.size(), 10000u);
    Recorder r;
    r.parse(message);
    ASSERT_EQ(500u, r.calls.size());
    EXPECT_EQ("hj499", r.calls.back().groups[36]);
}

TEST(DummyCallback, ListsAllGroupsOfEachItem)
{
    Parser base;
    testing::internal::CaptureStdout();
    base.parse("(x (time (now 1.5)))(B (pol 1 2 3))");
    const std::string out = testing::internal::GetCapturedStdout();

    std::string want = "0[(time (now 1.5))]\n1[1.5]\n";
    for (int k = 2; k < 48; ++k) {
        want += std::to_string(k) + "[]\n";
    }
    want += "48 datas. \n\n";
    want += "0[(B (pol 1 2 3))]\n";
    for (int k = 1; k < 48; ++k) {
        const char* text = k == 25 ? "1" : k == 26 ? "2" : k == 27 ? "3" : "";
        want += std::to_string(k) + "[" + text + "]\n";
    }
    want += "48 datas. \n\n";
    EXPECT_EQ(want, out);
}

TEST(Parser, ACopyDeliversToItself)
{
    Recorder original;
    Recorder copy(original);
    copy.parse("(time (now 1))");
    EXPECT_EQ(0u, original.calls.size());
    EXPECT_EQ(1u, copy.calls.size());
}
