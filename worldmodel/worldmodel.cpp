#include "worldmodel/worldmodel.h"

// Placeholder until the world model lands.
Worldmodel::Worldmodel(const std::string& teamname) : teamname_(teamname) {}
const Worldmodel::TStatus& Worldmodel::status_history(int) const { return current_status(); }
void Worldmodel::parse(const std::string& message) { ++step_; Parser::parse(message); (void)count_; }
void Worldmodel::frpzero() {}
void Worldmodel::time_callback(const match_results&, int) {}
void Worldmodel::gs_callback(const match_results&, int) {}
void Worldmodel::hear_callback(const match_results&, int) {}
void Worldmodel::gyr_callback(const match_results&, int) {}
void Worldmodel::flag_callback(const match_results&, int) {}
void Worldmodel::ball_callback(const match_results&, int) {}
void Worldmodel::player_callback(const match_results&, int) {}
void Worldmodel::uj_callback(const match_results&, int) {}
void Worldmodel::hj_callback(const match_results&, int) {}
void Worldmodel::frp_callback(const match_results&, int) {}
void Worldmodel::mypos_callback(const match_results&, int) {}
void Worldmodel::TStatus::dump() const {}
void Worldmodel::TStatus::clear() {}
void Worldmodel::TStatus::calc_position() {}
void Worldmodel::TStatus::calc_position_opp() {}
Worldmodel::TVector3 polar2xyz(Worldmodel::TVector3 p) { return p; }
double check_theta(double t) { return t; }
double check_signed(double t) { return t; }
