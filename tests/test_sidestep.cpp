#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <limits>
#include <string>

#include "decision/tervalonaction.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Stepper {
    boost::shared_ptr<Worldmodel> world{new Worldmodel("Blue")};
    boost::shared_ptr<Tervalonaction> act{new Tervalonaction(world)};
    std::string out;  // what the last call printed

    Stepper()
    {
        act->debug_flag_ = false;
        act->action_end_ = false;
    }
    void place(double ball_y, double my_y)
    {
        world->current_status().ball_xyz_.v_[1] = ball_y;
        world->current_status().position_.v_[1] = my_y;
    }
    int step()
    {
        act->new_joint.clear();
        testing::internal::CaptureStdout();
        act->sidestep();
        out = testing::internal::GetCapturedStdout();
        return act->action_state_;
    }
    void read(const char* j, double a) { act->cur_joint[j] = a; }
};

}  // namespace

struct DecisionCase {
    double ball_y, my_y;
    int next;
};

void PrintTo(const DecisionCase& c, std::ostream* os) { *os << "ball y " << c.ball_y << " own y " << c.my_y; }

class SidestepDecisionTest : public testing::TestWithParam<DecisionCase> {};

TEST_P(SidestepDecisionTest, StanceDecidesOnceRlj5IsAboveOne)
{
    const DecisionCase c = GetParam();
    Stepper s;
    s.place(c.ball_y, c.my_y);
    s.read("rlj5", 1.0);
    EXPECT_EQ(0, s.step());
    s.read("rlj5", std::nextafter(1.0, 2.0));
    EXPECT_EQ(c.next, s.step());
    EXPECT_FALSE(s.act->action_end_);
}

INSTANTIATE_TEST_SUITE_P(
    Sidestep, SidestepDecisionTest,
    testing::Values(
        // ball central: back to the axis
        DecisionCase{0.0, 0.1, 11}, DecisionCase{1.0, -0.1, 11}, DecisionCase{0.0, 0.11, 1},
        DecisionCase{-2.4, -0.11, 6},
        // ball exactly on the side limit: only the return to the axis decides
        DecisionCase{2.5, 0.0, 0}, DecisionCase{-2.5, 0.05, 0}, DecisionCase{2.5, 0.4, 1},
        DecisionCase{-2.5, -0.4, 6},
        // ball out wide: the keeper goes to its side
        DecisionCase{3.0, 0.6, 11}, DecisionCase{-3.0, -0.6, 11}, DecisionCase{3.0, -0.6, 11},
        DecisionCase{3.0, 0.27, 6}, DecisionCase{3.0, 0.28, 1}, DecisionCase{3.0, 0.4, 1},
        DecisionCase{3.0, 0.05, 6}, DecisionCase{-3.0, -0.27, 1}, DecisionCase{-3.0, -0.28, 6},
        DecisionCase{-3.0, 0.3, 1},
        // no positions
        DecisionCase{kNaN, kNaN, 0}, DecisionCase{kNaN, 0.3, 1}));

struct ExitCase {
    int phase;
    const char* joint;
    double limit;
    bool above;
    int next;
};

void PrintTo(const ExitCase& c, std::ostream* os) { *os << "phase " << c.phase; }

class SidestepExitTest : public testing::TestWithParam<ExitCase> {};

TEST_P(SidestepExitTest, LeavesJustPastTheThreshold)
{
    const ExitCase c = GetParam();
    Stepper s;
    s.act->action_state_ = c.phase;
    s.read(c.joint, c.limit);
    EXPECT_EQ(c.phase, s.step());
    s.read(c.joint, std::nextafter(c.limit, c.above ? 1000.0 : -1000.0));
    EXPECT_EQ(c.next, s.step());
    EXPECT_FALSE(s.act->action_end_);
}

INSTANTIATE_TEST_SUITE_P(
    Sidestep, SidestepExitTest,
    testing::Values(ExitCase{1, "rlj5", 14.0, true, 2}, ExitCase{2, "rlj3", 29.0, true, 3},
                    ExitCase{3, "rlj4", -114.0, false, 4}, ExitCase{4, "rlj4", -65.0, true, 5},
                    ExitCase{5, "llj2", -8.0, false, 0}, ExitCase{6, "llj5", 14.0, true, 7},
                    ExitCase{7, "llj3", 29.0, true, 8}, ExitCase{8, "llj4", -114.0, false, 9},
                    ExitCase{9, "llj4", -65.0, true, 10}, ExitCase{10, "rlj2", 8.0, true, 0}));

TEST(Sidestep, FinishWaitsForBothHipRollsNearZero)
{
    const struct {
        double rlj2, llj2;
        bool done;
    } cases[] = {{0.99, -0.99, true}, {1.0, 0.0, false}, {-1.0, 0.0, false},
                 {0.0, 1.0, false},   {0.0, -1.0, false}, {kNaN, 0.0, false}};
    for (const auto& c : cases) {
        Stepper s;
        s.act->action_state_ = 11;
        s.read("rlj2", c.rlj2);
        s.read("llj2", c.llj2);
        EXPECT_EQ(c.done ? 0 : 11, s.step()) << c.rlj2 << " " << c.llj2;
        EXPECT_EQ(c.done, s.act->action_end_);
        EXPECT_EQ(16u, s.act->new_joint.size());  // the stance
        EXPECT_EQ(-32.0, s.act->aim_joint["llj4"]);
    }
}

TEST(Sidestep, LeftOverPhasesOutsideTheTableDoNothing)
{
    for (int phase : {-1, 12, 40}) {
        Stepper s;
        s.act->action_state_ = phase;
        s.read("rlj5", 20.0);
        EXPECT_EQ(phase, s.step());
        EXPECT_TRUE(s.act->new_joint.empty());
    }
}

TEST(Sidestep, KeyframeDetails)
{
    Stepper s;
    for (int phase = 0; phase <= 11; ++phase) {
        s.act->action_state_ = phase;
        s.step();
        for (const char* never : {"rlj1", "llj1", "raj3", "laj3", "hj1", "hj2"})
            EXPECT_EQ(0u, s.act->new_joint.count(never)) << never << " in phase " << phase;
    }
    s.act->action_state_ = 6;
    s.step();
    EXPECT_EQ(-3.0, s.act->aim_joint["rlj6"]);  // the one break in the mirror
    s.act->action_state_ = 1;
    s.step();
    EXPECT_EQ(0.0, s.act->aim_joint["llj6"]);
    s.act->action_state_ = 4;
    s.step();
    EXPECT_DOUBLE_EQ(15.0 * 0.07, s.act->new_joint["llj2"]);
    s.act->action_state_ = 9;
    s.step();
    EXPECT_DOUBLE_EQ(-15.0 * 0.07, s.act->new_joint["rlj2"]);
}

TEST(Sidestep, PhaseAndOwnYAreTracedOnEveryCall)
{
    Stepper s;
    s.place(0.0, -0.35);
    s.act->action_state_ = 7;
    s.step();
    const std::string lines = " acccccccction____________ state---------  7\n"
                              " acccccccction____222_____ state--222----  -0.35\n";
    EXPECT_EQ(lines, s.out);
    s.act->debug_flag_ = true;
    s.step();
    EXPECT_EQ("sidestep()\n" + lines, s.out);
}
