#ifndef TRAVONELQUIST_WORLDMODEL_WORLDMODEL_H
#define TRAVONELQUIST_WORLDMODEL_WORLDMODEL_H

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "perception/parser.h"
#include "worldmodel/field.h"
#include "worldmodel/pose_filter.h"

enum SideID { S_ERROR = 0, S_LEFT = 1, S_RIGHT = 2, S_MAX = 3 };

// The server generation, told from its perceptions: classic until a
// game-state item with score fields shows today's server.
enum Generation { GEN_CLASSIC = 0, GEN_TODAY = 1 };

// The agent's memory of what it perceived: identity and a ring of the last
// ten per-message snapshots. Parser callbacks land directly in the newest one.
class Worldmodel : public Parser {
public:
    // A polar perception (distance, horizontal, vertical angle in degrees),
    // a field position (x, y, z in metres) or a raw sensor triple.
    struct TVector3 {
        double v_[3];
        TVector3(double x = 0.0, double y = 0.0, double z = 0.0) : v_{x, y, z} {}
    };

    struct TFrpValue {
        TVector3 c_;
        TVector3 f_;
        TFrpValue(double cx = 0.0, double cy = 0.0, double cz = 0.0,
                  double fx = 0.0, double fy = 0.0, double fz = 0.0)
            : c_(cx, cy, cz), f_(fx, fy, fz) {}
    };

    struct TStatus {
        double time_ = 0.0;
        double gs_time_ = 0.0;
        std::string gs_pm_;
        double hear_pos_ = 0.0;
        std::string hear_message_;
        TVector3 pass_;
        std::map<std::string, double> hj_;
        std::map<std::string, std::pair<double, double> > uj_;
        std::map<std::string, TVector3> flag_;
        std::map<std::string, TVector3> gyr_;
        std::map<std::string, std::map<int, TVector3> > player_;
        std::map<std::string, std::map<int, TVector3> > player_xyz_;
        std::map<std::string, TFrpValue> frp_;
        TVector3 ball_;
        TVector3 ball_xyz_;
        TVector3 position_;
        TVector3 position_mypos_;
        // Upright until the flags say otherwise: a slot never localised must
        // not read as a fallen robot.
        TVector3 zax_{0.0, 0.0, 1.0};
        double direction_ = 0.0;

        // Field's up axis in the torso frame (forward, left, up): the camera's
        // tilt with the neck taken out. The fall detector reads this.
        TVector3 torso_up_{0.0, 0.0, 1.0};
        // Accelerometer readings (today's server, and some classic ones).
        std::map<std::string, TVector3> acc_;
        // Today's game state: scores and the side that kicks off.
        int score_left_ = 0;
        int score_right_ = 0;
        std::string kickoff_;

        // What this message refreshed, a bit per landmark (field.h order),
        // then the ball and players. A snapshot built by hand counts as
        // wholly fresh; parse() clears it before the perceptions of a message.
        unsigned fresh_ = ~0u;
        static const unsigned FRESH_BALL = 1u << 8;
        static const unsigned FRESH_PLAYERS = 1u << 9;
        static const unsigned FRESH_VISION = 0x3FFu;
        static const unsigned FRESH_ACC = 1u << 10;
        // Today's server: the landmarks of this message gave a pose.
        static const unsigned FRESH_POSE = 1u << 11;
        static const unsigned FRESH_GYR = 1u << 12;
        // Snapshot of today's server: the dump shows its extra game state.
        bool today_ = false;
        bool fresh(unsigned bits) const { return (fresh_ & bits) != 0; }

        void dump() const;
        void clear();
        // Localise from the corner flags, then place ball and teammates.
        void calc_position();      // robot plays on the left side
        void calc_position_opp();  // any other side
    };

    explicit Worldmodel(const std::string& teamname);

    const std::string& teamname() const { return teamname_; }
    int side() const { return side_; }
    int number() const { return number_; }
    Generation generation() const { return generation_; }
    // When teammate `id` (1-11) was last seen (the message's time), or a time
    // long past if never.
    static const int kMaxMate = 11;
    double mate_seen_time(int id) const { return id >= 1 && id <= kMaxMate ? mate_seen_[id] : kNever; }
    // Today's server: the field's up axis in the torso frame that the
    // landmarks and the ball are seen with (the gyroscope's, kept from
    // drifting by the accelerometer).
    const TVector3& steady_up() const { return steady_up_; }
    const FieldGeometry& field() const { return generation_ == GEN_TODAY ? today_field() : classic_field(); }

    TStatus& current_status() { return status_[step_ % 10]; }
    const TStatus& current_status() const { return status_[step_ % 10]; }
    const TStatus& status_history(int i) const;

    void parse(const std::string& message) override;

    void time_callback(const match_results& m, int i) override;
    void gs_callback(const match_results& m, int i) override;
    void hear_callback(const match_results& m, int i) override;
    void gyr_callback(const match_results& m, int i) override;
    void flag_callback(const match_results& m, int i) override;
    void ball_callback(const match_results& m, int i) override;
    void player_callback(const match_results& m, int i) override;
    void uj_callback(const match_results& m, int i) override;
    void hj_callback(const match_results& m, int i) override;
    void frp_callback(const match_results& m, int i) override;
    void mypos_callback(const match_results& m, int i) override;
    void acc_callback(const match_results& m, int i) override;

    void frpzero();

private:
    // Starts the new current slot from the previous cycle's pose, ball and
    // heading, so that what a message does not let us compute keeps that.
    void carry_estimates();
    // Today's server: tilt from the accelerometer, pose from whatever
    // landmarks are in view, ball and players seen this message.
    void localise_today(TStatus& s);
    // Blends the accelerometer's up axis of this message into `up` with `share`.
    void blend_accelerometer(TStatus& s, double share, TVector3& up) const;
    // Turns `up` on by the gyroscope's rates over one cycle; false when
    // there is no reading to turn it by.
    bool turn_by_gyroscope(const TStatus& s, TVector3& up) const;
    void today_game_state(const match_results& m, int i);
    void body_parts_player(const match_results& m, int i);
    // A perceived player into this message's snapshot.
    void store_player(const char* team, int id, const TVector3& polar);

    const std::string teamname_;
    SideID side_ = S_ERROR;
    int number_ = 0;
    int count_ = 0;
    std::int32_t step_ = 0;
    TStatus status_[10];
    Generation generation_ = GEN_CLASSIC;
    // Players seen in this message, for today's placement of them.
    struct SeenPlayer {
        const char* key;
        int id;
    };
    static const int kMaxSeenPlayers = 24;
    SeenPlayer seen_players_[kMaxSeenPlayers] = {};
    int seen_player_count_ = 0;
    static constexpr double kNever = -1e9;
    double mate_seen_[kMaxMate + 1] = {kNever, kNever, kNever, kNever, kNever, kNever,
                                       kNever, kNever, kNever, kNever, kNever, kNever};
    // Today's server: the place from one landmark fix after another, and the
    // tilt the landmarks are seen with, steadied by the gyroscope.
    PoseFilter pose_filter_;
    TVector3 steady_up_{0.0, 0.0, 1.0};
    bool steady_set_ = false;
    // While parse() runs: the joint entry the last joint perception stored
    // (in the current slot, where nothing is removed meanwhile).
    bool in_parse_ = false;
    std::map<std::string, double>::iterator hj_last_;
};

Worldmodel::TVector3 polar2xyz(Worldmodel::TVector3 p);
double check_theta(double t);
double check_signed(double t);

#endif
