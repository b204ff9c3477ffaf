#ifndef TRAVONELQUIST_TESTS_SUPPORT_PROCESS_H
#define TRAVONELQUIST_TESTS_SUPPORT_PROCESS_H

#include <string>
#include <vector>

#include <sys/types.h>

namespace testsupport {

// A child process whose standard output and error go to temporary files, so
// that a large output never blocks it; standard input is /dev/null. SIGINT,
// SIGPIPE and SIGTERM start at their default dispositions in the child.
//
//   testsupport::Subprocess agent(testsupport::agent_binary(), {"--host=127.0.0.9"});
//   ... talk to it ...
//   agent.signal(SIGINT);
//   ASSERT_TRUE(agent.wait(5000));
//   EXPECT_TRUE(agent.exited());
//   EXPECT_EQ(agent.exit_code(), 0);
//   EXPECT_NE(agent.out().find("closed connection to "), std::string::npos);
//
// The destructor kills a child that is still running (SIGKILL), reaps it and
// removes the files.
class Subprocess {
public:
    // Starts program with args (argv[0] is program itself). started() tells
    // whether the fork succeeded; a failed exec ends the child with status 127.
    Subprocess(const std::string& program, const std::vector<std::string>& args);
    ~Subprocess();
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // Sends sig to the child if it is still running; true when sent.
    bool signal(int sig);
    // Waits up to timeout_ms for the child to end; true once it has ended.
    bool wait(int timeout_ms = 10000);
    bool running();

    // Valid after wait() returned true.
    bool exited() const { return ended_ && exited_; }     // normal exit
    int exit_code() const { return exit_code_; }          // its status
    bool signaled() const { return ended_ && signaled_; } // killed by a signal
    int term_signal() const { return term_signal_; }      // which one

    // Everything written so far (may be read while the child runs).
    std::string out() const;
    std::string err() const;
    // Waits until out()/err() contains text; true when found in time.
    bool wait_for_out(const std::string& text, int timeout_ms = 5000) const;
    bool wait_for_err(const std::string& text, int timeout_ms = 5000) const;

private:
    void reap(int status);

    pid_t pid_;
    std::string out_path_;
    std::string err_path_;
    bool ended_;
    bool exited_;
    bool signaled_;
    int exit_code_;
    int term_signal_;
};

// The outcome of a whole run.
struct ProcessResult {
    bool ended = false;     // false: still running at the time limit (then killed)
    bool exited = false;
    int exit_code = -1;
    bool signaled = false;
    int term_signal = 0;
    std::string out;
    std::string err;
};

// Runs program to its end (or kills it after timeout_ms) and returns what it did.
ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                          int timeout_ms = 10000);

}  // namespace testsupport

#endif
