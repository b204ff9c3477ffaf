// The practice peer: a small stand-in for the simulation server. It listens
// on one address, accepts agents, and every 0.02 s cycle sends each of them a
// perception message in the server's syntax from a simple world, then applies
// their replies (scene, init, beam, hinge joint speeds). Used by the tests
// (--fast) and to watch the agent without the simulator; real games need
// rcssserver3d.

#include <algorithm>
#include <arpa/inet.h>
#include <cstdarg>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "peer/peer_world.h"

namespace {

using namespace peer;

volatile std::sig_atomic_t g_stop = 0;

void on_signal(int) { g_stop = 1; }

void usage()
{
    std::printf(
        "usage: practice-peer [options]\n"
        "\n"
        "A stand-in for the simulation server, for trying the agent and for tests.\n"
        "Real games need rcssserver3d.\n"
        "\n"
        "options:\n"
        "  --host=IP            address to listen on (127.0.0.1)\n"
        "  --port=N             port to listen on (3100)\n"
        "  --script=T:MODE,...  play modes by simulation time (0:BeforeKickOff,1:PlayOn)\n"
        "  --side=left|right    field side of the first team (left)\n"
        "  --unum=N             uniform number for the first player who asks for 0\n"
        "                       (default: the lowest free one, 1 is the goalkeeper)\n"
        "  --pose=X,Y,A         start position and heading, own team's frame (-1,0,0)\n"
        "  --ball=X,Y           ball position, first team's frame (0,0)\n"
        "  --move=T:X,Y,A       put every robot there at time T (may repeat)\n"
        "  --ball-at=T:X,Y      put the ball there at time T (may repeat)\n"
        "  --fall-at=T          make every robot fall at time T\n"
        "  --fall=WAY           which way it falls: back, front, left or right (back)\n"
        "  --camera-height=H    camera height of a standing robot in m (0.5)\n"
        "  --start-time=T       simulation time of the first cycle (0)\n"
        "  --cycles=N           close the connections after N cycles (0: never)\n"
        "  --time=S             the same, in seconds of simulation time\n"
        "  --wait=S             give up when no agent connects within S s (0: wait)\n"
        "  --players=N          start the game only once N agents have connected (1)\n"
        "  --reply-timeout=S    with --fast: how long to wait for a reply (5); with\n"
        "                       --today: when to report a missing (syn), waiting on\n"
        "  --log=FILE           write every received message to FILE, one a line\n"
        "  --truth=FILE         write the true world to FILE, one JSON line a cycle\n"
        "  --vision-every=N     vision in every Nth message only (1; --today: 3)\n"
        "  --today              play today's server: sync mode, scored game state,\n"
        "                       30 x 20 m field, view cone, robots as body parts\n"
        "  --fast               no real-time pacing: the next cycle follows the reply\n"
        "  --quiet              no status lines\n"
        "  --trace              a status line every cycle instead of every second\n"
        "  --help               this text\n");
}

struct Event {
    std::string mode;
    bool reset_ball = false;
};

struct Options {
    std::string host = "127.0.0.1";
    int port = 3100;
    std::multimap<double, Event> events;
    bool first_left = true;
    int first_unum = 0;  // 0: the lowest free number, as the server does
    Pose start = Pose{-1.0, 0.0, 0.0};
    double ball_x = 0.0, ball_y = 0.0;
    std::multimap<double, Pose> moves;
    std::multimap<double, std::pair<double, double>> ball_moves;
    double fall_at = -1.0;
    FallWay fall = FallWay::back;
    double camera_height = 0.5;
    double start_time = 0.0;
    long cycles = 0;
    double wait = 0.0;
    long players = 1;
    double reply_timeout = 5.0;
    std::string log;
    std::string truth;
    int vision_every = 0;  // 0: the mode's default
    bool today = false;
    bool fast = false;
    bool quiet = false;
    bool trace = false;
};

[[noreturn]] void bad_option(const std::string& arg)
{
    std::fprintf(stderr, "practice-peer: bad option '%s' (see --help)\n", arg.c_str());
    std::exit(2);
}

bool to_double(const std::string& s, double& v)
{
    if (s.empty()) return false;
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return end && *end == '\0' && std::isfinite(v);
}

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    std::string cur;
    std::istringstream in(s);
    while (std::getline(in, cur, sep)) parts.push_back(cur);
    return parts;
}

