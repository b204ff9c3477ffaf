#ifndef TRAVONELQUIST_WORLDMODEL_POSE_FILTER_H
#define TRAVONELQUIST_WORLDMODEL_POSE_FILTER_H

// The robot's place on the ground from one landmark fix after another: a
// fix alone scatters by a decimetre or more when only two or three landmarks
// far away are in view. Each axis keeps a place and a speed (a robot walks
// steadily between two fixes, 60 ms apart); a fix far off what the robot can
// have done is left out, and three such in a row (a beam, a fall, a robot
// carried off) start the filter afresh from the newest.
class PoseFilter {
public:
    // Moves the estimate on to `time` (s); a time that is no number, runs
    // backwards or jumps far starts afresh at the next fix.
    void predict(double time);
    // A fix at (x, y) expected off by `sigma` (m) on each axis. False when
    // it was left out as an outlier.
    bool update(double x, double y, double sigma);
    bool ready() const { return ready_; }
    double x() const { return axis_[0].p; }
    double y() const { return axis_[1].p; }

private:
    struct Axis {
        double p = 0.0;                   // place (m)
        double v = 0.0;                   // speed (m/s)
        double pp = 0.0, pv = 0.0, vv = 0.0;  // covariance
    };
    void reset(double x, double y, double r);

    Axis axis_[2];
    bool ready_ = false;
    bool timed_ = false;
    double time_ = 0.0;
    int left_out_ = 0;
};

#endif
