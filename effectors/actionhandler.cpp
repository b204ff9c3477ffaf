#include "effectors/actionhandler.h"

// Placeholder until the command builder lands.
void Actionhandler::clear() { commands_.clear(); hj_commands_.clear(); uj_commands_.clear(); }
void Actionhandler::scene(std::string name) { commands_ += "(scene " + name + ")"; }
void Actionhandler::init(std::string) {}
void Actionhandler::beam(double, double, double) {}
void Actionhandler::say(std::string) {}
bool Actionhandler::joint(std::string str, double v) { hj_commands_[str] = v; return true; }
bool Actionhandler::he1(double) { return true; }
bool Actionhandler::he2(double) { return true; }
bool Actionhandler::lae1_2(double, double) { return true; }
bool Actionhandler::lae3(double) { return true; }
bool Actionhandler::lae4(double) { return true; }
bool Actionhandler::rae1_2(double, double) { return true; }
bool Actionhandler::rae3(double) { return true; }
bool Actionhandler::rae4(double) { return true; }
bool Actionhandler::lle1(double) { return true; }
bool Actionhandler::lle2_3(double, double) { return true; }
bool Actionhandler::lle4(double) { return true; }
bool Actionhandler::lle5_6(double, double) { return true; }
bool Actionhandler::rle1(double) { return true; }
bool Actionhandler::rle2_3(double, double) { return true; }
bool Actionhandler::rle4(double) { return true; }
bool Actionhandler::rle5_6(double, double) { return true; }
std::string Actionhandler::get_commands() const { return commands_; }
void append_number(std::string&, double) {}