bool parse_numbers(const std::string& s, std::vector<double>& out, std::size_t n)
{
    std::vector<std::string> parts = split(s, ',');
    if (parts.size() != n) return false;
    out.assign(n, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        if (!to_double(parts[i], out[i])) return false;
    return true;
}

// "T:rest" -> time and rest.
bool split_time(const std::string& s, double& t, std::string& rest)
{
    std::string::size_type colon = s.find(':');
    if (colon == std::string::npos) return false;
    rest = s.substr(colon + 1);
    return to_double(s.substr(0, colon), t);
}

Options read_options(int argc, char** argv)
{
    Options o;
    bool have_script = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string name = arg, value;
        std::string::size_type eq = arg.find('=');
        if (eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        double d = 0.0;
        std::vector<double> nums;
        std::string rest;
        if (name == "--help") {
            usage();
            std::exit(0);
        } else if (name == "--host" && !value.empty()) {
            o.host = value;
        } else if (name == "--port" && to_double(value, d) && d > 0 && d < 65536) {
            o.port = static_cast<int>(d);
        } else if (name == "--script" && !value.empty()) {
            have_script = true;
            o.events.clear();
            for (const std::string& item : split(value, ',')) {
                Event e;
                if (!split_time(item, d, e.mode) || e.mode.empty()) bad_option(arg);
                o.events.emplace(d, e);
            }
        } else if (name == "--side" && (value == "left" || value == "right")) {
            o.first_left = value == "left";
        } else if (name == "--unum" && to_double(value, d) && d >= 1 && d <= 11) {
            o.first_unum = static_cast<int>(d);
        } else if (name == "--pose" && parse_numbers(value, nums, 3)) {
            o.start.x = nums[0];
            o.start.y = nums[1];
            o.start.heading = nums[2];
        } else if (name == "--ball" && parse_numbers(value, nums, 2)) {
            o.ball_x = nums[0];
            o.ball_y = nums[1];
        } else if (name == "--move" && split_time(value, d, rest) && parse_numbers(rest, nums, 3)) {
            Pose p;
            p.x = nums[0];
            p.y = nums[1];
            p.heading = nums[2];
            o.moves.emplace(d, p);
        } else if (name == "--ball-at" && split_time(value, d, rest) && parse_numbers(rest, nums, 2)) {
            o.ball_moves.emplace(d, std::make_pair(nums[0], nums[1]));
        } else if (name == "--fall-at" && to_double(value, d)) {
            o.fall_at = d;
        } else if (name == "--fall" && (value == "back" || value == "front" || value == "left" || value == "right")) {
            o.fall = value == "back"    ? FallWay::back
                     : value == "front" ? FallWay::front
                     : value == "left"  ? FallWay::left
                                        : FallWay::right;
        } else if (name == "--camera-height" && to_double(value, d) && d > 0.0) {
            o.camera_height = d;
        } else if (name == "--start-time" && to_double(value, d) && d >= 0.0) {
            o.start_time = d;
        } else if (name == "--cycles" && to_double(value, d) && d >= 0) {
            o.cycles = static_cast<long>(d);
        } else if (name == "--time" && to_double(value, d) && d >= 0) {
            o.cycles = static_cast<long>(std::ceil(d / CYCLE - 1e-9));
        } else if (name == "--players" && to_double(value, d) && d >= 1 && d <= 22) {
            o.players = static_cast<long>(d);
        } else if (name == "--wait" && to_double(value, d) && d >= 0) {
            o.wait = d;
        } else if (name == "--reply-timeout" && to_double(value, d) && d > 0) {
            o.reply_timeout = d;
        } else if (name == "--log" && !value.empty()) {
            o.log = value;
        } else if (name == "--truth" && !value.empty()) {
            o.truth = value;
        } else if (name == "--vision-every" && to_double(value, d) && d >= 1 && d <= 1000) {
            o.vision_every = static_cast<int>(d);
        } else if (arg == "--today") {
            o.today = true;
        } else if (arg == "--fast") {
            o.fast = true;
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--trace") {
            o.trace = true;
        } else {
            bad_option(arg);
        }
    }
    if (o.vision_every == 0) o.vision_every = o.today ? 3 : 1;
    if (!have_script) {
        Event before, play;
        before.mode = "BeforeKickOff";
        play.mode = "PlayOn";
        o.events.emplace(0.0, before);
        o.events.emplace(1.0, play);
    }
    return o;
}

double monotonic()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

int ms_until(double deadline)
{
    double left = deadline - monotonic();
    if (left <= 0.0) return 0;
    return static_cast<int>(left * 1000.0) + 1;
}

// One connected agent and its robot.
struct Client {
    int fd = -1;
    std::size_t index = 0;  // order of arrival, spreads the start positions
    std::string inbuf;
    Robot robot;
    bool scene = false;
    bool beamed = false;
    Pose last_beam;
    bool said_no_reply = false;
    long sent = 0;            // perceptions sent so far
    bool long_gs_sent = false;
    bool synced = false;      // its last message ended with (syn)
    bool awaited = false;     // sent this cycle's perception, its (syn) is due
    bool said_no_syn = false;
    std::string name() const
    {
        if (robot.unum <= 0) return "player on fd " + std::to_string(fd);
        return robot.team + " #" + std::to_string(robot.unum);
    }
};

class Peer {
public:
    explicit Peer(const Options& o) : opt_(o)
    {
        ball_.x = o.first_left ? o.ball_x : -o.ball_x;
        ball_.y = o.first_left ? o.ball_y : -o.ball_y;
        events_ = o.events;
        moves_ = o.moves;
        ball_moves_ = o.ball_moves;
        if (!o.log.empty()) {
            log_.reset(new std::ofstream(o.log, std::ios::out | std::ios::trunc));
            if (!*log_) {
                std::fprintf(stderr, "practice-peer: cannot write %s\n", o.log.c_str());
                std::exit(2);
            }
        }
        if (!o.truth.empty()) {
            truth_.reset(new std::ofstream(o.truth, std::ios::out | std::ios::trunc));
            if (!*truth_) {
                std::fprintf(stderr, "practice-peer: cannot write %s\n", o.truth.c_str());
                std::exit(2);
            }
        }
    }

    int run();

private:
    void say(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    bool listen_socket();
    void accept_pending(int timeout_ms);
    void drop(Client& c, const char* why);
    bool send_frame(Client& c, const std::string& payload);
    // Reads what is there (waiting at most timeout_ms) and handles every
    // complete message; false when the client has gone.
    bool pump(Client& c, int timeout_ms, std::size_t* handled);
    void handle(Client& c, const std::string& msg);
    void handle_init(Client& c, const Sexp& s);
    void handle_beam(Client& c, const Sexp& s);
    int free_unum(const std::string& team, int wanted) const;
    void advance_script(double now);
    void physics(double now);
    void check_ball(double now);
    void status_line(double now);
    void write_truth();
    // Today's pacing: waits until every agent that got this cycle's
    // perception has ended a reply with (syn); false when one never did.
    bool wait_for_syn();

    Options opt_;
    int listen_fd_ = -1;
    std::vector<std::unique_ptr<Client>> clients_;
    std::map<std::string, bool> team_left_;
    bool first_unum_used_ = false;
    Ball ball_;
    std::multimap<double, Event> events_;
    std::multimap<double, Pose> moves_;
    std::multimap<double, std::pair<double, double>> ball_moves_;
    bool fell_ = false;
    std::string mode_ = "BeforeKickOff";
    double game_time_ = 0.0;
    int score_left_ = 0, score_right_ = 0;
    bool kickoff_left_ = true;
    std::unique_ptr<std::ofstream> log_;
    std::unique_ptr<std::ofstream> truth_;
};

void Peer::say(const char* fmt, ...)
{
    if (opt_.quiet) return;
    va_list ap;
    va_start(ap, fmt);
    std::fputs("peer: ", stdout);
    std::vfprintf(stdout, fmt, ap);
    std::fputc('\n', stdout);
    va_end(ap);
}

bool Peer::listen_socket()
{
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0) return false;
    int one = 1;
    ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(opt_.port));
    if (::inet_pton(AF_INET, opt_.host.c_str(), &a.sin_addr) != 1) {
        errno = EINVAL;
        return false;
    }
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
    return ::listen(listen_fd_, 16) == 0;
}

