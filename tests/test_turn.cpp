#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <limits>
#include <string>

#include "decision/tervalonaction.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The settle timer is a process-wide static; see TurnFirstCall.
bool turned = false;

struct Turner {
    boost::shared_ptr<Worldmodel> world{new Worldmodel("Blue")};
    boost::shared_ptr<Tervalonaction> act{new Tervalonaction(world)};

    Turner() { act->debug_flag_ = false; }
    int step(double t = 1.0)
    {
        world->current_status().time_ = t;
        act->new_joint.clear();
        turned = true;
        act->turn();
        return act->action_state_;
    }
    void read(const char* j, double a) { act->cur_joint[j] = a; }
    double aim(const char* j) { return act->aim_joint[j]; }
    // Stance reached for the settle phase.
    void settled()
    {
        read("rlj5", 15.0);
        read("rlj3", 20.0);
    }
};

}  // namespace

TEST(TurnFirstCall, SettleTimerStartsAtZero)
{
    if (turned) GTEST_SKIP() << "needs a process in which turn() has not run yet";
    Turner t;
    t.act->action_state_ = 11;  // entered straight into the settle phase
    t.act->action_end_ = false;
    t.settled();
    EXPECT_EQ(11, t.step(0.5));
    EXPECT_EQ(11, t.step(1.0));
    EXPECT_EQ(0, t.step(std::nextafter(1.0, 2.0)));
    EXPECT_TRUE(t.act->action_end_);
}

struct ExitCase {
    int phase;
    const char* joint;
    double limit;
    int next;
};

void PrintTo(const ExitCase& c, std::ostream* os) { *os << "phase " << c.phase; }

class TurnExitTest : public testing::TestWithParam<ExitCase> {};

TEST_P(TurnExitTest, LeavesOnlyAboveTheThreshold)
{
    const ExitCase c = GetParam();
    Turner t;
    t.act->goto_pos_.v_[1] = 40.0;  // far from the target bearing
    t.act->action_state_ = c.phase;
    t.read(c.joint, c.limit);
    EXPECT_EQ(c.phase, t.step());
    t.read(c.joint, std::nextafter(c.limit, 1000.0));
    EXPECT_EQ(c.next, t.step());
}

INSTANTIATE_TEST_SUITE_P(Turn, TurnExitTest,
                         testing::Values(ExitCase{0, "rlj5", 9.5, 1}, ExitCase{1, "rlj3", 40.0, 2},
                                         ExitCase{2, "rlj5", 10.0, 3}, ExitCase{3, "llj3", 40.0, 4},
                                         ExitCase{4, "llj3", 10.0, 1}));

TEST(Turn, PhaseFiveIsTakenAsOne)
{
    Turner t;
    t.act->goto_pos_.v_[1] = 40.0;
    t.act->action_state_ = 5;
    t.read("rlj3", 40.0);
    EXPECT_EQ(1, t.step());
    EXPECT_EQ(60.0, t.aim("rlj3"));
    t.act->action_state_ = 5;
    t.read("rlj3", 40.5);
    EXPECT_EQ(2, t.step());
}

TEST(Turn, OtherLeftOverPhasesDoNothing)
{
    for (int phase : {-1, 6, 10, 12}) {
        Turner t;
        t.act->action_state_ = phase;
        t.read("rlj5", 20.0);
        EXPECT_EQ(phase, t.step());
        EXPECT_TRUE(t.act->new_joint.empty());
    }
}

TEST(Turn, SetDownPhasesTestTheirOwnLeg)
{
    Turner t;
    t.act->goto_pos_.v_[1] = 40.0;
    t.read("llj3", 60.0);
    t.act->action_state_ = 2;  // right leg down: tested on rlj5, not llj3
    EXPECT_EQ(2, t.step());
    t.read("llj3", 0.0);
    t.read("rlj5", 50.0);
    t.act->action_state_ = 4;  // left leg down: tested on llj3, not rlj5
    EXPECT_EQ(4, t.step());
}

