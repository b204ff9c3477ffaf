#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <boost/make_shared.hpp>
#include <boost/weak_ptr.hpp>
#include <gtest/gtest.h>

#include "agent/agent.h"
#include "support/loopback.h"

using testsupport::Io;
using testsupport::LoopbackServer;
using testsupport::frame;

namespace {

// Answers with a scripted reply per message ("" once the script runs out)
// and remembers what it was given.
class ScriptedBehavior : public Behavior {
public:
    ScriptedBehavior(std::string start, std::vector<std::string> replies)
        : start_(std::move(start)), replies_(std::move(replies))
    {
    }

    std::string init() override
    {
        ++inits;
        return start_;
    }

    std::string think(const std::string& message) override
    {
        seen.push_back(message);
        if (on_think) on_think();
        const std::size_t i = seen.size() - 1;
        return i < replies_.size() ? replies_[i] : std::string();
    }

    int inits = 0;
    std::vector<std::string> seen;
    std::function<void()> on_think;

private:
    std::string start_;
    std::vector<std::string> replies_;
};

// An agent on a connection to an in-process peer; run() goes in a thread.
struct Rig {
    LoopbackServer server;
    boost::shared_ptr<Connection> conn;
    boost::shared_ptr<ScriptedBehavior> behavior;
    boost::shared_ptr<Agent> agent;
    std::thread loop;

    Rig(const std::string& addr, std::string start, std::vector<std::string> replies)
        : server(addr),
          conn(boost::make_shared<Connection>(addr, 3100)),
          behavior(boost::make_shared<ScriptedBehavior>(std::move(start), std::move(replies))),
          agent(boost::make_shared<Agent>(behavior, conn))
    {
        EXPECT_TRUE(server.accept_client(5000));
    }

    void start() { loop = std::thread([this] { agent->run(); }); }

