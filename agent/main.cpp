#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include <boost/shared_ptr.hpp>

#include "agent/agent.h"
#include "agent/rcssnet.h"
#include "agent/soccerbotbehavior.h"
#include "decision/tervalonaction.h"
#include "worldmodel/worldmodel.h"

std::string gHost = "127.0.0.1";
int gPort = 3100;
std::string gTeam = "MERLO-Skyline";
boost::shared_ptr<Agent> a;

void PrintHelp()
{
    std::cout << "\nusage: travonelquist-base [options]" << std::endl;
    std::cout << "\noptions:" << std::endl;
    std::cout << " --help      prints this message." << std::endl;
    std::cout << " --host=IP   IP of the server." << std::endl;
    std::cout << " --team=NAME NAME of the team." << std::endl;
    std::cout << " --type=K    robot type K, 0 to 4: rsg/agent/nao/nao_hetero.rsg K instead of nao.rsg." << std::endl;
    std::cout << "\n";
}

namespace {

// "--type=K" with K a single digit of a robot type, nothing before or after.
bool read_robot_type(const char* arg, int& robot_type)
{
    if (std::strncmp(arg, "--type=", 7) != 0) return false;
    const char* k = arg + 7;
    if (k[0] < '0' || k[0] >= '0' + SoccerbotBehavior::kRobotTypes || k[1] != '\0') return false;
    robot_type = k[0] - '0';
    return true;
}

static_assert(SoccerbotBehavior::kStandardRobot == Tervalonaction::kStandardRobot,
              "the behaviour and the decision name the standard robot alike");

}  // namespace

void ReadOptions(int argc, char** argv, int& robot_type)
{
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0) {
            PrintHelp();
            std::exit(0);
        }
        // Anything else that starts like the option (say "--types=..." meant
        // for the team script) is an error too, rather than a silent standard robot.
        if (std::strncmp(arg, "--type", 6) == 0) {
            if (!read_robot_type(arg, robot_type)) {
                std::cerr << "travonelquist-base: bad robot type in '" << arg
                          << "': the option is --type=K with K one of 0, 1, 2, 3, 4" << std::endl;
                std::exit(1);
            }
            continue;
        }
        std::string* setting = nullptr;
        if (std::strncmp(arg, "--host", 6) == 0) {
            setting = &gHost;
        } else if (std::strncmp(arg, "--team", 6) == 0) {
            setting = &gTeam;
        }
        if (setting) {
            // The seventh character is the "=" of the usage text; it is skipped unchecked.
            if (std::strlen(arg) <= 7) {
                PrintHelp();
                std::exit(0);
            }
            *setting = arg + 7;
        }
    }
}

void handler(int sig)
{
    if (sig != SIGINT) return;
    Agent* agent = a.get();
    if (agent) {
        agent->stop();
        return;
    }
    // No agent yet (still starting or connecting): nothing to stop, so the
    // interrupt ends the process the default way.
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
}

namespace {

// Stores the agent in the handle the interrupt handler reads, with the
// interrupt held back so that the handler never sees a half-written handle.
void publish_agent(const boost::shared_ptr<Agent>& agent)
{
    sigset_t block, old;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigprocmask(SIG_BLOCK, &block, &old);
    a = agent;
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    std::signal(SIGINT, handler);
    int robot_type = SoccerbotBehavior::kStandardRobot;
    ReadOptions(argc, argv, robot_type);

    boost::shared_ptr<Worldmodel> world;
    boost::shared_ptr<Tervalonaction> decision;
    boost::shared_ptr<SoccerbotBehavior> behavior;
    try {
        world.reset(new Worldmodel(gTeam));
        decision.reset(new Tervalonaction(world, robot_type));
        behavior.reset(new SoccerbotBehavior(world, decision, robot_type));
        publish_agent(boost::shared_ptr<Agent>(new Agent(behavior, gHost, gPort)));
        a->run();
    } catch (const rcss::net::BindErr& e) {
        std::cerr << "failed to bind socket with '" << e.what() << "'" << std::endl;
    } catch (const rcss::net::ConnectErr& e) {
        std::cerr << "connection failed with: '" << e.what() << "'" << std::endl;
    }

    behavior.reset();
    decision.reset();
    world.reset();

    if (a) a->done();

    // The handle is released after main returns; an interrupt then has
    // nothing left to stop.
    std::signal(SIGINT, SIG_IGN);
    return 0;
}
