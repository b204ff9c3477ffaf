// The whole chain through the executable: a stand-in server on loopback sends
// perceptions and checks the agent's replies byte for byte.
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/loopback.h"
#include "support/paths.h"
#include "support/process.h"

namespace {

using testsupport::Io;

struct Joint {
    const char* name;      // as perceived
    const char* effector;  // as commanded
};

// Wire order of the effectors.
const std::vector<Joint> kJoints = {
    {"hj1", "he1"},   {"hj2", "he2"},   {"laj1", "lae1"}, {"laj2", "lae2"}, {"laj3", "lae3"},
    {"laj4", "lae4"}, {"llj1", "lle1"}, {"llj2", "lle2"}, {"llj3", "lle3"}, {"llj4", "lle4"},
    {"llj5", "lle5"}, {"llj6", "lle6"}, {"raj1", "rae1"}, {"raj2", "rae2"}, {"raj3", "rae3"},
    {"raj4", "rae4"}, {"rlj1", "rle1"}, {"rlj2", "rle2"}, {"rlj3", "rle3"}, {"rlj4", "rle4"},
    {"rlj5", "rle5"}, {"rlj6", "rle6"},
};

struct Target {
    double angle;
    double gain;
};

std::string num(double v)
{
    std::ostringstream out;
    out << v;
    return out.str();
}

// Proportional speed command; inside 0.2 degrees the fine gain.
double command(double measured, double target, double gain)
{
    return (target - measured) * (std::fabs(measured - target) > 0.2 ? gain : 0.005);
}

std::string hinge_perceptions(const std::vector<double>& measured)
{
    std::string text;
    for (size_t k = 0; k < kJoints.size(); ++k) {
        text += std::string("(HJ (n ") + kJoints[k].name + ") (ax " + num(measured[k]) + "))";
    }
    return text;
}

std::string joint_commands(const std::vector<double>& measured, const std::vector<Target>& targets)
{
    std::string text;
    for (size_t k = 0; k < kJoints.size(); ++k) {
        text += std::string("(") + kJoints[k].effector + " " +
                num(command(measured[k], targets[k].angle, targets[k].gain)) + ")";
    }
    return text;
}

// Measured angles, in wire order: some far from 0, some inside the band,
// two exactly on its edge.
const std::vector<double> kStanding = {
    0.1,  -7.5, 12.25, -0.2, 0.2,  3,    -45.5, 0.15, 1.5, -2.25, 0,
    60,   -0.05, 9.75, -3.5, 88,   -0.3, 0.3,   22,   -60, 5.5,   -11,
};

const std::vector<double> kLying = {
    4,   -3,  110, 2,  -85, -88, -4,  1,  -17, -79, 44,
    0.5, 1,   -1,  0,  0.1, 0.05, -44, 91, 0.15, 0.1, -0.1,
};

// Rest posture in a placement cycle: the head held at 0, the rest at 0 with gain 0.4.
std::vector<Target> rest_targets()
{
    std::vector<Target> t(kJoints.size(), Target{0.0, 0.4});
    t[0] = t[1] = Target{0.0, 0.05};
    return t;
}

// First phase of the stand-up from the back, in wire order; the head held at 0.
const std::vector<Target> kBackPhaseZero = {
    {0, 0.05},  {0, 0.05},                                                   // he1 he2
    {120, 0.1}, {0, 0.1},   {-90, 0.1},  {-90, 0.1},                         // lae1..4
    {-5, 0.1},  {0, 0.3},   {-20, 0.02}, {-80, 0.05}, {45, 0.1}, {0, 0.1},   // lle1..6
    {0, 0.1},   {0, 0.1},   {0, 0.1},    {0, 0.1},                           // rae1..4
    {0, 0.1},   {-45, 0.3}, {90, 0.05},  {0, 0.01},   {0, 0.05}, {0, 0.1},   // rle1..6
};

// Corner flags seen by a camera 0.3 m above the centre spot. fwd, left and
// up are the camera's axes in field coordinates.
struct Axes {
    double fwd[3], left[3], up[3];
};

std::string corner_flags(const Axes& cam)
{
    struct Flag {
        const char* name;
        double x, y;
    };
    const Flag flags[] = {{"F1L", -6, 4}, {"F1R", 6, 4}, {"F2L", -6, -4}, {"F2R", 6, -4}};
    const double kPi = 3.141592653589793;
    std::string text = "(See";
    for (const Flag& f : flags) {
        const double w[3] = {f.x, f.y, -0.3};
        auto dot = [&w](const double* a) { return w[0] * a[0] + w[1] * a[1] + w[2] * a[2]; };
        const double cx = dot(cam.fwd), cy = dot(cam.left), cz = dot(cam.up);
        const double r = std::sqrt(cx * cx + cy * cy + cz * cz);
        char item[128];
        std::snprintf(item, sizeof item, " (%s (pol %.4f %.4f %.4f))", f.name, r,
                      std::atan2(cy, cx) * 180 / kPi, std::asin(cz / r) * 180 / kPi);
        text += item;
    }
    return text + ")";
}

// Lying on its back, head towards the own goal: looking straight up.
const Axes kOnTheBack = {{0, 0, 1}, {0, 1, 0}, {-1, 0, 0}};
// Standing, facing the opponent goal.
const Axes kUpright = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

const char* const kBeforeKickOff =
    "(time (now 0.00))(GS (unum 2) (team left) (t 0.00) (pm BeforeKickOff))"
    "(GYR (n torso) (rt 0.01 -0.02 0.00))";

class DecisionE2E : public ::testing::Test {
protected:
    // Starts the agent against a stand-in server on addr and checks the scene command.
    void start(const std::string& addr)
    {
        server_.reset(new testsupport::LoopbackServer(addr));
        ASSERT_TRUE(server_->ok());
        agent_.reset(new testsupport::Subprocess(testsupport::agent_binary(),
                                                 {"--host=" + addr, "--team=E2E"}));
        ASSERT_TRUE(agent_->started());
        ASSERT_TRUE(server_->accept_client(5000));
        std::string scene;
        ASSERT_EQ(Io::ok, server_->recv_frame(scene));
        EXPECT_EQ("(scene rsg/agent/nao/nao.rsg)", scene);
    }

