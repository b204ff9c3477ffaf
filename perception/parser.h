#ifndef TRAVONELQUIST_PERCEPTION_PARSER_H
#define TRAVONELQUIST_PERCEPTION_PARSER_H

#include <string>

#include <boost/regex.hpp>
#include <boost/shared_ptr.hpp>

// Turns one perception message into typed callbacks, one per recognised item,
// in text order. The grammar is a single regular expression; text it does not
// match is skipped.
class Parser {
public:
    typedef boost::match_results<std::string::const_iterator> match_results;

    Parser();
    virtual ~Parser();

    virtual void parse(const std::string& message);

    // Field n of an item is group i + n of the match.
    virtual void time_callback(const match_results& m, int i);
    virtual void gs_callback(const match_results& m, int i);
    virtual void hear_callback(const match_results& m, int i);
    virtual void gyr_callback(const match_results& m, int i);
    virtual void flag_callback(const match_results& m, int i);
    virtual void ball_callback(const match_results& m, int i);
    virtual void player_callback(const match_results& m, int i);
    virtual void uj_callback(const match_results& m, int i);
    virtual void hj_callback(const match_results& m, int i);
    virtual void frp_callback(const match_results& m, int i);
    virtual void mypos_callback(const match_results& m, int i);
    virtual void acc_callback(const match_results& m, int i);

    struct impl;

private:
    boost::shared_ptr<impl> pimpl_;
};

// Debug listing of one match: every group with its number.
void dummy_callback(const Parser::match_results& m);

// The compiled grammar, shared read-only by every parser of the process: the
// first generation's 13 alternatives, then today's server's additions.
const boost::regex& perception_grammar();
// The first generation's pattern alone (611 characters, 47 groups).
const char* classic_perception_pattern();

#endif
