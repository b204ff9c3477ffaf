#include "perception/parser.h"

// Placeholder until the grammar lands.
struct Parser::impl {};
Parser::Parser() : pimpl_(new impl) {}
Parser::~Parser() = default;
void Parser::parse(const std::string&) {}
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
void dummy_callback(const Parser::match_results&) {}
const boost::regex& perception_grammar() { static const boost::regex re("x"); return re; }
