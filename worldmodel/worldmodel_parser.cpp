#include "worldmodel/worldmodel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>

#include <boost/lexical_cast.hpp>

// Every handler converts all of its fields before it writes anything: a field
// that is not a finite number throws bad_lexical_cast, and the handler then
// drops that one perception whole, leaving the rest of the message to the
// other handlers.

namespace {

typedef Parser::match_results::value_type Field;

// Uniform numbers the player map accepts; anything else is not a robot and
// would only inflate the teammate loop of the localisation.
const int kMaxPlayerId = 99;

// The server's numbers are plain decimals of a few digits ("-0.123"). With
// at most 15 digits these make an exact integer, and one division by an
// exact power of ten rounds it once: the correctly rounded value, which is
// what from_chars gives too. False for any other form.
bool plain_decimal(const char* p, const char* last, double& v)
{
    static const double kTen[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const bool negative = *p == '-';
    if (negative) ++p;
    std::uint64_t digits = 0;  // wraps harmlessly past 15 digits, which are refused
    int count = 0;
    int decimals = 0;
    for (; p != last && *p >= '0' && *p <= '9'; ++p, ++count) digits = digits * 10 + static_cast<unsigned>(*p - '0');
    if (count == 0) return false;
    if (p != last) {
        if (*p != '.') return false;
        for (++p; p != last && *p >= '0' && *p <= '9'; ++p, ++decimals) {
            digits = digits * 10 + static_cast<unsigned>(*p - '0');
        }
        if (decimals == 0 || p != last) return false;
    }
    if (count + decimals > 15) return false;
    const double x = static_cast<double>(digits) / kTen[decimals];
    v = negative ? -x : x;
    return true;
}

double to_double(const char* first, const char* last)
{
    if (first == last) {
        throw boost::bad_lexical_cast();
    }
    double v = 0.0;
    if (plain_decimal(first, last, v)) return v;
    // lexical_cast goes through a stream and costs more than the grammar
    // search itself; from_chars reads the plain decimal forms the server
    // sends to the same, correctly rounded value. Whatever it does not take
    // whole (a leading '+', say) is left to lexical_cast to accept or refuse.
    const std::from_chars_result r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last) {
        v = boost::lexical_cast<double>(first, static_cast<std::size_t>(last - first));
    }
    // "nan" and "inf" convert, but no measurement of ours may be one.
    if (!std::isfinite(v)) {
        throw boost::bad_lexical_cast();
    }
    return v;
}

const char* begin_of(const Field& f) { return &*f.first; }
const char* end_of(const Field& f) { return &*f.first + (f.second - f.first); }

double to_double(const Field& f)
{
    if (!f.matched || f.first == f.second) {
        throw boost::bad_lexical_cast();
    }
    return to_double(begin_of(f), end_of(f));
}

// Straight from the message text, without a temporary string.
int to_int(const char* first, const char* last)
{
    if (first == last) {
        throw boost::bad_lexical_cast();
    }
    return boost::lexical_cast<int>(first, static_cast<std::size_t>(last - first));
}

int to_int(const Field& f)
{
    if (!f.matched || f.first == f.second) {
        throw boost::bad_lexical_cast();
    }
    return to_int(begin_of(f), end_of(f));
}

bool same(const char* first, const char* last, const char* text)
{
    const std::size_t n = std::strlen(text);
    return static_cast<std::size_t>(last - first) == n && std::equal(first, last, text);
}

// One "(name value)" sub-item of a game-state item; value runs to the
// parenthesis that closes the sub-item, nested ones included.
struct SubItem {
    const char* name;
    const char* name_end;
    const char* value;
    const char* value_end;
};

// Finds the next top-level sub-item in [p, last); false when there is none.
bool next_sub_item(const char*& p, const char* last, SubItem& item)
{
    while (p != last && *p != '(') ++p;
    if (p == last) return false;
    const char* const open = p;
    int depth = 0;
    const char* close = nullptr;
    for (const char* q = open; q != last; ++q) {
        if (*q == '(') ++depth;
        if (*q == ')' && --depth == 0) {
            close = q;
            break;
        }
    }
    if (!close) {
        p = last;
        return false;
    }
    item.name = open + 1;
    item.name_end = item.name;
    while (item.name_end != close && *item.name_end != ' ' && *item.name_end != '(') ++item.name_end;
    item.value = item.name_end;
    while (item.value != close && *item.value == ' ') ++item.value;
    item.value_end = close;
    p = close + 1;
    return true;
}

bool equals(const Field& f, const char* text)
{
    const std::size_t n = std::strlen(text);
    return f.matched && static_cast<std::size_t>(f.second - f.first) == n &&
           std::equal(f.first, f.second, text);
}

bool equals(const Field& f, const std::string& text)
{
    return f.matched && static_cast<std::size_t>(f.second - f.first) == text.size() &&
           std::equal(f.first, f.second, text.begin());
}

std::string key(const Field& f) { return std::string(f.first, f.second); }

Worldmodel::TVector3 triple(const Parser::match_results& m, int first)
{
    const double a = to_double(m[first]);
    const double b = to_double(m[first + 1]);
    const double c = to_double(m[first + 2]);
    return Worldmodel::TVector3(a, b, c);
}

}  // namespace

