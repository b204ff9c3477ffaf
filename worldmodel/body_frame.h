#ifndef TRAVONELQUIST_WORLDMODEL_BODY_FRAME_H
#define TRAVONELQUIST_WORLDMODEL_BODY_FRAME_H

// Frames of the robot's body. All are x forward, y left, z up.
// - camera: what the perceptions are measured in;
// - torso: the camera turned back through the neck, first yaw (hj1, positive
//   turns the camera to the left) then pitch (hj2, positive tilts it up, as
//   measured on the real server);
// - level: the torso's heading with the tilt taken out, z along the field's up.

#include "worldmodel/worldmodel.h"

typedef Worldmodel::TVector3 BodyVector;

// A camera-frame vector in the torso frame.
BodyVector camera_to_torso(const BodyVector& c, double hj1_deg, double hj2_deg);
// A torso-frame vector in the camera frame (the inverse).
BodyVector torso_to_camera(const BodyVector& t, double hj1_deg, double hj2_deg);

// A vector of some body frame in the level frame, given the field's up axis
// seen from that same frame (a unit vector). Forward is the frame's x axis
// laid flat; when x points (nearly) straight up or down (lying flat), the frame's y
// axis laid flat decides instead.
BodyVector to_level(const BodyVector& v, const BodyVector& up);

// The up axis of the torso from an accelerometer reading in its own axes
// (x right, y forward, z up: the server's torso frame), as a unit vector in
// the torso frame above; false when the reading has no usable direction.
bool up_from_accelerometer(const BodyVector& a, BodyVector& up);

#endif
