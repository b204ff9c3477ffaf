#include "control/tervalonlib.h"

// Placeholder until the vector helpers land.
typedef Tervalonlib::TVector3 TVector3;
double vec3_check_theta(double theta) { return theta; }
TVector3 Tervalonlib::vec3_add(TVector3 a, TVector3) { return a; }
TVector3 Tervalonlib::vec3_sub(TVector3 a, TVector3) { return a; }
TVector3 Tervalonlib::vec3_scale(TVector3 a, double) { return a; }
double Tervalonlib::vec3_dot(TVector3, TVector3) { return 0; }
double Tervalonlib::vec3_length(TVector3) { return 0; }
TVector3 Tervalonlib::vec3_normalized(TVector3 a) { return a; }
TVector3 Tervalonlib::goal_pos(std::string) { return TVector3(); }
TVector3 Tervalonlib::vec3_goto_xyz(TVector3, TVector3 b, double) { return b; }
TVector3 Tervalonlib::vec3_goto_pos(TVector3 a) { return a; }