void Peer::accept_pending(int timeout_ms)
{
    pollfd p = {listen_fd_, POLLIN, 0};
    while (::poll(&p, 1, timeout_ms) > 0 && (p.revents & POLLIN)) {
        int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::unique_ptr<Client> c(new Client);
        c->fd = fd;
        c->index = clients_.size();
        c->robot.left = opt_.first_left;
        c->robot.camera_height_standing = opt_.camera_height;
        c->robot.camera_height = opt_.camera_height;
        Pose start = opt_.start;
        start.y += 0.6 * static_cast<double>(c->index);
        c->robot.pose = team_to_global(start, c->robot.left);
        clients_.push_back(std::move(c));
        say("player connected (%zu in the game)", clients_.size());
        timeout_ms = 0;
    }
}

void Peer::drop(Client& c, const char* why)
{
    if (c.fd < 0) return;
    say("%s %s", c.name().c_str(), why);
    ::close(c.fd);
    c.fd = -1;
}

bool Peer::send_frame(Client& c, const std::string& payload)
{
    std::string block(4, '\0');
    const uint32_t n = htonl(static_cast<uint32_t>(payload.size()));
    std::memcpy(&block[0], &n, 4);
    block += payload;
    std::size_t done = 0;
    const double deadline = monotonic() + 2.0;
    while (done < block.size()) {
        ssize_t w = ::send(c.fd, block.data() + done, block.size() - done, MSG_NOSIGNAL);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
        pollfd p = {c.fd, POLLOUT, 0};
        if (::poll(&p, 1, ms_until(deadline)) <= 0) return false;
    }
    return true;
}

