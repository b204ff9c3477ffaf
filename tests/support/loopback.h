#ifndef TRAVONELQUIST_TESTS_SUPPORT_LOOPBACK_H
#define TRAVONELQUIST_TESTS_SUPPORT_LOOPBACK_H

#include <cstddef>
#include <string>

namespace testsupport {

// Outcome of a timed socket operation.
enum class Io { ok, closed, timeout, error };

// A stand-in server on one loopback address: listens on addr:port
// (SO_REUSEADDR) and talks to the one client it accepts. Every test uses its
// own 127.0.0.x address so that tests can run in parallel.
//
//   testsupport::LoopbackServer server("127.0.0.7");
//   ... start the agent with --host=127.0.0.7 ...
//   ASSERT_TRUE(server.accept_client(5000));
//   std::string scene;
//   ASSERT_EQ(server.recv_frame(scene), testsupport::Io::ok);
//   server.send_frame("(time (now 1.0))");
//
// The constructor fails the calling test (ADD_FAILURE) and leaves ok() false
// when the address cannot be bound. The destructor closes both sockets.
class LoopbackServer {
public:
    explicit LoopbackServer(const std::string& addr, int port = 3100);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool ok() const { return listen_fd_ >= 0; }
    const std::string& addr() const { return addr_; }
    int port() const { return port_; }

    // Waits up to timeout_ms for one client; true once it is accepted.
    bool accept_client(int timeout_ms = 5000);
    int client_fd() const { return client_fd_; }

    // One message with a 4-byte big-endian length prefix.
    Io send_frame(const std::string& payload, int timeout_ms = 5000);
    // Reads one framed message into payload (ok), or reports that the client
    // closed (closed: nothing or only part of a frame arrived) or the time ran out.
    Io recv_frame(std::string& payload, int timeout_ms = 5000);
    // Arbitrary bytes, exactly as given.
    Io send_raw(const std::string& bytes, int timeout_ms = 5000);
    // Exactly n bytes (ok), or what arrived before the client closed / time ran out.
    Io recv_raw(std::string& out, std::size_t n, int timeout_ms = 5000);
    // Waits until the client closes its end; any bytes read meanwhile are
    // appended to *rest when given. ok means the end of stream was seen.
    Io wait_closed(int timeout_ms = 5000, std::string* rest = nullptr);
    // True when nothing is readable within timeout_ms (no bytes, no end of stream).
    bool quiet_for(int timeout_ms);

    void close_client();
    void close_listener();

private:
    std::string addr_;
    int port_;
    int listen_fd_;
    int client_fd_;
};

// The same operations on any connected descriptor (e.g. one end of a
// socketpair or a client socket of the test's own).
Io send_all(int fd, const char* data, std::size_t n, int timeout_ms);
Io recv_exact(int fd, std::string& out, std::size_t n, int timeout_ms);
Io send_frame(int fd, const std::string& payload, int timeout_ms = 5000);
Io recv_frame(int fd, std::string& payload, int timeout_ms = 5000);

// The 4-byte big-endian length prefix followed by payload.
std::string frame(const std::string& payload);
// A prefix announcing n bytes, with no payload.
std::string prefix(unsigned long n);

// A client socket connected to addr:port, or -1.
int connect_to(const std::string& addr, int port = 3100, int timeout_ms = 5000);

}  // namespace testsupport

#endif
