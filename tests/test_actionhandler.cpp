#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <locale>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "effectors/actionhandler.h"

namespace {

std::string number(double v)
{
    std::string s;
    append_number(s, v);
    return s;
}

struct NumberCase {
    double value;
    const char* text;
};

void PrintTo(const NumberCase& c, std::ostream* os) { *os << c.text; }

class NumberFormat : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberFormat, SixSignificantDigitsGeneralNotation)
{
    EXPECT_EQ(GetParam().text, number(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(
    Examples, NumberFormat,
    ::testing::Values(NumberCase{0.5, "0.5"}, NumberCase{3.0, "3"}, NumberCase{0.1234567, "0.123457"},
                      NumberCase{12.345678, "12.3457"}, NumberCase{-0.000012, "-1.2e-05"},
                      NumberCase{1234567.0, "1.23457e+06"}, NumberCase{-0.0, "-0"},
                      NumberCase{100000.0, "100000"}, NumberCase{0.0, "0"},
                      // exponent thresholds: below -4 and at least 6
                      NumberCase{0.0001, "0.0001"}, NumberCase{0.00001, "1e-05"},
                      NumberCase{999999.4, "999999"}, NumberCase{999999.5, "1e+06"},
                      NumberCase{1e6, "1e+06"}, NumberCase{-2.5, "-2.5"},
                      NumberCase{1e100, "1e+100"}, NumberCase{123.0000001, "123"},
                      NumberCase{std::numeric_limits<double>::infinity(), "inf"},
                      NumberCase{-std::numeric_limits<double>::infinity(), "-inf"},
                      NumberCase{std::numeric_limits<double>::quiet_NaN(), "nan"}));

// The stream default of the classic locale is the reference for every value.
TEST(NumberFormatTest, MatchesClassicStreamDefaults)
{
    const double values[] = {1.0 / 3.0, -7.0e-7, 65.4321, 0.000123456, 4.99999949, 12345.65,
                             -90.0, 1e-300, 5e-324, std::numeric_limits<double>::max()};
    for (double v : values) {
        std::ostringstream ref;
        ref.imbue(std::locale::classic());
        ref << v;
        EXPECT_EQ(ref.str(), number(v)) << v;
    }
}

// The fixed notation is worked out without the library: every rounding edge
// of the six digits (ties, carries into the next power of ten, the bounds of
// the notation) and the server's three-decimal values must read as the
// library writes them.
TEST(NumberFormatTest, AgreesWithTheLibraryAtEveryRoundingEdge)
{
    std::vector<double> values;
    for (int e = -6; e <= 7; ++e) {
        for (long n : {99999L, 100000L, 123456L, 500000L, 999994L, 999995L, 999999L}) {
            for (double half : {0.0, 0.5}) {
                double x = (n + half) * std::pow(10.0, e - 5);
                for (int k = 0; k < 3; ++k) x = std::nextafter(x, 0.0);
                for (int k = 0; k < 7; ++k, x = std::nextafter(x, 1e300)) values.push_back(x);
            }
        }
    }
    for (long k = -200000; k <= 200000; ++k) values.push_back(static_cast<double>(k) / 1000.0);
    for (double v : values) {
        for (double x : {v, -v}) {
            char ref[64];
            *std::to_chars(ref, ref + sizeof ref, x, std::chars_format::general, 6).ptr = '\0';
            ASSERT_EQ(ref, number(x)) << std::hexfloat << x;
        }
    }
}

TEST(NumberFormatTest, AppendsToWhatIsThere)
{
    std::string s = "(x ";
    append_number(s, 1.5);
    EXPECT_EQ("(x 1.5", s);
}

// A global locale with a comma for the decimal point and digit grouping.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

class GlobalLocaleGuard {
public:
    explicit GlobalLocaleGuard(const std::locale& loc) : old_(std::locale::global(loc)) {}
    ~GlobalLocaleGuard() { std::locale::global(old_); }

private:
    std::locale old_;
};

TEST(NumberFormatTest, IgnoresTheGlobalLocale)
{
    GlobalLocaleGuard guard(std::locale(std::locale::classic(), new CommaPunct));
    std::ostringstream probe;
    probe << 1234.5;
    ASSERT_EQ("1.234,5", probe.str()) << "the comma locale did not take effect";

    EXPECT_EQ("1234.5", number(1234.5));
    Actionhandler ah;
    ah.beam(-2.5, 1234.5, 0.1234567);
    ah.joint("he1", 100000.0);
    EXPECT_EQ("(beam -2.5 1234.5 0.123457 )(he1 100000)", ah.get_commands());
}

TEST(ActionhandlerTest, NothingAddedGivesTheEmptyText)
{
    Actionhandler ah;
    EXPECT_EQ("", ah.get_commands());
    ah.scene("s");
    ah.joint("he1", 1);
    ah.lae1_2(1, 2);
    ah.clear();
    EXPECT_EQ("", ah.get_commands());
}

TEST(ActionhandlerTest, OneOffCommands)
{
    struct Case {
        void (*add)(Actionhandler&);
        const char* text;
    };
    const Case cases[] = {
        {[](Actionhandler& ah) { ah.scene("rsg/agent/nao/nao.rsg"); }, "(scene rsg/agent/nao/nao.rsg)"},
        {[](Actionhandler& ah) { ah.init("Blue"); }, "(init (unum 0)(teamname Blue))"},
        {[](Actionhandler& ah) { ah.beam(0, 0, 0); }, "(beam 0 0 0 )"},
        {[](Actionhandler& ah) { ah.beam(-2.5, -0.5, 0); }, "(beam -2.5 -0.5 0 )"},
        {[](Actionhandler& ah) { ah.say("hello"); ah.say("hello"); }, "(say hello)(say hello)"},
        // names and messages go out unescaped
        {[](Actionhandler& ah) { ah.say("a b)("); }, "(say a b)()"},
        {[](Actionhandler& ah) { ah.init(""); ah.scene("x"); }, "(init (unum 0)(teamname ))(scene x)"},
    };
    for (const Case& c : cases) {
        Actionhandler ah;
        c.add(ah);
        EXPECT_EQ(c.text, ah.get_commands());
    }
}

TEST(ActionhandlerTest, ExampleCycle)
{
    Actionhandler ah;
    ah.scene("left over from the last cycle");
    ah.clear();
    ah.init("Blue");
    ah.beam(-2.5, -0.5, 0);
    ah.joint("he2", 0.25);
    ah.joint("he1", -1.5);
    ah.joint("he1", 2);
    EXPECT_EQ("(init (unum 0)(teamname Blue))(beam -2.5 -0.5 0 )(he1 2)(he2 0.25)", ah.get_commands());
    // collecting changes nothing
    EXPECT_EQ(ah.get_commands(), ah.get_commands());
}

TEST(ActionhandlerTest, JointCommands)
{
    Actionhandler ah;
    EXPECT_TRUE(ah.joint("lae3", 0.1234567));
    EXPECT_EQ("(lae3 0.123457)", ah.get_commands());

    Actionhandler order;
    order.joint("rle1", 1);
    order.joint("he1", 2);
    EXPECT_EQ("(he1 2)(rle1 1)", order.get_commands());

    // universal commands follow every hinge command, whatever the names
    Actionhandler uj;
    EXPECT_TRUE(uj.lae1_2(1, -2));
    uj.joint("zz", 3);
    uj.joint("aa", 4);
    EXPECT_EQ("(aa 4)(zz 3)(lae1_2 1 -2)", uj.get_commands());

    // any name is accepted
    Actionhandler any;
    EXPECT_TRUE(any.joint("", 1));
    EXPECT_EQ("( 1)", any.get_commands());
}

// Names the robot has no effector for are kept apart from the hinges, yet go
// out among them in the order of the names.
TEST(ActionhandlerTest, OtherNamesAmongTheHinges)
{
    Actionhandler ah;
    for (const char* n : {"\xc3\xa9", "z", "rle7", "rle1", "lae5", "lae1", "hj1", "he10", "he1", "he0", "a", "HE1"})
        ah.joint(n, 1);
    EXPECT_EQ("(HE1 1)(a 1)(he0 1)(he1 1)(he10 1)(hj1 1)(lae1 1)(lae5 1)(rle1 1)(rle7 1)(z 1)(\xc3\xa9 1)",
              ah.get_commands());
}

struct HingeCase {
    const char* name;
    char kind;
    int index;
};

TEST(ActionhandlerTest, HingeIndexOfEffectorAndJointNames)
{
    const HingeCase cases[] = {
        {"he1", 'e', 0},   {"he2", 'e', 1},   {"lae1", 'e', 2},  {"lae4", 'e', 5},  {"lle1", 'e', 6},
        {"lle6", 'e', 11}, {"rae1", 'e', 12}, {"rae4", 'e', 15}, {"rle1", 'e', 16}, {"rle6", 'e', 21},
        {"hj2", 'j', 1},   {"laj3", 'j', 4},  {"rlj6", 'j', 21}, {"hj1", 'e', -1},  {"he1", 'j', -1},
        {"he0", 'e', -1},  {"he3", 'e', -1},  {"lae0", 'e', -1}, {"lae5", 'e', -1}, {"lle7", 'e', -1},
        {"rae5", 'e', -1}, {"xae1", 'e', -1}, {"lxe1", 'e', -1}, {"he1 ", 'e', -1}, {"lae10", 'e', -1},
        {"", 'e', -1},     {"h", 'e', -1},    {"la", 'e', -1},
    };
    for (const HingeCase& c : cases) {
        EXPECT_EQ(c.index, hinge_index(c.name, std::strlen(c.name), c.kind)) << c.name;
        if (c.index >= 0 && c.kind == 'e') {
            EXPECT_STREQ(c.name, kHingeEffectors[c.index]);
        }
    }
}

TEST(ActionhandlerTest, HingeEffectorsInByteOrder)
{
    const char* names[] = {"rle6", "rle5", "rle4", "rle3", "rle2", "rle1", "rae4", "rae3",
                           "rae2", "rae1", "lle6", "lle5", "lle4", "lle3", "lle2", "lle1",
                           "lae4", "lae3", "lae2", "lae1", "he2",  "he1"};
    Actionhandler ah;
    for (const char* n : names) ah.joint(n, 0);
    EXPECT_EQ("(he1 0)(he2 0)(lae1 0)(lae2 0)(lae3 0)(lae4 0)(lle1 0)(lle2 0)(lle3 0)(lle4 0)"
              "(lle5 0)(lle6 0)(rae1 0)(rae2 0)(rae3 0)(rae4 0)(rle1 0)(rle2 0)(rle3 0)(rle4 0)"
              "(rle5 0)(rle6 0)",
              ah.get_commands());
}

TEST(ActionhandlerTest, NamedSetters)
{
    Actionhandler hinge;
    EXPECT_TRUE(hinge.he1(1));
    EXPECT_TRUE(hinge.he2(2));
    EXPECT_TRUE(hinge.lae3(3));
    EXPECT_TRUE(hinge.lae4(4));
    EXPECT_TRUE(hinge.rae3(5));
    EXPECT_TRUE(hinge.rae4(6));
    EXPECT_TRUE(hinge.lle1(7));
    EXPECT_TRUE(hinge.lle4(8));
    EXPECT_TRUE(hinge.rle1(9));
    EXPECT_TRUE(hinge.rle4(10));
    EXPECT_EQ("(he1 1)(he2 2)(lae3 3)(lae4 4)(lle1 7)(lle4 8)(rae3 5)(rae4 6)(rle1 9)(rle4 10)",
              hinge.get_commands());

    Actionhandler uni;
    EXPECT_TRUE(uni.rle5_6(11, 12));
    EXPECT_TRUE(uni.rle2_3(9, 10));
    EXPECT_TRUE(uni.lle5_6(7, 8));
    EXPECT_TRUE(uni.lle2_3(5, 6));
    EXPECT_TRUE(uni.rae1_2(3, 4));
    EXPECT_TRUE(uni.lae1_2(1, 2));
    EXPECT_EQ("(lae1_2 1 2)(lle2_3 5 6)(lle5_6 7 8)(rae1_2 3 4)(rle2_3 9 10)(rle5_6 11 12)",
              uni.get_commands());

    // the last value of a cycle wins, for both maps; the named setter and
    // joint() write the same key
    Actionhandler last;
    last.he1(1);
    last.joint("he1", 0.5);
    last.lae1_2(1, 2);
    last.lae1_2(-3, 4.25);
    EXPECT_EQ("(he1 0.5)(lae1_2 -3 4.25)", last.get_commands());
}

TEST(ActionhandlerTest, ActionDoesNothing)
{
    Actionhandler ah;
    ah.say("x");
    EXPECT_TRUE(ah.action());
    EXPECT_EQ("(say x)", ah.get_commands());
}

}  // namespace
