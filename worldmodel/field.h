#ifndef TRAVONELQUIST_WORLDMODEL_FIELD_H
#define TRAVONELQUIST_WORLDMODEL_FIELD_H

// The playing field of one server generation: what every field place of the
// agent (landmarks, goals, formation, the goalkeeper's line) is derived from.
// Places are in the left team's frame; the right team's frame is the same
// field turned half round, so a right-side robot negates x and y.

struct FieldLandmark {
    const char* name;
    double x, y, z;
};

struct FieldGeometry {
    double half_length;      // goal lines at x = -half_length (own) and +half_length
    double half_width;       // touch lines at y = +-half_width
    double goal_half_width;  // goal posts at y = +-goal_half_width
    double post_height;      // height at which the posts are seen
    // How far in front of its goal line the goalkeeper stands. The classic
    // field keeps the formation table's half metre, where number 1 is beamed;
    // on today's the shots it faces from 3-4 m out pass nearest the middle
    // of its crouch 1.1 m out (measured), still within 1.5 m of the goal's
    // centre after a step to a side.
    double keeper_ahead;
    // Corner flags F1L F2L F1R F2R, then goal posts G1L G2L G1R G2R.
    FieldLandmark landmarks[8];

    // Scale of this field against the classic 12 x 8 m one, for formation places.
    double scale_x() const { return half_length / 6.0; }
    double scale_y() const { return half_width / 4.0; }
    double keeper_x() const { return -half_length + keeper_ahead; }
};

const int kLandmarkCount = 8;

// 12 x 8 m, goals 1.4 m wide: the generation the agent was first written for.
const FieldGeometry& classic_field();
// 30 x 20 m, goals 2.1 m wide: today's server as it ships.
const FieldGeometry& today_field();

// Index of a landmark name in FieldGeometry::landmarks (same on both fields),
// or -1 for any other name.
int landmark_index(const char* name, unsigned length);

#endif