struct BearingCase {
    double bearing;
    bool on_target;
};

void PrintTo(const BearingCase& c, std::ostream* os) { *os << "bearing " << c.bearing; }

class TurnBearingTest : public testing::TestWithParam<BearingCase> {};

TEST_P(TurnBearingTest, JudgedOnlyInTheSetDownPhases)
{
    const BearingCase c = GetParam();
    for (int phase = 1; phase <= 4; ++phase) {
        Turner t;
        t.act->goto_pos_.v_[1] = c.bearing;
        t.act->action_state_ = phase;
        const bool down = phase % 2 == 0;
        EXPECT_EQ(down && c.on_target ? 11 : phase, t.step(3.0)) << "phase " << phase;
    }
}

INSTANTIATE_TEST_SUITE_P(Turn, TurnBearingTest,
                         testing::Values(BearingCase{0.0, true}, BearingCase{4.99, true},
                                         BearingCase{-4.99, true}, BearingCase{5.0, false},
                                         BearingCase{-5.0, false}, BearingCase{kNaN, false}));

TEST(Turn, SettlesOneSecondAfterTheBearingWasReached)
{
    Turner t;
    t.act->action_end_ = false;
    t.act->bturn_flag_ = true;
    t.act->dturn_flag_ = true;
    t.act->action_state_ = 2;
    EXPECT_EQ(11, t.step(2.0));  // ball bearing 0: settle timer set to 2.0
    t.settled();
    EXPECT_EQ(11, t.step(3.0));
    EXPECT_FALSE(t.act->action_end_);
    EXPECT_TRUE(t.act->bturn_flag_);

    t.read("rlj5", 14.8);  // stance thresholds are strict
    EXPECT_EQ(11, t.step(4.0));
    t.settled();
    t.read("rlj3", 19.8);
    EXPECT_EQ(11, t.step(4.0));

    t.settled();
    EXPECT_EQ(0, t.step(std::nextafter(3.0, 4.0)));
    EXPECT_TRUE(t.act->action_end_);
    EXPECT_FALSE(t.act->bturn_flag_);
    EXPECT_FALSE(t.act->dturn_flag_);
}

struct JudgeCase {
    bool bturn, dturn;
    double expected;  // ball bearing 7, heading 20, goal-point bearing -3
};

void PrintTo(const JudgeCase& c, std::ostream* os) { *os << "bturn " << c.bturn << " dturn " << c.dturn; }

class TurnJudgmentTest : public testing::TestWithParam<JudgeCase> {};

TEST_P(TurnJudgmentTest, FlagsChooseTheBearing)
{
    const JudgeCase c = GetParam();
    Turner t;
    t.world->current_status().ball_ = Worldmodel::TVector3(2.0, 7.0, 0.0);
    t.world->current_status().direction_ = 20.0;
    t.act->goto_pos_.v_[1] = -3.0;
    t.act->bturn_flag_ = c.bturn;
    t.act->dturn_flag_ = c.dturn;
    t.act->action_state_ = 12;  // no phase: only the bearing is worked out
    t.step();
    EXPECT_EQ(c.expected, t.act->judgment_);
    EXPECT_EQ(12, t.act->action_state_);
    EXPECT_TRUE(t.act->new_joint.empty());
}

INSTANTIATE_TEST_SUITE_P(Turn, TurnJudgmentTest,
                         testing::Values(JudgeCase{true, false, 7.0}, JudgeCase{false, true, -20.0},
                                         JudgeCase{false, false, -3.0},
                                         JudgeCase{true, true, 7.0}));

struct YawCase {
    double bearing, left_yaw;  // left hip yaw in phases 1-2; the right one mirrors it in 3-4
};

void PrintTo(const YawCase& c, std::ostream* os) { *os << "bearing " << c.bearing; }

