#include "support/process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

std::string temp_file(const char* tag)
{
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/travonelquist-" + tag + "-XXXXXX";
    std::vector<char> buf(path.begin(), path.end());
    buf.push_back('\0');
    int fd = ::mkstemp(buf.data());
    if (fd < 0) return std::string();
    ::close(fd);
    return std::string(buf.data());
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool poll_for(const std::string& path, const std::string& text, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (read_file(path).find(text) != std::string::npos) return true;
        if (Clock::now() >= deadline) return false;
        ::usleep(10000);
    }
}

}  // namespace

Subprocess::Subprocess(const std::string& program, const std::vector<std::string>& args)
    : pid_(-1), out_path_(temp_file("out")), err_path_(temp_file("err")), ended_(false),
      exited_(false), signaled_(false), exit_code_(-1), term_signal_(0)
{
    // Everything the child needs is prepared before the fork: after it only
    // async-signal-safe calls are made.
    std::vector<std::string> argv_store;
    argv_store.push_back(program);
    argv_store.insert(argv_store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argv_store) argv.push_back(&s[0]);
    argv.push_back(nullptr);

    int out_fd = ::open(out_path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    int err_fd = ::open(err_path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    int in_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out_fd < 0 || err_fd < 0 || in_fd < 0) {
        if (out_fd >= 0) ::close(out_fd);
        if (err_fd >= 0) ::close(err_fd);
        if (in_fd >= 0) ::close(in_fd);
        return;
    }

    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in_fd, 0);
        ::dup2(out_fd, 1);
        ::dup2(err_fd, 2);
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGPIPE, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out_fd);
    ::close(err_fd);
    ::close(in_fd);
    pid_ = pid > 0 ? pid : -1;
}

Subprocess::~Subprocess()
{
    if (pid_ > 0 && !ended_) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (!out_path_.empty()) ::unlink(out_path_.c_str());
    if (!err_path_.empty()) ::unlink(err_path_.c_str());
}

void Subprocess::reap(int status)
{
    ended_ = true;
    if (WIFEXITED(status)) {
        exited_ = true;
        exit_code_ = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        signaled_ = true;
        term_signal_ = WTERMSIG(status);
    }
}

bool Subprocess::running()
{
    if (pid_ <= 0 || ended_) return false;
    int status = 0;
    pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
        reap(status);
        return false;
    }
    return r == 0;
}

bool Subprocess::signal(int sig)
{
    if (!running()) return false;
    return ::kill(pid_, sig) == 0;
}

bool Subprocess::wait(int timeout_ms)
{
    if (pid_ <= 0) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (!running()) return ended_;
        if (Clock::now() >= deadline) return false;
        ::usleep(5000);
    }
}

std::string Subprocess::out() const { return read_file(out_path_); }
std::string Subprocess::err() const { return read_file(err_path_); }

bool Subprocess::wait_for_out(const std::string& text, int timeout_ms) const
{
    return poll_for(out_path_, text, timeout_ms);
}

bool Subprocess::wait_for_err(const std::string& text, int timeout_ms) const
{
    return poll_for(err_path_, text, timeout_ms);
}

ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                          int timeout_ms)
{
    ProcessResult result;
    Subprocess p(program, args);
    result.ended = p.wait(timeout_ms);
    if (!result.ended) {
        p.signal(SIGKILL);
        p.wait(5000);
    }
    result.exited = p.exited();
    result.exit_code = p.exit_code();
    result.signaled = p.signaled();
    result.term_signal = p.term_signal();
    result.out = p.out();
    result.err = p.err();
    return result;
}

}  // namespace testsupport
