#include "perception/parser.h"

#include <iostream>

namespace {

// One alternative per kind of perception item; the group numbering is what
// the dispatch below and the world model's handlers rely on.
const char* const kPattern =
    R"RE(\(time \(now ([^\)]+)\)\)|\(GS \(t ([^\)]+)\) \(pm ([^\)]+)\)\)|\(GS \(unum ([^\)]+)\) \(team ([^\)]+)\) \(t ([^\)]+)\) \(pm ([^\)]+)\)\)|\(hear (\S+) (\S+) (\S+)\((\S+) (\S+) ([^\(]+)\)\)|\(hear (\S+) (\S+) ([^\(]+)\)|\(GYR \(n ([^\)]+)\) \(rt (\S+) (\S+) ([^\)]+)\)\)|\((\w\w\w) \(pol (\S+) (\S+) ([^\)]+)\)\)|\(B \(pol (\S+) (\S+) ([^\)]+)\)\)|\(P \(team (\S+)\) \(id (\S+)\) \(pol (\S+) (\S+) ([^\)]+)\)\)|\(UJ \(n ([^\)]+)\) \(ax1 ([^\)]+)\) \(ax2 ([^\)]+)\)\)|\(HJ \(n ([^\)]+)\) \(ax ([^\)]+)\)\)|\(FRP \(n ([^\)]+)\) \(c (\S+) (\S+) ([^\)]+)\) \(f (\S+) (\S+) ([^\)]+)\)\)|\(mypos (\S+) (\S+) ([^\)]+)\))RE";

// Today's server adds a game-state item with more sub-items, in any order
// (scores, kick-off side, a penalty list nested three deep), the
// accelerometer and players seen as body parts. Appended, so that the groups
// above keep their numbers: 48 the game-state's sub-items, 49-52 the
// accelerometer, 53-55 team, id and the body parts.
const char* const kTodayPattern =
    R"RE(|\(GS ((?:\([^()]*(?:\([^()]*(?:\([^()]*\)[^()]*)*\)[^()]*)*\)\s*)+)\))RE"
    R"RE(|\(ACC \(n ([^\)]+)\) \(a (\S+) (\S+) ([^\)]+)\)\))RE"
    R"RE(|\(P \(team (\S+)\) \(id (\S+)\)((?: \(\w+ \(pol \S+ \S+ [^\)]+\)\))+)\))RE";

}  // namespace

const char* classic_perception_pattern() { return kPattern; }

const boost::regex& perception_grammar()
{
    static const boost::regex re(std::string(kPattern) + kTodayPattern);
    return re;
}

namespace {

// Compiles the grammar during static initialisation, so that no cycle pays for it.
// Parsing still goes through perception_grammar(), which is safe whatever the
// order in which translation units are initialised.
const boost::regex& all_re = perception_grammar();

}  // namespace

struct Parser::impl {
    struct all_cb_functor {
        explicit all_cb_functor(Parser* p) : p_(p) {}

        // The first group of each alternative tells which item matched.
        bool operator()(const match_results& m) const
        {
            if (m[1].matched) {
                p_->time_callback(m, 0);
            } else if (m[2].matched) {
                p_->gs_callback(m, 1);
            } else if (m[4].matched) {
                p_->gs_callback(m, 3);
            } else if (m[8].matched) {
                p_->hear_callback(m, 7);
            } else if (m[14].matched) {
                p_->hear_callback(m, 13);
            } else if (m[17].matched) {
                p_->gyr_callback(m, 16);
            } else if (m[21].matched) {
                p_->flag_callback(m, 20);
            } else if (m[25].matched) {
                p_->ball_callback(m, 24);
            } else if (m[28].matched) {
                p_->player_callback(m, 27);
            } else if (m[33].matched) {
                p_->uj_callback(m, 32);
            } else if (m[36].matched) {
                p_->hj_callback(m, 35);
            } else if (m[38].matched) {
                p_->frp_callback(m, 37);
            } else if (m[45].matched) {
                p_->mypos_callback(m, 44);
            } else if (m[48].matched) {
                p_->gs_callback(m, 47);
            } else if (m[49].matched) {
                p_->acc_callback(m, 48);
            } else if (m[53].matched) {
                p_->player_callback(m, 52);
            } else {
                dummy_callback(m);
            }
            return true;
        }

        Parser* p_;
    };

    explicit impl(Parser* p) : all_cb_(p) {}

    all_cb_functor all_cb_;
};

Parser::Parser() : pimpl_(new impl(this)) {}

Parser::~Parser() = default;

void Parser::parse(const std::string& message)
{
    // A copied parser shares its private part with the original; its own
    // copy of the functor makes sure the callbacks reach this object.
    impl::all_cb_functor callbacks(pimpl_->all_cb_);
    callbacks.p_ = this;
    try {
        boost::regex_grep(callbacks, message.begin(), message.end(), perception_grammar());
    } catch (const boost::regex_error&) {
        // Boost gives up on text that would need too much backtracking. Items
        // found before that point have been delivered; the rest of this
        // message is dropped like any other text the grammar cannot read.
    }
}

void Parser::time_callback(const match_results& m, int) { dummy_callback(m); }
void Parser::gs_callback(const match_results& m, int) { dummy_callback(m); }
void Parser::hear_callback(const match_results& m, int) { dummy_callback(m); }
void Parser::gyr_callback(const match_results& m, int) { dummy_callback(m); }
void Parser::flag_callback(const match_results& m, int) { dummy_callback(m); }
void Parser::ball_callback(const match_results& m, int) { dummy_callback(m); }
void Parser::player_callback(const match_results& m, int) { dummy_callback(m); }
void Parser::uj_callback(const match_results& m, int) { dummy_callback(m); }
void Parser::hj_callback(const match_results& m, int) { dummy_callback(m); }
void Parser::frp_callback(const match_results& m, int) { dummy_callback(m); }
void Parser::mypos_callback(const match_results& m, int) { dummy_callback(m); }
void Parser::acc_callback(const match_results& m, int) { dummy_callback(m); }

void dummy_callback(const Parser::match_results& m)
{
    // The listing of the first grammar's 48 groups, as it always was.
    const Parser::match_results::size_type n = m.size() < 48 ? m.size() : 48;
    for (Parser::match_results::size_type k = 0; k < n; ++k) {
        std::cout << k << "[" << m[k].str() << "]" << '\n';
    }
    std::cout << n << " datas. " << '\n' << '\n';
}