void Worldmodel::time_callback(const match_results& m, int i)
{
    try {
        const double now = to_double(m[i + 1]);
        const double previous = status_history(1).time_;
        current_status().time_ = now;
        const double interval = now - previous;
        if (interval > 0.0201) {
            std::cerr << "message interval slow(>0.02): " << interval << std::endl;
        }
    } catch (const boost::bad_lexical_cast&) {
    }
}

void Worldmodel::gs_callback(const match_results& m, int i)
{
    if (i == 47) {
        today_game_state(m, i);
        return;
    }
    try {
        TStatus& cur = current_status();
        if (i == 3) {
            const int number = to_int(m[i + 1]);
            const double t = to_double(m[i + 3]);
            number_ = number;
            if (equals(m[i + 2], "left")) {
                side_ = S_LEFT;
            } else if (equals(m[i + 2], "right")) {
                side_ = S_RIGHT;
            }
            cur.gs_time_ = t;
            cur.gs_pm_.assign(m[i + 4].first, m[i + 4].second);
        } else {
            const double t = to_double(m[i + 1]);
            cur.gs_time_ = t;
            cur.gs_pm_.assign(m[i + 2].first, m[i + 2].second);
        }
    } catch (const boost::bad_lexical_cast&) {
    }
}

void Worldmodel::hear_callback(const match_results& m, int i)
{
    if (generation_ == GEN_TODAY) {
        // "(hear TEAM TIME DIRECTION MESSAGE)": the plain form's third field
        // holds direction and message.
        if (i != 13) return;
        const char* const first = begin_of(m[i + 3]);
        const char* const last = end_of(m[i + 3]);
        const char* const blank = std::find(first, last, ' ');
        if (blank == last || same(first, blank, "self")) return;
        try {
            const double pos = to_double(first, blank);
            TStatus& cur = current_status();
            cur.hear_pos_ = pos;
            cur.hear_message_.assign(blank + 1, last);
        } catch (const boost::bad_lexical_cast&) {
        }
        return;
    }
    if (equals(m[i + 2], "self")) {
        return;
    }
    try {
        const double pos = to_double(m[i + 2]);
        const bool pass = i == 7 && equals(m[i + 3], "pass");
        TVector3 target;
        if (pass) {
            target = triple(m, i + 4);
        }
        TStatus& cur = current_status();
        cur.hear_pos_ = pos;
        cur.hear_message_.assign(m[i + 3].first, m[i + 3].second);
        if (pass) {
            cur.pass_ = target;
        }
    } catch (const boost::bad_lexical_cast&) {
    }
}

void Worldmodel::gyr_callback(const match_results& m, int i)
{
    try {
        const TVector3 rates = triple(m, i + 2);
        current_status().gyr_[key(m[i + 1])] = rates;
        current_status().fresh_ |= TStatus::FRESH_GYR;
        count_ = 0;
    } catch (const boost::bad_lexical_cast&) {
    }
}

