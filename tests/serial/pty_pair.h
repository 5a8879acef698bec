#pragma once

#include <pty.h>
#include <unistd.h>

#include <string>

namespace tovra::test {

// A pseudo-terminal standing in for a serial line: the channel opens SlavePath() like a
// real tty, the test plays the device on the master. The slave descriptor from openpty is
// kept open so that the line stays up between a Close and the next Open.
class PtyPair {
  public:
    PtyPair() {
        char name[128] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) == 0) {
            path_ = name;
        }
    }
    ~PtyPair() {
        CloseMaster();
        if (slave_ >= 0) {
            ::close(slave_);
        }
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return !path_.empty(); }
    const std::string& SlavePath() const { return path_; }
    int Master() const { return master_; }
    int Slave() const { return slave_; }
    // The device side going away, as an unplugged adapter or a closed peer program.
    void CloseMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

}  // namespace tovra::test