    std::string exchange(const std::string& perception)
    {
        std::string reply;
        EXPECT_EQ(Io::ok, server_->send_frame(perception));
        EXPECT_EQ(Io::ok, server_->recv_frame(reply));
        return reply;
    }

    void finish()
    {
        server_->close_client();
        ASSERT_TRUE(agent_->wait(5000));
        EXPECT_TRUE(agent_->exited());
        EXPECT_EQ(0, agent_->exit_code());
        EXPECT_EQ("", agent_->err());
    }

    std::unique_ptr<testsupport::LoopbackServer> server_;
    std::unique_ptr<testsupport::Subprocess> agent_;
};

TEST_F(DecisionE2E, BeforeKickOffGetsInitBeamAndRestPosture)
{
    start("127.0.0.50");
    const std::string reply = exchange(kBeforeKickOff + hinge_perceptions(kStanding));
    EXPECT_EQ("(init (unum 0)(teamname E2E))(beam -0.17 -0.036 0 )" +
                  joint_commands(kStanding, rest_targets()),
              reply);

    // Placement goes on in every cycle before kick-off, without the init
    // command and, the robot being placed already, without another beam.
    const std::string again =
        exchange("(time (now 0.02))(GS (t 0.00) (pm BeforeKickOff))" + hinge_perceptions(kLying));
    EXPECT_EQ(joint_commands(kLying, rest_targets()), again);
    finish();
}

TEST_F(DecisionE2E, LyingOnTheBackGetsTheFirstPhaseOfTheBackStandUp)
{
    start("127.0.0.51");
    exchange(kBeforeKickOff + hinge_perceptions(kStanding));

    const std::string reply = exchange("(time (now 0.02))(GS (t 1.00) (pm PlayOn))" +
                                       corner_flags(kOnTheBack) + hinge_perceptions(kLying));
    EXPECT_EQ(joint_commands(kLying, kBackPhaseZero), reply);

    // Still lying, but no new detection: the stand-up goes on (llj3 has not
    // passed -18 yet, so in the same phase), even if the play mode now asks
    // for placement.
    const std::string next = exchange("(time (now 0.04))(GS (t 1.02) (pm Goal_Left))" +
                                      corner_flags(kOnTheBack) + hinge_perceptions(kLying));
    EXPECT_EQ(joint_commands(kLying, kBackPhaseZero), next);
    finish();
    EXPECT_NE(std::string::npos, agent_->out().find("standup_back() 0"));
}

TEST_F(DecisionE2E, UprightRobotInPlayIsNotStoodUp)
{
    start("127.0.0.52");
    exchange(kBeforeKickOff + hinge_perceptions(kStanding));
    // An upright camera at the centre spot facing the opponent goal.
    const std::string reply = exchange(std::string("(time (now 0.02))(GS (t 1.00) (pm PlayOn))") +
                                       corner_flags(kUpright) + hinge_perceptions(kStanding));
    EXPECT_EQ(std::string::npos, agent_->out().find("standup_"));
    EXPECT_EQ(std::string::npos, reply.find("(beam"));
    finish();
}

}  // namespace