bool Peer::pump(Client& c, int timeout_ms, std::size_t* handled)
{
    const double deadline = monotonic() + timeout_ms / 1000.0;
    for (;;) {
        // Complete messages first.
        while (c.inbuf.size() >= 4) {
            uint32_t n;
            std::memcpy(&n, c.inbuf.data(), 4);
            n = ntohl(n);
            if (n > (1u << 20)) {
                drop(c, "sent a message too long to be one; dropped");
                return false;
            }
            if (c.inbuf.size() < 4 + static_cast<std::size_t>(n)) break;
            std::string msg = c.inbuf.substr(4, n);
            c.inbuf.erase(0, 4 + static_cast<std::size_t>(n));
            handle(c, msg);
            if (handled) ++*handled;
        }
        if (handled && *handled > 0 && (opt_.fast || opt_.today)) return true;
        pollfd p = {c.fd, POLLIN, 0};
        int ready = ::poll(&p, 1, ms_until(deadline));
        if (ready < 0 && errno == EINTR) {
            if (g_stop) return true;
            continue;
        }
        if (ready <= 0) return true;
        char buf[8192];
        ssize_t r = ::read(c.fd, buf, sizeof buf);
        if (r == 0) {
            drop(c, "closed the connection");
            return false;
        }
        if (r < 0) {
            if (errno == EAGAIN || errno == EINTR) continue;
            drop(c, "connection failed");
            return false;
        }
        c.inbuf.append(buf, static_cast<std::size_t>(r));
    }
}

