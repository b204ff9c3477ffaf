#include "control/tervalonlib.h"

// Placeholder until joint control lands.
Tervalonlib::Tervalonlib(boost::shared_ptr<Worldmodel> world) : Action(world) {}
void Tervalonlib::init() {}
bool Tervalonlib::set(std::string id, double angle, double) { aim_joint[id] = angle; return true; }
double Tervalonlib::get(std::string id) { return cur_joint[id]; }
void Tervalonlib::setangle() {}
void Tervalonlib::apply(const Keyframe& row) { for (const JointTarget& t : row) set(t.joint, t.angle, t.gain); }
