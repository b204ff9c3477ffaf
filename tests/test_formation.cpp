// A full team's formation on both fields: every number on the field in its own
// half, apart from the others, the width of the field covered, and each role
// in its line (defenders behind midfielders behind forwards).

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "decision/tervalonaction.h"

namespace {

struct Spot {
    int number;
    double x, y;
    SoccerPosition role;
};

struct FormationCase {
    const char* name;
    const char* game_state;  // printf form, %d the number
    bool today;
    bool offense;
};

void PrintTo(const FormationCase& c, std::ostream* os) { *os << c.name; }

std::vector<Spot> formation(const FormationCase& c)
{
    std::vector<Spot> spots;
    for (int n = 1; n <= 11; ++n) {
        boost::shared_ptr<Worldmodel> w(new Worldmodel("Alpha"));
        Tervalonaction act(w);
        char m[160];
        std::snprintf(m, sizeof m, c.game_state, n);
        w->parse(m);
        if (c.offense) {
            act.setOffense();
        } else {
            act.setDefense();
        }
        spots.push_back(Spot{n, act.beam_x, act.beam_y, act.first_position});
    }
    return spots;
}

double mean_x(const std::vector<Spot>& spots, SoccerPosition role, int& count)
{
    double sum = 0.0;
    count = 0;
    for (const Spot& s : spots) {
        if (s.role != role) continue;
        sum += s.x;
        ++count;
    }
    return count ? sum / count : 0.0;
}

class Formation : public ::testing::TestWithParam<FormationCase> {};

TEST_P(Formation, ElevenOnTheFieldInTheirOwnHalf)
{
    const FormationCase& c = GetParam();
    const FieldGeometry& f = c.today ? today_field() : classic_field();
    const std::vector<Spot> spots = formation(c);
    const double s = f.scale_x();

    int keepers = 0, left_wing = 0, right_wing = 0;
    for (const Spot& p : spots) {
        SCOPED_TRACE("#" + std::to_string(p.number));
        EXPECT_LT(p.x, 0.0);
        EXPECT_GE(p.x, f.keeper_x());
        EXPECT_LE(std::fabs(p.y), f.half_width - 0.5 * s);
        if (p.role == GK) ++keepers;
        if (p.y > 0.5 * f.half_width) ++left_wing;
        if (p.y < -0.5 * f.half_width) ++right_wing;
        // Only the kick-off taker comes near the centre spot.
        if (p.number != 2) {
            EXPECT_GE(std::hypot(p.x, p.y), 2.0 * s);
        }
        for (const Spot& o : spots) {
            if (o.number > p.number) {
                EXPECT_GE(std::hypot(p.x - o.x, p.y - o.y), 1.0 * s) << "#" << o.number;
            }
        }
    }
    EXPECT_EQ(1, keepers);
    EXPECT_EQ(GK, spots[0].role);
    EXPECT_EQ(f.keeper_x(), spots[0].x);
    EXPECT_EQ(0.0, spots[0].y);
    EXPECT_GE(left_wing, 2);
    EXPECT_GE(right_wing, 2);
}

TEST_P(Formation, DefendersBehindMidfieldersBehindForwards)
{
    const std::vector<Spot> spots = formation(GetParam());
    int defenders = 0, midfielders = 0, forwards = 0;
    const double df = mean_x(spots, DF, defenders);
    const double mf = mean_x(spots, MF, midfielders);
    const double fw = mean_x(spots, FW, forwards);
    EXPECT_GE(defenders, 4);
    EXPECT_GE(midfielders, 2);
    EXPECT_GE(forwards, 3);
    EXPECT_EQ(10, defenders + midfielders + forwards);
    EXPECT_LT(df, mf);
    EXPECT_LT(mf, fw);
    for (const Spot& d : spots) {
        for (const Spot& a : spots) {
            if (d.role == DF && a.role == FW) {
                EXPECT_LT(d.x, a.x) << "#" << d.number << " behind #" << a.number;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Formation,
    ::testing::Values(
        FormationCase{"ClassicOffense", "(GS (unum %d) (team left) (t 0) (pm BeforeKickOff))", false, true},
        FormationCase{"ClassicDefense", "(GS (unum %d) (team right) (t 0) (pm BeforeKickOff))", false, false},
        FormationCase{"TodayOffense", "(GS (unum %d) (team left) (sl 0) (sr 0) (t 0) (pm BeforeKickOff))", true,
                      true},
        FormationCase{"TodayDefense", "(GS (unum %d) (team right) (sl 0) (sr 0) (t 0) (pm BeforeKickOff))", true,
                      false}),
    [](const ::testing::TestParamInfo<FormationCase>& info) { return std::string(info.param.name); });

// A number that joins during play takes the role of its place, on either side.
TEST(Formation, NumberLearnedInPlayTakesTheRoleOfItsPlace)
{
    for (const char* side : {"left", "right"}) {
        for (int n = 1; n <= 11; ++n) {
            boost::shared_ptr<Worldmodel> w(new Worldmodel("Alpha"));
            Tervalonaction act(w);
            act.debug_flag_ = false;
            w->parse("(GS (unum " + std::to_string(n) + ") (team " + side + ") (t 5.00) (pm PlayOn))");
            act.action();
            Tervalonaction where(w);
            if (std::string(side) == "left") {
                where.setOffense();
            } else {
                where.setDefense();
            }
            EXPECT_EQ(where.first_position, act.position) << side << " #" << n;
        }
    }
}

}  // namespace