void Peer::handle(Client& c, const std::string& msg)
{
    if (log_) {
        std::string line = msg;
        for (char& ch : line)
            if (ch == '\n' || ch == '\r') ch = ' ';
        *log_ << line << '\n';
        log_->flush();
    }
    const std::vector<Sexp> items = parse_sexps(msg);
    if (!items.empty() && items.back().list.size() == 1 && !items.back().list[0].is_list &&
        items.back().list[0].atom == "syn")
        c.synced = true;
    for (const Sexp& s : items) {
        if (s.list.empty() || s.list[0].is_list) continue;
        const std::string& head = s.list[0].atom;
        if (head == "scene") {
            if (!c.scene && s.list.size() > 1) say("%s asks for the robot %s", c.name().c_str(), s.list[1].atom.c_str());
            c.scene = true;
        } else if (head == "init") {
            handle_init(c, s);
        } else if (head == "beam") {
            handle_beam(c, s);
        } else if (s.list.size() == 2 && !s.list[1].is_list) {
            const std::string joint = joint_of_effector(head);
            double v = 0.0;
            if (!joint.empty() && to_double(s.list[1].atom, v)) c.robot.speed[joint] = v;
        }
        // say, syn and anything unknown: nothing in this world reacts to them.
    }
}

int Peer::free_unum(const std::string& team, int wanted) const
{
    auto taken = [&](int n) {
        for (const auto& o : clients_)
            if (o->fd >= 0 && o->robot.team == team && o->robot.unum == n) return true;
        return false;
    };
    if (wanted >= 1 && wanted <= 11 && !taken(wanted)) return wanted;
    for (int n = 1; n <= 11; ++n)
        if (!taken(n)) return n;
    return 0;
}

void Peer::handle_init(Client& c, const Sexp& s)
{
    if (c.robot.unum > 0) return;  // only once
    int wanted = 0;
    std::string team;
    for (std::size_t i = 1; i < s.list.size(); ++i) {
        const Sexp& e = s.list[i];
        if (!e.is_list || e.list.size() < 2 || e.list[0].is_list || e.list[1].is_list) continue;
        double d;
        if (e.list[0].atom == "unum" && to_double(e.list[1].atom, d)) wanted = static_cast<int>(d);
        if (e.list[0].atom == "teamname") team = e.list[1].atom;
    }
    if (team.empty()) return;
    if (team_left_.find(team) == team_left_.end())
        team_left_[team] = team_left_.empty() ? opt_.first_left : !opt_.first_left;
    c.robot.team = team;
    c.robot.left = team_left_[team];
    if (wanted == 0 && !first_unum_used_ && opt_.first_unum > 0) {
        wanted = opt_.first_unum;
        first_unum_used_ = true;
    }
    c.robot.unum = free_unum(team, wanted);
    if (!c.beamed) {
        Pose start = opt_.start;
        start.y += 0.6 * static_cast<double>(c.index);
        c.robot.pose = team_to_global(start, c.robot.left);
    }
    say("%s joins on the %s side", c.name().c_str(), c.robot.left ? "left" : "right");
}

void Peer::handle_beam(Client& c, const Sexp& s)
{
    if (s.list.size() < 4) return;
    double v[3];
    for (int i = 0; i < 3; ++i)
        if (s.list[i + 1].is_list || !to_double(s.list[i + 1].atom, v[i])) return;
    if (mode_ == "PlayOn") return;  // the server ignores beams during play
    Pose p;
    p.x = v[0];
    p.y = v[1];
    p.heading = v[2];
    Robot& r = c.robot;
    r.pose = team_to_global(p, r.left);
    r.upright = Upright::standing;
    r.tilt = 0.0;
    r.tilt_rate = 0.0;
    r.roll = 0.0;
    r.roll_rate = 0.0;
    r.camera_height = r.camera_height_standing;
    r.have_legs = false;
    if (!c.beamed || p.x != c.last_beam.x || p.y != c.last_beam.y || p.heading != c.last_beam.heading)
        say("%s beamed to (%g, %g) facing %g", c.name().c_str(), p.x, p.y, p.heading);
    c.beamed = true;
    c.last_beam = p;
}

