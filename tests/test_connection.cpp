#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

#include <netinet/in.h>
#include <netinet/tcp.h>

#include <gtest/gtest.h>

#include "agent/connection.h"
#include "support/loopback.h"

using testsupport::Io;
using testsupport::LoopbackServer;
using testsupport::frame;
using testsupport::prefix;

namespace {

// A connection to an in-process peer listening on its own loopback address.
struct Link {
    LoopbackServer server;
    Connection conn;

    explicit Link(const std::string& addr) : server(addr), conn(addr, 3100)
    {
        EXPECT_TRUE(server.accept_client(5000));
        int one = 1;
        ::setsockopt(server.client_fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
};

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TEST(ConnectionTest, KeepsHostAndPort)
{
    Link link("127.0.0.2");
    EXPECT_EQ("127.0.0.2", link.conn.host());
    EXPECT_EQ(3100, link.conn.port());
}

TEST(ConnectionTest, NoListenerRaisesConnectErr)
{
    try {
        Connection conn("127.0.0.3", 3100);
        FAIL() << "connected to an address nobody listens on";
    } catch (const rcss::net::ConnectErr& e) {
        EXPECT_NE(std::string(e.what()).find("127.0.0.3:3100"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(std::strerror(ECONNREFUSED)), std::string::npos) << e.what();
    }
}

TEST(ConnectionTest, NumericHostText)
{
    const rcss::net::Addr addr(3100, std::string("127.0.0.19"));
    EXPECT_EQ(0x7f000013ul, addr.host());
    EXPECT_EQ(3100, addr.port());
}

TEST(ConnectionTest, ReceivesFramedMessagesInOrder)
{
    Link link("127.0.0.4");
    // two messages in one segment, then the peer closes: the second must still
    // be in the socket, since no read crosses a message boundary
    ASSERT_EQ(Io::ok, link.server.send_raw(prefix(5) + "hello" + prefix(5) + "world"));
    link.server.close_client();
    std::string msg;
    ASSERT_TRUE(link.conn.get_message(msg));
    EXPECT_EQ("hello", msg);
    ASSERT_TRUE(link.conn.get_message(msg));
    EXPECT_EQ("world", msg);
    EXPECT_FALSE(link.conn.get_message(msg));
    EXPECT_EQ("world", msg);
}

TEST(ConnectionTest, AssemblesPiecesOfPrefixAndPayload)
{
    Link link("127.0.0.5");
    const std::string block = frame("(time (now 12.34))");
    std::thread sender([&] {
        for (char c : block) {
            link.server.send_raw(std::string(1, c));
            pause_ms(5);
        }
    });
    std::string msg;
    const bool got = link.conn.get_message(msg);
    sender.join();
    ASSERT_TRUE(got);
    EXPECT_EQ("(time (now 12.34))", msg);
}

TEST(ConnectionTest, LengthLimits)
{
    Link link("127.0.0.6");
    std::string msg = "unchanged";
    ASSERT_EQ(Io::ok, link.server.send_frame(""));
    ASSERT_TRUE(link.conn.get_message(msg));
    EXPECT_EQ("", msg);

    std::string longest(16380, 'x');
    longest.back() = 'y';
    std::thread sender([&] { link.server.send_frame(longest); });
    const bool got = link.conn.get_message(msg);
    sender.join();
    ASSERT_TRUE(got);
    EXPECT_EQ(longest, msg);

    // a short message after the longest one: nothing of the old text remains
    ASSERT_EQ(Io::ok, link.server.send_frame("ab"));
    ASSERT_TRUE(link.conn.get_message(msg));
    EXPECT_EQ("ab", msg);
}

TEST(ConnectionDeathTest, OverLongMessageAborts)
{
    GTEST_FLAG_SET(death_test_style, "fast");
    Link link("127.0.0.7");
    ASSERT_EQ(Io::ok, link.server.send_raw(prefix(16381) + "x"));
    std::string msg;
    EXPECT_DEATH(link.conn.get_message(msg), "^too long message; aborting\n$");
}

TEST(ConnectionDeathTest, HugeLengthAborts)
{
    GTEST_FLAG_SET(death_test_style, "fast");
    Link link("127.0.0.8");
    ASSERT_EQ(Io::ok, link.server.send_raw(std::string(4, '\xff')));
    std::string msg;
    EXPECT_DEATH(link.conn.get_message(msg), "^too long message; aborting\n$");
}

TEST(ConnectionTest, ZeroByteEndsTheText)
{
    Link link("127.0.0.9");
    ASSERT_EQ(Io::ok, link.server.send_frame(std::string("ab\0cd", 5)));
    ASSERT_EQ(Io::ok, link.server.send_frame(std::string("\0z", 2)));
    ASSERT_EQ(Io::ok, link.server.send_frame("next"));
    std::string msg;
    ASSERT_TRUE(link.conn.get_message(msg));
    EXPECT_EQ("ab", msg);
    ASSERT_TRUE(link.conn.get_message(msg));
    EXPECT_EQ("", msg);
    // the dropped tail was still consumed
    ASSERT_TRUE(link.conn.get_message(msg));
    EXPECT_EQ("next", msg);
}

TEST(ConnectionTest, PeerClosingLeavesTheMessageUnchanged)
{
    struct Case {
        const char* addr;
        std::string sent;  // what the peer sends before it closes
    };
    const Case cases[] = {
        {"127.0.0.10", ""},                        // between messages
        {"127.0.0.11", std::string("\0\0", 2)},    // inside the prefix
        {"127.0.0.12", prefix(10) + "abc"},        // inside the payload
        {"127.0.0.13", prefix(3)},                 // right after the prefix
    };
    for (const Case& c : cases) {
        Link link(c.addr);
        if (!c.sent.empty()) {
            ASSERT_EQ(Io::ok, link.server.send_raw(c.sent));
        }
        link.server.close_client();
        std::string msg = "unchanged";
        EXPECT_FALSE(link.conn.get_message(msg)) << c.addr;
        EXPECT_EQ("unchanged", msg) << c.addr;
    }
}

TEST(ConnectionTest, ResetInsideThePayloadEndsTheReceive)
{
    Link link("127.0.0.14");
    ASSERT_EQ(Io::ok, link.server.send_raw(prefix(10) + "abc"));
    pause_ms(50);
    // an abortive close: the peer answers with a reset
    linger hard{1, 0};
    ::setsockopt(link.server.client_fd(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    link.server.close_client();
    std::string msg = "unchanged";
    EXPECT_FALSE(link.conn.get_message(msg));
    EXPECT_EQ("unchanged", msg);
}

TEST(ConnectionTest, SendsFramedBlocks)
{
    Link link("127.0.0.15");
    link.conn.put_message("");  // writes nothing at all
    link.conn.put_message("abc");
    std::string bytes;
    ASSERT_EQ(Io::ok, link.server.recv_raw(bytes, 7));
    EXPECT_EQ(std::string("\x00\x00\x00\x03" "abc", 7), bytes);

    const std::string big(70000, 'q');  // length needs three bytes
    link.conn.put_message(big);
    std::string got;
    ASSERT_EQ(Io::ok, link.server.recv_raw(got, 4));
    EXPECT_EQ(std::string("\x00\x01\x11\x70", 4), got);
    ASSERT_EQ(Io::ok, link.server.recv_raw(got, big.size()));
    EXPECT_EQ(big, got);
    EXPECT_TRUE(link.server.quiet_for(50));
}

extern "C" void count_alarm(int) {}

TEST(ConnectionTest, WritesTheWholeBlockWhenInterrupted)
{
    Link link("127.0.0.16");
    // Without SA_RESTART a timer signal cuts a blocking send short; the rest
    // must still go out.
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = count_alarm;
    struct sigaction old;
    ASSERT_EQ(0, ::sigaction(SIGALRM, &sa, &old));
    itimerval every{{0, 1000}, {0, 1000}};
    ::setitimer(ITIMER_REAL, &every, nullptr);

    std::string big(4 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
    std::string got;
    Io result = Io::error;
    std::thread reader([&] {
        sigset_t mask;
        sigemptyset(&mask);
        sigaddset(&mask, SIGALRM);
        pthread_sigmask(SIG_BLOCK, &mask, nullptr);
        pause_ms(50);  // let the sender fill the socket and block
        result = link.server.recv_frame(got, 3000);
    });
    link.conn.put_message(big);
    reader.join();

    itimerval off{{0, 0}, {0, 0}};
    ::setitimer(ITIMER_REAL, &off, nullptr);
    ::sigaction(SIGALRM, &old, nullptr);
    ASSERT_EQ(Io::ok, result);
    EXPECT_TRUE(got == big);
}

TEST(ConnectionTest, SendingToAClosedPeerDoesNotKillTheProcess)
{
    Link link("127.0.0.17");
    link.server.close_client();
    pause_ms(20);
    // the first send draws a reset, the next ones would raise SIGPIPE
    for (int i = 0; i < 5; ++i) {
        link.conn.put_message("(he1 0)");
        pause_ms(5);
    }
    std::string msg = "unchanged";
    EXPECT_FALSE(link.conn.get_message(msg));
    EXPECT_EQ("unchanged", msg);
}

TEST(ConnectionTest, CloseEndsTheStreamForThePeer)
{
    Link link("127.0.0.18");
    link.conn.put_message("bye");
    link.conn.close();
    std::string rest;
    EXPECT_EQ(Io::ok, link.server.wait_closed(2000, &rest));
    EXPECT_EQ(frame("bye"), rest);
}

}  // namespace
