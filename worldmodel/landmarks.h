#ifndef TRAVONELQUIST_WORLDMODEL_LANDMARKS_H
#define TRAVONELQUIST_WORLDMODEL_LANDMARKS_H

// Localisation from whatever landmarks one vision message holds (a restricted
// view cone shows a few at a time), and field places of things seen.
//
// The fit weighs every landmark by the noise it expects: bearings to about
// 0.2 degrees, distances to about +-0.1 m. With two landmarks only, the
// heading rests on the difference of their distances: the two posts of one
// goal seen head-on give it to no better than (distance error) / 2.1 m, and
// a wrong distance among two goes unnoticed. It gives no answer when the
// perceptions do not fit one pose (from three landmarks on it leaves out up
// to two that do not fit the rest), when the expected error is beyond 1.5 m
// or 6 degrees, or when the camera would be more than 5 m off the field or
// not between 0.5 m under and 2.5 m over it (a tilt far off).

#include "worldmodel/field.h"
#include "worldmodel/worldmodel.h"

// Camera pose from the landmarks seen in one message. polar[k] is landmark k's
// perception (FieldGeometry::landmarks order), used only where bit k of `seen`
// is set. torso_up: the field's up axis in the torso frame (unit). Writes the
// camera's position (x, y in the team frame of the given side, z = height above
// the field) and `direction` (heading in degrees of the torso's forward axis laid
// flat, 0 towards +x, counter-clockwise positive, within -180..180) and returns
// true, and in `sigma` (when given) the position's expected error per axis (m).
// Without `leave_out` a perception that does not fit the others gives no
// answer at once (a quick try, where another one follows);
// with fewer than two usable landmarks, or a geometry that gives no
// reliable answer, writes nothing and returns false.
bool locate_from_landmarks(const FieldGeometry& field, bool left_side,
                           const Worldmodel::TVector3 polar[kLandmarkCount], unsigned seen,
                           double hj1, double hj2, const Worldmodel::TVector3& torso_up,
                           Worldmodel::TVector3& position, double& direction, double* sigma = nullptr,
                           bool leave_out = true);

// Field place (x, y in the team frame; z = the point's height above the field) of
// something seen at `polar` by a robot whose camera is at `position` with torso
// heading `direction`, neck angles hj1/hj2 and tilt torso_up. When the inputs
// give no number (a perception or tilt that is not one), the robot's own place.
Worldmodel::TVector3 seen_to_field(const Worldmodel::TVector3& polar, double hj1, double hj2,
                                   const Worldmodel::TVector3& torso_up,
                                   const Worldmodel::TVector3& position, double direction);

#endif