void Worldmodel::flag_callback(const match_results& m, int i)
{
    try {
        const TVector3 polar = triple(m, i + 2);
        TStatus& cur = current_status();
        cur.flag_[key(m[i + 1])] = polar;
        const int index = landmark_index(&*m[i + 1].first, static_cast<unsigned>(m[i + 1].length()));
        if (index >= 0) {
            cur.fresh_ |= 1u << index;
        }
    } catch (const boost::bad_lexical_cast&) {
    }
}

void Worldmodel::ball_callback(const match_results& m, int i)
{
    try {
        TStatus& cur = current_status();
        cur.ball_ = triple(m, i + 1);
        cur.fresh_ |= TStatus::FRESH_BALL;
    } catch (const boost::bad_lexical_cast&) {
    }
}

void Worldmodel::player_callback(const match_results& m, int i)
{
    if (i == 52) {
        body_parts_player(m, i);
        return;
    }
    try {
        const int id = to_int(m[i + 2]);
        if (id < 1 || id > kMaxPlayerId) {
            return;
        }
        bool valid = true;
        for (int k = 1; k <= 5; ++k) {
            if (equals(m[i + k], "nan")) {
                valid = false;
                break;
            }
        }
        const TVector3 polar = valid ? triple(m, i + 3) : TVector3();
        const char* team = equals(m[i + 1], teamname_) ? "mate" : "opp";
        store_player(team, id, polar);
    } catch (const boost::bad_lexical_cast&) {
    }
}

void Worldmodel::store_player(const char* team, int id, const TVector3& polar)
{
    TStatus& cur = current_status();
    cur.player_[team][id] = polar;
    cur.fresh_ |= TStatus::FRESH_PLAYERS;
    if (std::strcmp(team, "mate") == 0 && id <= kMaxMate && polar.v_[0] > 0.0 && std::isfinite(cur.time_))
        mate_seen_[id] = cur.time_;
    if (seen_player_count_ < kMaxSeenPlayers) {
        seen_players_[seen_player_count_++] = SeenPlayer{team, id};
    }
}

void Worldmodel::uj_callback(const match_results& m, int i)
{
    try {
        const double ax1 = to_double(m[i + 2]);
        const double ax2 = to_double(m[i + 3]);
        current_status().uj_[key(m[i + 1])] = std::make_pair(ax1, ax2);
    } catch (const boost::bad_lexical_cast&) {
    }
}

void Worldmodel::hj_callback(const match_results& m, int i)
{
    try {
        const double ax = to_double(m[i + 2]);
        std::map<std::string, double>& hj = current_status().hj_;
        const Field& name = m[i + 1];
        // The server lists most joints in the order of their names: the entry
        // after the last one stored is worth a look before a search.
        if (in_parse_ && hj_last_ != hj.end()) {
            const std::map<std::string, double>::iterator following = std::next(hj_last_);
            if (following != hj.end() && equals(name, following->first)) {
                following->second = ax;
                hj_last_ = following;
                return;
            }
        }
        const std::map<std::string, double>::iterator at = hj.insert_or_assign(key(name), ax).first;
        if (in_parse_) hj_last_ = at;
    } catch (const boost::bad_lexical_cast&) {
    }
}

void Worldmodel::frp_callback(const match_results& m, int i)
{
    try {
        TFrpValue value;
        if (!equals(m[i + 2], "nan")) {
            value.c_ = triple(m, i + 2);
        }
        value.f_ = triple(m, i + 5);
        current_status().frp_[key(m[i + 1])] = value;
    } catch (const boost::bad_lexical_cast&) {
    }
}

void Worldmodel::mypos_callback(const match_results& m, int i)
{
    try {
        current_status().position_mypos_ = triple(m, i + 1);
    } catch (const boost::bad_lexical_cast&) {
    }
}

void Worldmodel::acc_callback(const match_results& m, int i)
{
    try {
        const TVector3 a = triple(m, i + 2);
        TStatus& cur = current_status();
        cur.acc_[key(m[i + 1])] = a;
        if (equals(m[i + 1], "torso")) {
            cur.fresh_ |= TStatus::FRESH_ACC;
        }
    } catch (const boost::bad_lexical_cast&) {
    }
}

