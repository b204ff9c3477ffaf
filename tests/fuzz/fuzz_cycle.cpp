// Feeds arbitrary message sequences through the whole cycle, perception in,
// reply out, with the objects wired as the program wires them. The input is
// split at line breaks and zero bytes into consecutive messages. Any reply
// the server could not take aborts: parentheses out of balance, a command the
// agent does not send, a joint commanded twice, or a number that is not a
// finite decimal.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <streambuf>
#include <string>

#include <boost/shared_ptr.hpp>

#include "agent/soccerbotbehavior.h"
#include "decision/tervalonaction.h"
#include "worldmodel/worldmodel.h"

namespace {

// Enough for the ring of ten snapshots to wrap a few times and for a motion
// to run several phases, yet quick per input.
const int kMaxMessages = 200;

// The 22 of every robot type, then the toes of a robot that reports them.
const char* const kJoints[] = {"he1",  "he2",  "lae1", "lae2", "lae3", "lae4", "rae1", "rae2",
                               "rae3", "rae4", "lle1", "lle2", "lle3", "lle4", "lle5", "lle6",
                               "rle1", "rle2", "rle3", "rle4", "rle5", "rle6", "lle7", "rle7"};
const unsigned kJointCount = sizeof(kJoints) / sizeof(kJoints[0]);

class NullBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

NullBuffer null_buffer;

[[noreturn]] void reject(const std::string& reply, const char* why)
{
    std::fprintf(stderr, "malformed reply (%s): %s\n", why, reply.c_str());
    std::abort();
}

bool digit(char c) { return c >= '0' && c <= '9'; }

// A decimal as the command builder writes it: -?D+(.D+)?(e[+-]D+)?, read
// up to the first byte that cannot continue it.
bool number(const std::string& s, std::size_t& at)
{
    std::size_t i = at;
    if (i < s.size() && s[i] == '-') ++i;
    const std::size_t start = i;
    while (i < s.size() && digit(s[i])) ++i;
    if (i == start) return false;
    if (i < s.size() && s[i] == '.') {
        const std::size_t f = ++i;
        while (i < s.size() && digit(s[i])) ++i;
        if (i == f) return false;
    }
    if (i < s.size() && s[i] == 'e') {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        const std::size_t e = i;
        while (i < s.size() && digit(s[i])) ++i;
        if (i == e) return false;
    }
    at = i;
    return true;
}

bool literal(const std::string& s, std::size_t& at, const char* text)
{
    const std::size_t n = std::strlen(text);
    if (s.compare(at, n, text) != 0) return false;
    at += n;
    return true;
}

// A name or message: at least one byte, no blank and no parenthesis.
bool word(const std::string& s, std::size_t& at)
{
    const std::size_t start = at;
    while (at < s.size() && s[at] != ' ' && s[at] != '(' && s[at] != ')' && s[at] != '\n') ++at;
    return at > start;
}

// One top-level command starting at at; on success at is past its ')'.
bool command(const std::string& s, std::size_t& at, unsigned& joints_seen)
{
    std::size_t i = at;
    if (literal(s, i, "(scene ")) {
        if (!word(s, i) || !literal(s, i, ")")) return false;
    } else if (literal(s, i, "(init (unum ")) {
        const std::size_t d = i;
        while (i < s.size() && digit(s[i])) ++i;
        if (i == d || !literal(s, i, ")(teamname ") || !word(s, i) || !literal(s, i, "))")) return false;
    } else if (literal(s, i, "(beam ")) {
        if (!number(s, i) || !literal(s, i, " ") || !number(s, i) || !literal(s, i, " ") || !number(s, i) ||
            !literal(s, i, " )")) {
            return false;
        }
    } else if (literal(s, i, "(say ")) {
        if (!word(s, i) || !literal(s, i, ")")) return false;
    } else if (literal(s, i, "(syn)")) {
    } else {
        bool known = false;
        for (unsigned k = 0; k < kJointCount && !known; ++k) {
            std::size_t j = i;
            if (literal(s, j, "(") && literal(s, j, kJoints[k]) && literal(s, j, " ")) {
                // The server would take both; the second would silently win.
                if (joints_seen & (1u << k)) return false;
                joints_seen |= 1u << k;
                known = true;
                i = j;
            }
        }
        if (!known || !number(s, i) || !literal(s, i, ")")) return false;
    }
    at = i;
    return true;
}

void check(const std::string& reply)
{
    int depth = 0;
    for (const char c : reply) {
        depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        if (depth < 0) reject(reply, "closes below zero");
    }
    if (depth != 0) reject(reply, "unbalanced");
    unsigned joints_seen = 0;
    for (std::size_t at = 0; at < reply.size();) {
        if (!command(reply, at, joints_seen)) reject(reply, "unknown or malformed command");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A status dump per cycle and the trace lines would drown the fuzzer.
    std::cout.rdbuf(&null_buffer);
    std::cerr.rdbuf(&null_buffer);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    boost::shared_ptr<Worldmodel> world(new Worldmodel("Alpha"));
    boost::shared_ptr<Tervalonaction> decision(new Tervalonaction(world));
    SoccerbotBehavior behavior(world, decision);
    check(behavior.init());

    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t begin = 0;
    for (int count = 0; count < kMaxMessages && begin <= input.size(); ++count) {
        std::size_t end = input.find_first_of(std::string("\n\0", 2), begin);
        if (end == std::string::npos) end = input.size();
        check(behavior.think(input.substr(begin, end - begin)));
        begin = end + 1;
    }
    return 0;
}