    ~Rig()
    {
        // A loop still waiting for data ends when the peer goes away.
        server.close_client();
        if (loop.joinable()) loop.join();
    }
};

TEST(AgentTest, StartUpTextThenOneReplyPerMessage)
{
    Rig rig("127.0.0.20", "(scene s)", {"r1", "r2", "r3"});
    rig.start();
    std::string got;
    ASSERT_EQ(Io::ok, rig.server.recv_frame(got));
    EXPECT_EQ("(scene s)", got);
    for (const char* m : {"m1", "m2", "m3"}) {
        ASSERT_EQ(Io::ok, rig.server.send_frame(m));
        ASSERT_EQ(Io::ok, rig.server.recv_frame(got));
        EXPECT_EQ(std::string("r") + m[1], got);
    }
    rig.server.close_client();
    rig.loop.join();
    EXPECT_EQ(1, rig.behavior->inits);
    EXPECT_EQ((std::vector<std::string>{"m1", "m2", "m3"}), rig.behavior->seen);
}

TEST(AgentTest, EmptyTextsSendNothing)
{
    // no start-up text, and an empty reply to the first message
    Rig rig("127.0.0.21", "", {"", "r2"});
    rig.start();
    ASSERT_EQ(Io::ok, rig.server.send_frame("m1"));
    ASSERT_EQ(Io::ok, rig.server.send_frame("m2"));
    std::string got;
    ASSERT_EQ(Io::ok, rig.server.recv_frame(got));
    EXPECT_EQ("r2", got);  // the first bytes on the wire
    rig.server.close_client();
    rig.loop.join();
    EXPECT_EQ(2u, rig.behavior->seen.size());
}

TEST(AgentTest, EndIsSentAndEndsTheLoop)
{
    Rig rig("127.0.0.22", "", {"end", "never"});
    ASSERT_EQ(Io::ok, rig.server.send_frame("m1"));
    ASSERT_EQ(Io::ok, rig.server.send_frame("m2"));
    rig.start();
    rig.loop.join();  // returns while the peer still has the connection open
    EXPECT_EQ((std::vector<std::string>{"m1"}), rig.behavior->seen);
    std::string got;
    ASSERT_EQ(Io::ok, rig.server.recv_frame(got));
    EXPECT_EQ("end", got);
    EXPECT_TRUE(rig.server.quiet_for(50));
}

TEST(AgentTest, StopBeforeRunStillSendsTheStartUpText)
{
    Rig rig("127.0.0.23", "(scene s)", {"never"});
    ASSERT_EQ(Io::ok, rig.server.send_frame("m1"));
    rig.agent->stop();
    rig.start();
    rig.loop.join();
    EXPECT_EQ(1, rig.behavior->inits);
    EXPECT_TRUE(rig.behavior->seen.empty());
    std::string got;
    ASSERT_EQ(Io::ok, rig.server.recv_frame(got));
    EXPECT_EQ("(scene s)", got);
    EXPECT_TRUE(rig.server.quiet_for(50));
}

TEST(AgentTest, StopDuringACycleSendsItsReplyThenEnds)
{
    Rig rig("127.0.0.24", "", {"r1", "r2", "never"});
    rig.behavior->on_think = [&] {
        if (rig.behavior->seen.size() == 2) rig.agent->stop();
    };
    for (const char* m : {"m1", "m2", "m3"}) ASSERT_EQ(Io::ok, rig.server.send_frame(m));
    rig.start();
    rig.loop.join();
    EXPECT_EQ((std::vector<std::string>{"m1", "m2"}), rig.behavior->seen);
    std::string got;
    ASSERT_EQ(Io::ok, rig.server.recv_frame(got));
    EXPECT_EQ("r1", got);
    ASSERT_EQ(Io::ok, rig.server.recv_frame(got));
    EXPECT_EQ("r2", got);
}

TEST(AgentTest, ClosedInsideAMessageEndsTheLoop)
{
    Rig rig("127.0.0.25", "", {"r1"});
    ASSERT_EQ(Io::ok, rig.server.send_raw(frame("m1") + testsupport::prefix(20) + "part"));
    rig.start();
    std::string got;
    ASSERT_EQ(Io::ok, rig.server.recv_frame(got));
    EXPECT_EQ("r1", got);
    rig.server.close_client();
    rig.loop.join();
    EXPECT_EQ(1u, rig.behavior->seen.size());
}

TEST(AgentTest, DoneClosesAndReports)
{
    Rig rig("127.0.0.26", "", {});
    rig.server.close_client();
    rig.start();
    rig.loop.join();
    ::testing::internal::CaptureStdout();
    rig.agent->done();
    EXPECT_EQ("closed connection to 127.0.0.26:3100\n", ::testing::internal::GetCapturedStdout());
}

TEST(AgentTest, DoneEndsTheStreamForThePeer)
{
    Rig rig("127.0.0.27", "", {});
    ::testing::internal::CaptureStdout();
    rig.agent->done();
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(Io::ok, rig.server.wait_closed(2000));
}

// Records, when it goes, whether the connection was still there.
class WatchingBehavior : public Behavior {
public:
    WatchingBehavior(boost::weak_ptr<Connection> conn, bool& conn_alive)
        : conn_(conn), conn_alive_(conn_alive)
    {
    }
    ~WatchingBehavior() override { conn_alive_ = !conn_.expired(); }
    std::string init() override { return std::string(); }
    std::string think(const std::string&) override { return std::string(); }

private:
    boost::weak_ptr<Connection> conn_;
    bool& conn_alive_;
};

TEST(AgentTest, ReleasesTheBehaviourBeforeTheConnection)
{
    LoopbackServer server("127.0.0.28");
    boost::shared_ptr<Connection> conn = boost::make_shared<Connection>("127.0.0.28", 3100);
    boost::weak_ptr<Connection> watch = conn;
    bool conn_alive = false;
    {
        boost::shared_ptr<Behavior> behavior = boost::make_shared<WatchingBehavior>(watch, conn_alive);
        Agent agent(behavior, conn);
        behavior.reset();
        conn.reset();
    }
    EXPECT_TRUE(conn_alive);
    EXPECT_TRUE(watch.expired());
}

}  // namespace
