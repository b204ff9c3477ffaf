// The practice peer's own behaviour: its world's geometry (frames, camera,
// view cone, accelerometer, falls, the walk's turning) and, through the real
// executable with the test as the agent, today's pacing by (syn), the game
// state forms, the vision cadence and the truth file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "peer/peer_world.h"
#include "support/loopback.h"
#include "support/paths.h"
#include "support/process.h"

namespace {

using namespace peer;

Robot standing_at(double x, double y, double heading)
{
    Robot r;
    r.pose = Pose{x, y, heading};
    return r;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// ------------------------------------------------------------------ frames

TEST(PeerFrames, TheRightTeamSeesTheFieldTurnedByHalfATurn)
{
    struct Case {
        Pose team;
        bool left;
        Pose global;
    };
    const Case cases[] = {{{-1, 0, 0}, true, {-1, 0, 0}},
                          {{-1, 0, 0}, false, {1, 0, 180}},
                          {{2, -3, 90}, false, {-2, 3, -90}},
                          {{0.5, 1, -90}, false, {-0.5, -1, 90}},
                          {{0, 0, 180}, false, {0, 0, 0}}};
    for (const Case& c : cases) {
        const Pose g = team_to_global(c.team, c.left);
        EXPECT_DOUBLE_EQ(c.global.x, g.x);
        EXPECT_DOUBLE_EQ(c.global.y, g.y);
        EXPECT_DOUBLE_EQ(c.global.heading, g.heading) << c.team.heading;
        const Pose back = global_to_team(g, c.left);
        EXPECT_DOUBLE_EQ(c.team.x, back.x);
        EXPECT_DOUBLE_EQ(c.team.heading, back.heading);
    }
}

// ------------------------------------------------------------------ camera

TEST(PeerCamera, PolarDirectionsFollowHeadingTiltRollAndNeck)
{
    struct Case {
        double heading, tilt, roll, hj1, hj2;
        double px, py, pz;  // pz relative to the camera
        double dist, hor, ver;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, 2, 0, 0, 2, 0, 0},
        {0, 0, 0, 0, 0, 0, 1, 0, 1, 90, 0},
        {90, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0},
        {90, 0, 0, 0, 0, 1, 0, 0, 1, -90, 0},
        {0, 0, 0, 30, 0, std::cos(30 * M_PI / 180), std::sin(30 * M_PI / 180), 0, 1, 0, 0},  // neck left
        {0, 0, 0, 0, 20, 1, 0, 0, 1, 0, -20},           // neck up: level things appear lower
        {0, 30.7, 0, 0, 44, 100, 0, 0, 100, 0, -13.3},  // leaning forward, looking up
        {0, 0, 90, 0, 0, 1, -1, 0, M_SQRT2, 0, 45},     // on the right side: the right is up
        {0, 90, 0, 0, 0, 0, 0, -1, 1, 0, 0},            // on the front: the ground is ahead
    };
    for (const Case& c : cases) {
        Robot r = standing_at(1, 2, c.heading);
        r.tilt = c.tilt;
        r.roll = c.roll;
        r.angle["hj1"] = c.hj1;
        r.angle["hj2"] = c.hj2;
        double d, h, v;
        polar_from_camera(r, 1 + c.px, 2 + c.py, r.camera_height + c.pz, d, h, v);
        EXPECT_NEAR(c.dist, d, 1e-9);
        EXPECT_NEAR(c.hor, h, 1e-9) << c.heading << " " << c.hj1;
        EXPECT_NEAR(c.ver, v, 1e-9) << c.tilt << " " << c.roll << " " << c.hj2;
    }
}

TEST(PeerCamera, TheViewConeIsSixtyDegreesEitherWay)
{
    EXPECT_TRUE(in_view_cone(60.0, 0.0));
    EXPECT_FALSE(in_view_cone(60.001, 0.0));
    EXPECT_TRUE(in_view_cone(-60.0, -60.0));
    EXPECT_FALSE(in_view_cone(0.0, -60.001));
    EXPECT_FALSE(in_view_cone(-60.001, 10.0));
}

std::string today_text(const Robot& r, const std::vector<const Robot*>& others, const Ball& ball)
{
    Perception p;
    p.today = true;
    p.play_mode = "PlayOn";
    return perception_text(r, others, ball, p);
}

TEST(PeerCamera, TodayOnlyWhatIsInTheConeIsSeenAndTheNeckTurnsIt)
{
    Robot r = standing_at(-3, 0, 0);
    Ball behind;
    behind.x = -4;
    std::string text = today_text(r, {}, behind);
    for (const char* seen : {"(F1R ", "(F2R ", "(G1R ", "(G2R "}) EXPECT_TRUE(has(text, seen)) << seen;
    for (const char* unseen : {"(F1L ", "(F2L ", "(G1L ", "(G2L ", "(B "}) EXPECT_FALSE(has(text, unseen)) << unseen;
    // Neck turned 90 degrees left: F1L is 50 degrees off the axis, F1R 60.95.
    r.angle["hj1"] = 90;
    text = today_text(r, {}, behind);
    EXPECT_TRUE(has(text, "(See (F1L (pol 15.628 50.194 -1.833)))")) << text;
}

TEST(PeerCamera, TodayOtherRobotsAreTheirBodyPartsInView)
{
    Robot me = standing_at(0, 0, 0);
    Robot other = standing_at(2, 0, 180);
    other.team = "Beta";
    other.unum = 4;
    Ball ball;
    ball.x = 1;
    std::string text = today_text(me, {&other}, ball);
    EXPECT_TRUE(has(text, "(P (team Beta) (id 4) (head (pol ")) << text;
    for (const char* part : {"(rlowerarm (pol ", "(llowerarm (pol ", "(rfoot (pol ", "(lfoot (pol "})
        EXPECT_TRUE(has(text, part)) << part;
    // Close by and looking down, the head is above the cone: only what is
    // below it is listed.
    other.pose.x = 0.2;
    me.tilt = 30;
    me.angle["hj2"] = -45;
    text = today_text(me, {&other}, ball);
    EXPECT_FALSE(has(text, "(head ")) << text;
    EXPECT_TRUE(has(text, "(rfoot ")) << text;
    // Behind the camera: no item at all.
    other.pose.x = -2;
    EXPECT_FALSE(has(today_text(me, {&other}, ball), "(P "));
}

// ---------------------------------------------------------- accelerometer

TEST(PeerAccelerometer, GravitySeenFromTheTorsoByTiltAndRoll)
{
    struct Case {
        double tilt, roll;
        const char* text;
    };
    const Case cases[] = {{0, 0, "(ACC (n torso) (a 0.000 0.000 9.810))"},
                          {-90, 0, "(ACC (n torso) (a 0.000 9.810 0.000))"},    // on the back
                          {90, 0, "(ACC (n torso) (a 0.000 -9.810 0.000))"},    // on the front
                          {0, 90, "(ACC (n torso) (a -9.810 0.000 0.000))"},    // on the right side
                          {0, -90, "(ACC (n torso) (a 9.810 0.000 0.000))"},    // on the left side
                          {30, 0, "(ACC (n torso) (a 0.000 -4.905 8.496))"}};  // leaning forward
    for (const Case& c : cases) {
        Robot r = standing_at(0, 0, 37);
        r.tilt = c.tilt;
        r.roll = c.roll;
        Perception p;
        EXPECT_TRUE(has(perception_text(r, {}, Ball(), p), c.text)) << c.tilt << " " << c.roll;
    }
}

// ------------------------------------------------------------------- ball

// The feet are flat at the toes: a ball a little off-centre goes straight
// ahead, not off along the line from the camera.
TEST(PeerBall, TheFeetShoveTheBallOutAlongTheEdgeTheyMeetItWith)
{
    struct Case {
        const char* what;
        double heading, bx, by;  // ball relative to the camera, global axes
        bool moved;
        double ex, ey;
    };
    const double diag = 0.042 / std::sqrt(2.0);
    const Case cases[] = {
        {"centred on the toes", 0, 0.12, 0.0, true, 0.15, 0.0},
        {"off-centre on the toes", 0, 0.12, -0.08, true, 0.15, -0.08},
        {"just clear of the toes", 0, 0.151, 0.05, false, 0.151, 0.05},
        {"against the left edge", 0, 0.0, 0.12, true, 0.0, 0.137},
        {"against the right edge", 0, 0.0, -0.12, true, 0.0, -0.137},
        {"at the left toe's corner", 0, 0.108 + 0.02, 0.095 + 0.02, true, 0.108 + diag, 0.095 + diag},
        {"clear of the corner", 0, 0.108 + 0.03, 0.095 + 0.03, false, 0.138, 0.125},
        {"under the camera", 0, 0.0, 0.0, true, 0.15, 0.0},
        {"under the heels, left of centre", 0, -0.1, 0.02, true, -0.1, 0.137},
        {"toes facing +y", 90, -0.05, 0.12, true, -0.05, 0.15},
        {"toes facing -x", 180, -0.12, 0.03, true, -0.15, 0.03},
    };
    for (const Case& c : cases) {
        Ball b;
        b.x = 1.0 + c.bx;
        b.y = -2.0 + c.by;
        EXPECT_EQ(c.moved, push_ball(Pose{1.0, -2.0, c.heading}, b)) << c.what;
        EXPECT_NEAR(1.0 + c.ex, b.x, 1e-9) << c.what;
        EXPECT_NEAR(-2.0 + c.ey, b.y, 1e-9) << c.what;
    }
}

// ------------------------------------------------------------------ falls

TEST(PeerFalls, FromASideTheUpperLegSwungAndTheLowerArmPushedOrBothLegsStretchedRollTheRobotOver)
{
    struct Case {
        FallWay way;
        double rhip, lhip, knees, arm;  // arm: the lower one's shoulder out
        Upright state;
        double tilt, roll;  // at the end
    };
    const Case cases[] = {
        {FallWay::right, 0, 60, 0, 70, Upright::lying, 0, 90},       // leg not yet past 60
        {FallWay::right, 0, 60.5, 0, 60, Upright::lying, 0, 90},     // arm not yet past 60
        {FallWay::right, 0, 60.5, 0, 60.5, Upright::lying, 90, 0},   // onto the front
        {FallWay::left, 61, 0, 0, 61, Upright::lying, 90, 0},
        {FallWay::left, 0, 61, 0, 61, Upright::lying, 0, -90},       // the lower leg
        {FallWay::right, 70, 70, 0, 0, Upright::lying, 0, 90},       // both legs, no push
        {FallWay::left, -30, -30, 0, 0, Upright::lying, 0, -90},     // not yet past -30
        {FallWay::right, -30.5, -30.5, 0, 0, Upright::lying, -90, 0},  // onto the back
        {FallWay::right, 0, 0, -110, 0, Upright::lying, 0, 90},      // no stand-up from a side
        {FallWay::left, 61, 0, -110, 61, Upright::standing, 0, 0},   // rolled over, then up
        {FallWay::back, 0, 0, -110, 0, Upright::standing, 0, 0},
        {FallWay::front, 0, 0, -100, 0, Upright::lying, 90, 0},      // knees not yet past -100
    };
    for (const Case& c : cases) {
        Robot r;
        start_fall(r, c.way, 0.0);
        update_tilt(r, 0.4);
        ASSERT_EQ(Upright::lying, r.upright);
        r.angle["rlj3"] = c.rhip;
        r.angle["llj3"] = c.lhip;
        r.angle["rlj4"] = r.angle["llj4"] = c.knees;
        r.angle[c.way == FallWay::left ? "laj2" : "raj2"] = c.way == FallWay::left ? c.arm : -c.arm;
        for (double t : {0.5, 1.0, 1.1, 1.5}) update_tilt(r, t);
        EXPECT_EQ(c.state, r.upright) << c.rhip << " " << c.lhip << " " << c.knees << " " << c.arm;
        EXPECT_DOUBLE_EQ(c.tilt, r.tilt);
        EXPECT_DOUBLE_EQ(c.roll, r.roll);
        EXPECT_NEAR(std::cos(std::max(std::fabs(c.tilt), std::fabs(c.roll)) * M_PI / 180), torso_axes(r).u[2], 1e-12);
    }
}

// ------------------------------------------------------------- walk model

// One cycle of the walk model with the right (0) or left (1) foot in the air
// or both down, after setting the hip yaws; the heading change it made.
double step(Robot& r, int lifted, double rlj1, double llj1)
{
    r.speed["rlj4"] = lifted == 0 ? -5.0 : 0.0;
    r.speed["llj4"] = lifted == 1 ? -5.0 : 0.0;
    r.angle["rlj4"] = lifted == 0 ? -60.0 : 0.0;
    r.angle["llj4"] = lifted == 1 ? -60.0 : 0.0;
    r.angle["rlj1"] = rlj1;
    r.angle["llj1"] = llj1;
    const double before = r.pose.heading;
    move_by_legs(r);
    return r.pose.heading - before;
}

TEST(PeerWalkModel, HipYawTurnsTheBodyAsOnTheRealRobot)
{
    Robot r;
    move_by_legs(r);
    // A swing leg's yaw turns counter-clockwise for a positive change, either leg.
    step(r, 0, 0, 0);
    EXPECT_LT(step(r, 0, -6, 0), 0.0);
    step(r, -1, -6, 0);
    step(r, 1, -6, 0);
    EXPECT_LT(step(r, 1, -6, -6), 0.0);
    // A stance hip turned negative turns the body over the right foot
    // counter-clockwise and over the left foot clockwise.
    step(r, -1, 0, 0);
    step(r, 1, 0, 0);
    EXPECT_GT(step(r, 1, -15, 0), 0.0);
    step(r, -1, 0, 0);
    step(r, 0, 0, 0);
    double before[3], after[3];
    torso_position(r, before);
    EXPECT_LT(step(r, 0, 0, -15), 0.0);
    // The body turns about its own axis: the camera ahead of it swings round.
    torso_position(r, after);
    EXPECT_NEAR(before[0], after[0], 1e-12);
    EXPECT_NEAR(before[1], after[1], 1e-12);
}

// Both legs swing in opposite senses (hips 30-43 degrees, as in the turn
// motion) with the knees up to `depth` degrees apart; the forward distance the
// body moved in 5 s once the gait runs.
double march(double depth)
{
    Robot r;
    const int period = 28;  // cycles
    const double a = depth / 2.0;
    double x0 = 0.0;
    for (int k = 0; k <= 12 * period; ++k) {
        const double s = std::sin(2.0 * M_PI * k / period), c = std::cos(2.0 * M_PI * k / period);
        const double knee_rate = a * 2.0 * M_PI / (period * CYCLE) * M_PI / 180.0;  // rad/s
        r.angle["rlj3"] = 36.5 + 6.5 * s;
        r.angle["llj3"] = 36.5 - 6.5 * s;
        r.angle["rlj4"] = -50.0 - a * s;
        r.angle["llj4"] = -50.0 + a * s;
        r.speed["rlj4"] = -knee_rate * c;
        r.speed["llj4"] = knee_rate * c;
        move_by_legs(r);
        if (k == 3 * period) x0 = r.pose.x;
    }
    return r.pose.x - x0;
}

TEST(PeerWalkModel, StepsThatDoNotLiftAFootClearMarchOnTheSpot)
{
    struct Case {
        double depth;
        bool moves;
    };
    const Case cases[] = {{18.0, false}, {23.9, false}, {24.0, true}, {36.0, true}};
    for (const Case& c : cases) {
        const double moved = march(c.depth);
        if (c.moves)
            EXPECT_GT(std::fabs(moved), 0.01) << c.depth << ": " << moved;
        else
            EXPECT_NEAR(0.0, moved, 1e-9) << c.depth;
    }
}

TEST(PeerWalkModel, TheHipYawJointsStopJustPastZero)
{
    Robot r;
    r.speed["rlj1"] = 6.0;
    r.speed["llj1"] = -6.0;
    r.speed["rlj3"] = 6.0;
    for (int i = 0; i < 100; ++i) integrate_joints(r);
    EXPECT_DOUBLE_EQ(1.0, r.angle["rlj1"]);
    EXPECT_DOUBLE_EQ(-90.0, r.angle["llj1"]);
    EXPECT_DOUBLE_EQ(180.0, r.angle["rlj3"]);
}

// ------------------------------------------------------------- game state

TEST(PeerGameState, ClassicAndTodaysForms)
{
    struct Case {
        bool today, long_gs;
        int unum;
        const char* gs;
    };
    const Case cases[] = {
        {false, false, 3, "(GS (unum 3) (team right) (t 5.000) (pm PlayOn))"},
        {false, false, 0, "(GS (t 5.000) (pm PlayOn))"},
        {true, false, 3, "(GS (sl 2) (sr 1) (t 5.000) (pm PlayOn) (k right) (ti () ()))"},
        {true, true, 3, "(GS (unum 3) (team right) (sl 2) (sr 1) (t 5.000) (pm PlayOn) (k right) (ti () ()))"},
        {true, true, 0, "(GS (sl 2) (sr 1) (t 5.000) (pm PlayOn) (k right) (ti () ()))"},
    };
    for (const Case& c : cases) {
        Robot r;
        r.unum = c.unum;
        r.left = false;
        Perception p;
        p.game_time = 5.0;
        p.play_mode = "PlayOn";
        p.today = c.today;
        p.long_gs = c.long_gs;
        p.score_left = 2;
        p.score_right = 1;
        p.kickoff_left = false;
        EXPECT_TRUE(has(perception_text(r, {}, Ball(), p), std::string(")") + c.gs + "(GYR")) << c.gs;
    }
}

// ------------------------------------------------------------------ truth

TEST(PeerTruth, OneJsonLineInTheRealServersFormat)
{
    Robot keeper = standing_at(-1, 0.5, 10);
    keeper.unum = 1;
    Robot lying = standing_at(2, -1, 180);
    lying.unum = 2;
    lying.left = false;
    lying.tilt = -90;
    lying.camera_height = 0.1;
    Robot fresh;  // no number yet: not listed
    Ball ball;
    ball.x = 1.5;
    ball.y = -0.25;
    EXPECT_EQ("{\"t\":12.34,\"pm\":\"PlayOn\",\"ball\":[1.5,-0.25,0.042],\"agents\":["
              "{\"team\":\"Left\",\"unum\":1,\"pos\":[-1.0443,0.4922,0.35],\"upz\":1.0,\"yaw\":10.0},"
              "{\"team\":\"Right\",\"unum\":2,\"pos\":[1.85,-1.0,0.055],\"upz\":0.0,\"yaw\":180.0}]}",
              truth_line(12.34, "PlayOn", ball, {&keeper, &fresh, &lying}));
}

// -------------------------------------------------- the executable, today

// The peer on addr, with the test as its agents.
struct PeerRun {
    explicit PeerRun(const std::string& addr, std::vector<std::string> args)
    {
        args.push_back("--host=" + addr);
        args.push_back("--wait=10");
        peer.reset(new testsupport::Subprocess(testsupport::peer_binary(), args));
        EXPECT_TRUE(peer->wait_for_out("listening on", 5000)) << peer->err();
    }
    std::unique_ptr<testsupport::Subprocess> peer;
};

int join(const std::string& addr, const std::string& team)
{
    const int fd = testsupport::connect_to(addr);
    EXPECT_GE(fd, 0);
    testsupport::send_frame(fd, "(scene rsg/agent/nao/nao.rsg)");
    std::string first;
    EXPECT_EQ(testsupport::Io::ok, testsupport::recv_frame(fd, first));
    testsupport::send_frame(fd, "(init (unum 0)(teamname " + team + "))(syn)");
    return fd;
}

TEST(PeerToday, ACycleWaitsForEveryAgentsSyn)
{
    const std::string addr = "127.0.0.150";
    PeerRun run(addr, {"--today", "--reply-timeout=0.3", "--cycles=6"});
    using testsupport::Io;
    using testsupport::recv_frame;
    using testsupport::send_frame;
    const int a = join(addr, "Alpha");
    std::string msg;
    ASSERT_EQ(Io::ok, recv_frame(a, msg));  // cycle 1
    // Beta comes in while the game waits for Alpha: it gets cycle 2 with Alpha.
    const int b = testsupport::connect_to(addr);
    send_frame(b, "(scene rsg/agent/nao/nao.rsg)");
    EXPECT_EQ(Io::timeout, recv_frame(b, msg, 300));
    send_frame(a, "(he1 0)(syn)");
    ASSERT_EQ(Io::ok, recv_frame(b, msg));
    ASSERT_EQ(Io::ok, recv_frame(a, msg));
    // A reply that does not end with (syn) does not count: both wait.
    send_frame(a, "(syn)(he1 0)");
    send_frame(b, "(init (unum 0)(teamname Beta))(syn)");
    EXPECT_EQ(Io::timeout, recv_frame(b, msg, 600));
    EXPECT_TRUE(run.peer->wait_for_out("Alpha #1 sent no (syn) within 0.3 s", 3000)) << run.peer->out();
    send_frame(a, "(he1 0)(syn)");
    for (int cycle = 3; cycle < 6; ++cycle) {
        ASSERT_EQ(Io::ok, recv_frame(a, msg)) << cycle;
        ASSERT_EQ(Io::ok, recv_frame(b, msg)) << cycle;
        send_frame(a, "(syn)");
        send_frame(b, "(syn)");
    }
    ::close(a);
    ::close(b);
    EXPECT_TRUE(run.peer->wait(5000));
    EXPECT_TRUE(has(run.peer->out(), "peer: 6 cycles, every one synced by every agent\n")) << run.peer->out();
}

TEST(PeerToday, AnAgentGoneBeforeItsSynLeavesACycleUnsynced)
{
    const std::string addr = "127.0.0.153";
    PeerRun run(addr, {"--today", "--cycles=5"});
    const int fd = join(addr, "Alpha");
    std::string msg;
    ASSERT_EQ(testsupport::Io::ok, testsupport::recv_frame(fd, msg));
    ::close(fd);
    EXPECT_TRUE(run.peer->wait(5000));
    EXPECT_TRUE(has(run.peer->out(), "peer: 2 cycles, 1 of them without every agent's (syn)\n")) << run.peer->out();
}

TEST(PeerToday, SideAndNumberOnceInTheThirdMessageVisionEveryThird)
{
    const std::string addr = "127.0.0.151";
    const std::string truth = "/tmp/travonelquist-peer-truth-151.jsonl";
    PeerRun run(addr, {"--today", "--cycles=10", "--side=right", "--truth=" + truth});
    const int fd = join(addr, "Beta");
    std::vector<std::string> got(1);
    for (int i = 1; i < 10; ++i) {
        std::string msg;
        ASSERT_EQ(testsupport::Io::ok, testsupport::recv_frame(fd, msg));
        got.push_back(msg);
        testsupport::send_frame(fd, "(syn)");
    }
    for (std::size_t i = 1; i < got.size(); ++i) {
        EXPECT_EQ(i == 2, has(got[i], "(GS (unum 1) (team right) (sl 0) (sr 0) (t ")) << i;
        EXPECT_TRUE(has(got[i], ") (k left) (ti () ()))")) << i;
        EXPECT_EQ(i % 3 == 0, has(got[i], "(See ")) << i;
    }
    ::close(fd);
    EXPECT_TRUE(run.peer->wait(5000));
    std::ifstream in(truth);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    std::remove(truth.c_str());
    ASSERT_EQ(10u, lines.size());
    EXPECT_EQ("{\"t\":0.0,\"pm\":\"BeforeKickOff\",\"ball\":[0.0,0.0,0.042],\"agents\":[]}", lines[0]);
    // Its start pose (-1, 0) facing the other goal, in the right team's frame.
    EXPECT_EQ("{\"t\":0.0,\"pm\":\"BeforeKickOff\",\"ball\":[0.0,0.0,0.042],\"agents\":["
              "{\"team\":\"Right\",\"unum\":1,\"pos\":[1.045,0.0,0.35],\"upz\":1.0,\"yaw\":180.0}]}",
              lines[1]);
}

// Lying on its left side, the robot is beamed before kick-off: it stands
// upright again, its side roll gone.
TEST(PeerBeam, ABeamAfterASideFallLeavesTheRobotUpright)
{
    const std::string addr = "127.0.0.210";
    PeerRun run(addr, {"--fast", "--script=0:BeforeKickOff", "--fall-at=0.1", "--fall=left", "--cycles=40"});
    const int fd = join(addr, "Alpha");
    std::vector<std::string> got;
    for (int i = 1; i < 40; ++i) {
        std::string msg;
        ASSERT_EQ(testsupport::Io::ok, testsupport::recv_frame(fd, msg)) << i;
        got.push_back(msg);
        testsupport::send_frame(fd, i == 30 ? "(beam -2 1 0)" : "(he1 0)");
    }
    ::close(fd);
    EXPECT_TRUE(run.peer->wait(5000));
    EXPECT_TRUE(has(got[28], "(GYR (n torso) (rt 0.000 0.000 0.000))(ACC (n torso) (a 9.810 0.000 0.000))"))
        << got[28];
    EXPECT_TRUE(has(got[30], "(GYR (n torso) (rt 0.000 0.000 0.000))(ACC (n torso) (a 0.000 0.000 9.810))"))
        << got[30];
}

}  // namespace