void Peer::advance_script(double now)
{
    while (!events_.empty() && events_.begin()->first <= now + 1e-9) {
        const Event e = events_.begin()->second;
        events_.erase(events_.begin());
        if (e.reset_ball) {
            ball_.x = 0.0;
            ball_.y = 0.0;
        }
        if (e.mode != mode_) say("play mode %s", e.mode.c_str());
        mode_ = e.mode;
        if (mode_ == "KickOff_Left") kickoff_left_ = true;
        if (mode_ == "KickOff_Right") kickoff_left_ = false;
    }
    while (!moves_.empty() && moves_.begin()->first <= now + 1e-9) {
        const Pose p = moves_.begin()->second;
        moves_.erase(moves_.begin());
        for (auto& c : clients_) {
            c->robot.pose = team_to_global(p, c->robot.left);
            c->robot.have_legs = false;
        }
        say("robots moved to (%g, %g) facing %g", p.x, p.y, p.heading);
    }
    while (!ball_moves_.empty() && ball_moves_.begin()->first <= now + 1e-9) {
        const auto b = ball_moves_.begin()->second;
        ball_moves_.erase(ball_moves_.begin());
        ball_.x = opt_.first_left ? b.first : -b.first;
        ball_.y = opt_.first_left ? b.second : -b.second;
        say("ball moved to (%g, %g)", b.first, b.second);
    }
    if (!fell_ && opt_.fall_at >= 0.0 && now + 1e-9 >= opt_.fall_at) {
        fell_ = true;
        for (auto& c : clients_) {
            start_fall(c->robot, opt_.fall, now);
            static const char* const way[] = {"back", "front", "left side", "right side"};
            say("%s falls on its %s", c->name().c_str(), way[static_cast<int>(opt_.fall)]);
        }
    }
}

void Peer::physics(double now)
{
    for (auto& c : clients_) {
        Robot& r = c->robot;
        const Upright before = r.upright;
        const bool on_side = on_a_side(r);
        integrate_joints(r);
        move_by_legs(r);
        update_tilt(r, now + CYCLE);
        if (before != Upright::standing && r.upright == Upright::standing)
            say("%s is up again", c->name().c_str());
        if (before == Upright::lying && on_side && r.upright == Upright::falling)
            say("%s rolls onto its %s", c->name().c_str(), r.tilt_to > 0.0 ? "front" : "back");
    }
}

void Peer::check_ball(double now)
{
    // A robot walking into the ball pushes it.
    for (auto& c : clients_) {
        const Robot& r = c->robot;
        if (r.upright == Upright::standing && r.last_step > 0.0) push_ball(r.pose, ball_);
    }
    const bool in_play = mode_ != "BeforeKickOff" && mode_.compare(0, 5, "Goal_") != 0;
    const Field& f = field(opt_.today);
    const bool in_goal = std::fabs(ball_.y) < f.goal_half_width && std::fabs(ball_.x) > f.half_length;
    if (in_play && in_goal) {
        const bool left_scored = ball_.x > 0.0;
        (left_scored ? score_left_ : score_right_) += 1;
        kickoff_left_ = !left_scored;
        Event goal, before, kickoff, play;
        goal.mode = left_scored ? "Goal_Left" : "Goal_Right";
        before.mode = "BeforeKickOff";
        before.reset_ball = true;
        kickoff.mode = left_scored ? "KickOff_Right" : "KickOff_Left";
        play.mode = "PlayOn";
        events_.emplace(now, goal);
        events_.emplace(now + 2.0, before);
        events_.emplace(now + 3.0, kickoff);
        events_.emplace(now + 4.0, play);
        say("goal for the %s team", left_scored ? "left" : "right");
        // In the net until the restart.
        ball_.x = ball_.x > 0.0 ? f.half_length + 0.1 : -f.half_length - 0.1;
        advance_script(now);
        return;
    }
    // Out of the field: back onto the line.
    if (!in_goal) {
        ball_.x = std::max(-f.half_length, std::min(f.half_length, ball_.x));
        ball_.y = std::max(-f.half_width, std::min(f.half_width, ball_.y));
    }
}

void Peer::write_truth()
{
    if (!truth_) return;
    std::vector<const Robot*> robots;
    for (const auto& c : clients_)
        if (c->fd >= 0) robots.push_back(&c->robot);
    std::stable_sort(robots.begin(), robots.end(), [](const Robot* a, const Robot* b) {
        if (a->left != b->left) return a->left;
        return a->unum < b->unum;
    });
    *truth_ << truth_line(game_time_, mode_, ball_, robots) << '\n';
    truth_->flush();
}

