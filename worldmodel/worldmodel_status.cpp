#include "worldmodel/worldmodel.h"

#include <charconv>
#include <cstring>
#include <iostream>

#include "effectors/number_text.h"

namespace {

// Gathers the dump's text and hands it to the stream in a few large writes,
// flushed once at the end: the dump is most of what a cycle writes, and a
// stream call per value and a flush per line cost more than the formatting.
// Nothing else writes while the dump runs, so no log of both streams can
// tell the difference.
class DumpText {
public:
    explicit DumpText(std::ostream& out) : out_(out), p_(buf_) {}

    template <std::size_t N>
    DumpText& operator<<(const char (&s)[N])
    {
        return text(s, N - 1);
    }
    DumpText& operator<<(const std::string& s) { return text(s.data(), s.size()); }
    DumpText& operator<<(double v)
    {
        room(kNumberTextMax);
        p_ = write_number(p_, v);
        return *this;
    }
    DumpText& operator<<(int v)
    {
        room(16);
        p_ = std::to_chars(p_, p_ + 16, v).ptr;
        return *this;
    }
    DumpText& operator<<(const Worldmodel::TVector3& v) { return *this << v.v_[0] << ": " << v.v_[1] << ": " << v.v_[2]; }

    void finish()
    {
        drain();
        out_.flush();
    }

private:
    DumpText& text(const char* s, std::size_t n)
    {
        if (n > sizeof buf_) {
            drain();
            out_.write(s, static_cast<std::streamsize>(n));
        } else {
            room(n);
            std::memcpy(p_, s, n);
            p_ += n;
        }
        return *this;
    }
    void room(std::size_t n)
    {
        if (static_cast<std::size_t>(buf_ + sizeof buf_ - p_) < n) drain();
    }
    void drain()
    {
        out_.write(buf_, p_ - buf_);
        p_ = buf_;
    }

    std::ostream& out_;
    char buf_[4096];
    char* p_;
};

}  // namespace

void Worldmodel::TStatus::dump() const
{
    DumpText out(std::cout);
    out << "(TIME): " << time_ << "\n";
    out << "(POSITION): " << position_ << "\n";
    out << "(ZAXIS): " << zax_ << "\n";
    out << "(BALL): " << ball_ << "\n";
    if (today_) {
        // Today's server only: the classic dump stays as it always was.
        out << "(DIRECTION): " << direction_ << "\n";
        out << "(GS): " << gs_time_ << ": " << gs_pm_ << ": " << score_left_ << ": " << score_right_ << ": "
            << kickoff_ << ": " << "\n";
    } else {
        out << "(GS): " << gs_time_ << ": " << gs_pm_ << ": " << "\n";
    }
    for (std::map<std::string, TVector3>::const_iterator it = gyr_.begin(); it != gyr_.end(); ++it) {
        out << "(GYR): " << it->first << ": " << it->second << "\n";
    }
    for (std::map<std::string, TFrpValue>::const_iterator it = frp_.begin(); it != frp_.end(); ++it) {
        const TFrpValue& f = it->second;
        out << "(FRP): " << it->first << ": c( " << f.c_.v_[0] << ", " << f.c_.v_[1] << ", " << f.c_.v_[2]
            << ") f( " << f.f_.v_[0] << ", " << f.f_.v_[1] << ", " << f.f_.v_[2] << ")" << "\n";
    }
    for (std::map<std::string, double>::const_iterator it = hj_.begin(); it != hj_.end(); ++it) {
        out << "(HJ): " << it->first << ": " << it->second << "\n";
    }
    out.finish();
}

void Worldmodel::TStatus::clear()
{
    time_ = 0.0;
    gs_time_ = 0.0;
    hear_pos_ = 0.0;
    gs_pm_.clear();
    hear_message_.clear();
    ball_ = TVector3();
    position_ = TVector3();
    position_mypos_ = TVector3();
    zax_ = TVector3();
    hj_.clear();
    uj_.clear();
    flag_.clear();
    gyr_.clear();
    player_.clear();
    frp_.clear();
}