// Today's game state: sub-items in any order. Score fields tell today's
// server; an item without them is neither generation's and changes nothing.
void Worldmodel::today_game_state(const match_results& m, int i)
{
    const char* p = begin_of(m[i + 1]);
    const char* const last = end_of(m[i + 1]);
    bool has_left = false, has_right = false, has_unum = false, has_t = false;
    int unum = 0, left = 0, right = 0;
    double t = 0.0;
    SubItem team{}, pm{}, kick{};
    try {
        SubItem item;
        while (next_sub_item(p, last, item)) {
            if (same(item.name, item.name_end, "sl")) {
                left = to_int(item.value, item.value_end);
                has_left = true;
            } else if (same(item.name, item.name_end, "sr")) {
                right = to_int(item.value, item.value_end);
                has_right = true;
            } else if (same(item.name, item.name_end, "unum")) {
                unum = to_int(item.value, item.value_end);
                has_unum = true;
            } else if (same(item.name, item.name_end, "t")) {
                t = to_double(item.value, item.value_end);
                has_t = true;
            } else if (same(item.name, item.name_end, "team")) {
                team = item;
            } else if (same(item.name, item.name_end, "pm")) {
                pm = item;
            } else if (same(item.name, item.name_end, "k")) {
                kick = item;
            }
        }
    } catch (const boost::bad_lexical_cast&) {
        return;
    }
    if (!has_left || !has_right) return;

    generation_ = GEN_TODAY;
    TStatus& cur = current_status();
    cur.score_left_ = left;
    cur.score_right_ = right;
    if (has_unum) number_ = unum;
    if (team.name) {
        if (same(team.value, team.value_end, "left")) {
            side_ = S_LEFT;
        } else if (same(team.value, team.value_end, "right")) {
            side_ = S_RIGHT;
        }
    }
    if (has_t) cur.gs_time_ = t;
    if (pm.name && pm.value != pm.value_end) cur.gs_pm_.assign(pm.value, pm.value_end);
    if (kick.name) cur.kickoff_.assign(kick.value, kick.value_end);
}

// A robot seen as body parts: placed by its head when that is in view, else
// by the mean of the parts that are.
void Worldmodel::body_parts_player(const match_results& m, int i)
{
    try {
        const int id = to_int(m[i + 2]);
        if (id < 1 || id > kMaxPlayerId) {
            return;
        }
        const char* p = begin_of(m[i + 3]);
        const char* const last = end_of(m[i + 3]);
        TVector3 sum;
        int parts = 0;
        bool head = false;
        TVector3 head_polar;
        SubItem item;
        while (next_sub_item(p, last, item)) {
            // item value: "(pol d h v)"
            const char* q = item.value;
            SubItem pol;
            if (!next_sub_item(q, item.value_end, pol) || !same(pol.name, pol.name_end, "pol")) continue;
            double v[3];
            const char* f = pol.value;
            for (int k = 0; k < 3; ++k) {
                while (f != pol.value_end && *f == ' ') ++f;
                const char* e = f;
                while (e != pol.value_end && *e != ' ') ++e;
                v[k] = to_double(f, e);
                f = e;
            }
            const TVector3 polar(v[0], v[1], v[2]);
            if (same(item.name, item.name_end, "head")) {
                head = true;
                head_polar = polar;
            }
            const TVector3 c = polar2xyz(polar);
            for (int k = 0; k < 3; ++k) sum.v_[k] += c.v_[k];
            ++parts;
        }
        if (parts == 0) return;
        TVector3 polar = head_polar;
        if (!head) {
            const double x = sum.v_[0] / parts, y = sum.v_[1] / parts, z = sum.v_[2] / parts;
            const double r = std::sqrt(x * x + y * y + z * z);
            if (!(r > 0.0)) return;
            polar = TVector3(r, std::atan2(y, x) * 180.0 / 3.141592653589793,
                             std::asin(z / r) * 180.0 / 3.141592653589793);
        }
        const char* team = equals(m[i + 1], teamname_) ? "mate" : "opp";
        store_player(team, id, polar);
    } catch (const boost::bad_lexical_cast&) {
    }
}