bool Peer::wait_for_syn()
{
    const double report_at = monotonic() + opt_.reply_timeout;
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<Client*> who;
        bool missing = false;
        for (auto& c : clients_) {
            if (!c->awaited) continue;
            if (c->synced || c->fd < 0) {
                if (!c->synced) missing = true;  // gone before its (syn)
                c->awaited = false;
                continue;
            }
            fds.push_back(pollfd{c->fd, POLLIN, 0});
            who.push_back(c.get());
        }
        if (fds.empty()) return !missing;
        if (g_stop) {
            for (Client* c : who) c->awaited = false;
            return false;
        }
        const bool reported = monotonic() >= report_at;
        if (reported) {
            for (Client* c : who)
                if (!c->said_no_syn) {
                    say("%s sent no (syn) within %g s", c->name().c_str(), opt_.reply_timeout);
                    c->said_no_syn = true;
                }
        }
        // The game stalls without it, as on the real server: wait on.
        const int ready = ::poll(fds.data(), fds.size(), reported ? 200 : std::min(200, ms_until(report_at)));
        if (ready < 0 && errno != EINTR) return false;
        for (std::size_t i = 0; ready > 0 && i < fds.size(); ++i)
            if (fds[i].revents) {
                std::size_t n = 0;
                pump(*who[i], 0, &n);
            }
    }
}

void Peer::status_line(double now)
{
    for (const auto& c : clients_) {
        const Robot& r = c->robot;
        const Pose p = global_to_team(r.pose, r.left);
        const double bx = r.left ? ball_.x : -ball_.x, by = r.left ? ball_.y : -ball_.y;
        static const char* const state[] = {"standing", "falling", "lying", "rising"};
        say(opt_.trace ? "t=%.2f %s: %s at (%.4f, %.4f) facing %.2f, %s; ball at (%.2f, %.2f)"
                       : "t=%.2f %s: %s at (%.2f, %.2f) facing %.0f, %s; ball at (%.2f, %.2f)", now, mode_.c_str(),
            c->name().c_str(), p.x, p.y, p.heading, state[static_cast<int>(r.upright)], bx, by);
    }
}

