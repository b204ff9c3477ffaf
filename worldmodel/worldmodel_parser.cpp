#include "worldmodel/worldmodel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
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

double to_double(const Field& f)
{
    if (!f.matched || f.first == f.second) {
        throw boost::bad_lexical_cast();
    }
    const char* const first = &*f.first;
    const char* const last = first + (f.second - f.first);
    double v = 0.0;
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

// Straight from the message text, without a temporary string.
int to_int(const Field& f)
{
    if (!f.matched || f.first == f.second) {
        throw boost::bad_lexical_cast();
    }
    return boost::lexical_cast<int>(&*f.first, static_cast<std::size_t>(f.second - f.first));
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
        TStatus& cur = current_status();
        cur.player_[team][id] = polar;
        cur.fresh_ |= TStatus::FRESH_PLAYERS;
    } catch (const boost::bad_lexical_cast&) {
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
        current_status().hj_[key(m[i + 1])] = ax;
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