class TurnYawTest : public testing::TestWithParam<YawCase> {};

TEST_P(TurnYawTest, YawFollowsTheSideOfTheBearing)
{
    const YawCase c = GetParam();
    for (int phase = 1; phase <= 4; ++phase) {
        Turner t;
        t.act->goto_pos_.v_[1] = c.bearing;
        t.act->action_state_ = phase;
        t.read("llj1", 30.0);
        t.read("rlj1", 30.0);
        t.step();
        const char* yawed = phase <= 2 ? "llj1" : "rlj1";
        const char* other = phase <= 2 ? "rlj1" : "llj1";
        const double yaw = phase <= 2 ? c.left_yaw : -c.left_yaw;
        EXPECT_EQ(yaw, t.aim(yawed)) << "phase " << phase;
        EXPECT_DOUBLE_EQ((yaw - 30.0) * 0.1, t.act->new_joint[yawed]);
        EXPECT_EQ(0.0, t.aim(other));
    }
}

INSTANTIATE_TEST_SUITE_P(Turn, TurnYawTest,
                         testing::Values(YawCase{-20.0, -15.0}, YawCase{20.0, 15.0},
                                         YawCase{0.0, 15.0}, YawCase{kNaN, 15.0}));

TEST(Turn, KeyframeDetails)
{
    Turner t;
    t.act->goto_pos_.v_[1] = 40.0;
    t.act->action_state_ = 1;
    t.step();
    EXPECT_EQ(60.0, t.aim("rlj3"));
    EXPECT_DOUBLE_EQ(60.0 * 0.07, t.act->new_joint["rlj3"]);
    EXPECT_EQ(0u, t.act->new_joint.count("raj1"));
    t.act->action_state_ = 3;
    t.step();
    EXPECT_DOUBLE_EQ(60.0 * 0.075, t.act->new_joint["llj3"]);
    EXPECT_EQ(-100.0, t.aim("llj4"));

    t.act->action_state_ = 0;
    t.step();
    EXPECT_EQ(0u, t.act->new_joint.count("rlj1"));
    EXPECT_EQ(0u, t.act->new_joint.count("rlj6"));
    EXPECT_EQ(-13.0, t.aim("rlj4"));

    t.act->action_state_ = 11;
    t.step();
    EXPECT_EQ(18u, t.act->new_joint.size());
    EXPECT_EQ(15.0, t.aim("rlj5"));
    EXPECT_DOUBLE_EQ(-30.0 * 0.01, t.act->new_joint["llj4"]);
}

TEST(Turn, TraceBlockShowsThePreviousJudgment)
{
    Turner t;
    Worldmodel::TStatus& st = t.world->current_status();
    st.ball_ = Worldmodel::TVector3(1.5, -12.25, 3.0);
    st.direction_ = 33.3;
    t.act->goto_pos_.v_[1] = 8.5;
    t.act->judgment_ = 4.0;
    t.act->dturn_flag_ = true;
    t.act->action_state_ = 3;
    t.read("rlj5", 9.75);
    t.act->debug_flag_ = true;
    testing::internal::CaptureStdout();
    t.step();
    EXPECT_EQ("turn()\n"
              " wst.ball_1  ---------------- -12.25\n"
              " goto_pos_1  ---------------- 8.5\n"
              " direction ---------------- 33.3\n"
              " dturn_flag_  ---------------- 1\n"
              " bturn_flag_  ---------------- 0\n"
              " judgment  ---------------- 4\n"
              " action_state  ---------------- 3\n"
              " rlj5(>9.5)  ---------------- 9.75\n"
              " wst.ball_0  ---------------- 1.5\n",
              testing::internal::GetCapturedStdout());
    EXPECT_DOUBLE_EQ(-33.3, t.act->judgment_);

    t.act->debug_flag_ = false;
    testing::internal::CaptureStdout();
    t.step();
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
}