int Peer::run()
{
    if (!listen_socket()) {
        std::fprintf(stderr, "practice-peer: cannot listen on %s:%d: %s\n", opt_.host.c_str(), opt_.port,
                     std::strerror(errno));
        return 1;
    }
    say("listening on %s:%d%s", opt_.host.c_str(), opt_.port, opt_.fast ? " (fast)" : "");
    std::fflush(stdout);

    // Wait for the first agent (or as many as asked for).
    const double give_up = opt_.wait > 0.0 ? monotonic() + opt_.wait : 0.0;
    while (static_cast<long>(clients_.size()) < opt_.players && !g_stop) {
        if (give_up > 0.0 && monotonic() >= give_up) {
            std::fprintf(stderr, "practice-peer: no agent connected within %g s\n", opt_.wait);
            return 1;
        }
        accept_pending(200);
    }

    long cycle = 0;
    long unsynced = 0;  // cycles that went on without every agent's (syn)
    double next_tick = monotonic();
    while (!g_stop) {
        if (opt_.cycles > 0 && cycle >= opt_.cycles) {
            say("closing after %ld cycles", cycle);
            break;
        }
        accept_pending(0);
        // A fresh agent sends its scene command first; unless paced in real
        // time, wait for it.
        for (auto& c : clients_)
            if (c->fd >= 0 && !c->scene && (opt_.fast || opt_.today)) {
                std::size_t n = 0;
                pump(*c, static_cast<int>(opt_.reply_timeout * 1000), &n);
            }
        clients_.erase(std::remove_if(clients_.begin(), clients_.end(),
                                      [](const std::unique_ptr<Client>& c) { return c->fd < 0; }),
                       clients_.end());
        if (clients_.empty()) {
            say("every player has left");
            break;
        }

        const double now = opt_.start_time + static_cast<double>(cycle) * CYCLE;
        advance_script(now);
        if (mode_ != "BeforeKickOff") game_time_ += cycle > 0 ? CYCLE : 0.0;

        Perception p;
        p.now = now;
        p.game_time = game_time_;
        p.play_mode = mode_;
        p.see = cycle % opt_.vision_every == 0;
        p.today = opt_.today;
        p.score_left = score_left_;
        p.score_right = score_right_;
        p.kickoff_left = kickoff_left_;
        for (auto& c : clients_) {
            if (c->fd < 0) continue;
            std::vector<const Robot*> others;
            for (const auto& o : clients_)
                if (o != c && o->fd >= 0) others.push_back(&o->robot);
            // Today's server tells side and number once, in an early message
            // after the init (the third, at the soonest).
            p.long_gs = opt_.today && !c->long_gs_sent && c->robot.unum > 0 && c->sent >= 2;
            c->synced = false;
            if (!send_frame(*c, perception_text(c->robot, others, ball_, p))) {
                drop(*c, "cannot be written to");
                continue;
            }
            ++c->sent;
            c->awaited = true;
            if (p.long_gs) c->long_gs_sent = true;
        }
        write_truth();

        if (opt_.today) {
            if (!wait_for_syn()) ++unsynced;
        } else if (opt_.fast) {
            for (auto& c : clients_) {
                if (c->fd < 0) continue;
                std::size_t n = 0;
                pump(*c, static_cast<int>(opt_.reply_timeout * 1000), &n);
                if (n == 0 && c->fd >= 0 && !c->said_no_reply) {
                    say("%s sent no reply within %g s", c->name().c_str(), opt_.reply_timeout);
                    c->said_no_reply = true;
                }
            }
        } else {
            next_tick += CYCLE;
            if (next_tick < monotonic() - 1.0) next_tick = monotonic();  // far behind: catch up
            while (!g_stop) {
                std::vector<pollfd> fds;
                std::vector<Client*> who;
                for (auto& c : clients_)
                    if (c->fd >= 0) {
                        fds.push_back(pollfd{c->fd, POLLIN, 0});
                        who.push_back(c.get());
                    }
                const int wait_ms = ms_until(next_tick);
                if (fds.empty()) {
                    if (wait_ms > 0) ::usleep(static_cast<useconds_t>(wait_ms) * 1000);
                    break;
                }
                const int ready = ::poll(fds.data(), fds.size(), wait_ms);
                if (ready < 0 && errno == EINTR) continue;
                if (ready <= 0) break;
                for (std::size_t i = 0; i < fds.size(); ++i)
                    if (fds[i].revents) {
                        std::size_t n = 0;
                        pump(*who[i], 0, &n);
                    }
            }
        }

        physics(now);
        check_ball(now);
        ++cycle;
        if (opt_.trace || cycle % 50 == 0) status_line(now);
    }

    if (opt_.today) {
        const char* const plural = cycle == 1 ? "" : "s";
        if (unsynced == 0)
            say("%ld cycle%s, every one synced by every agent", cycle, plural);
        else
            say("%ld cycle%s, %ld of them without every agent's (syn)", cycle, plural, unsynced);
    }

    // Orderly end: tell every agent we are done, then wait briefly for it to go.
    for (auto& c : clients_) {
        if (c->fd < 0) continue;
        ::shutdown(c->fd, SHUT_WR);
    }
    const double until = monotonic() + 2.0;
    for (auto& c : clients_) {
        while (c->fd >= 0) {
            pollfd p = {c->fd, POLLIN, 0};
            if (::poll(&p, 1, ms_until(until)) <= 0) break;
            char buf[4096];
            ssize_t r = ::read(c->fd, buf, sizeof buf);
            if (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR)) break;
        }
        if (c->fd >= 0) ::close(c->fd);
        c->fd = -1;
    }
    ::close(listen_fd_);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Options o = read_options(argc, argv);
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_signal;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    Peer peer(o);
    return peer.run();
}
