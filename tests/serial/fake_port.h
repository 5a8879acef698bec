#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace tovra::test {

// A scripted port for the channel's shared logic. serial_logic_tests links cx_serial.cpp
// with fake_backend.cpp instead of an OS backend; opening a name finds the FakePort that
// was created with it.
class FakePort {
  public:
    enum class Outcome { Ok, TimedOut, Failed, Gone };
    struct WriteStep {
        Outcome outcome;
        std::size_t accept;  // bytes the port takes in this attempt (at most the chunk)
    };

    explicit FakePort(std::string name);
    ~FakePort();
    FakePort(const FakePort&) = delete;
    FakePort& operator=(const FakePort&) = delete;

    // What the next calls answer. Writes beyond the script succeed whole.
    bool open_ok = true;
    bool configure_ok = true;
    bool prepare_ok = true;
    void ScriptWrites(std::vector<WriteStep> steps);
    std::chrono::milliseconds stop_delay{0};  // the reader ends this long after the stop

    // Device side: bytes for the reader, or the device going away.
    void Inject(std::vector<std::uint8_t> bytes);
    void Lose();

    std::vector<std::string> Calls() const;  // "open", "configure 9600 0", "chunk 1024", ...
    std::vector<std::uint8_t> Wire() const;  // every byte the port took, in order

    static FakePort* Find(const std::string& name);

    // Used by the fake backend only.
    void Log(std::string call);
    WriteStep NextWrite(std::size_t size);
    void Take(const std::uint8_t* data, std::size_t count);

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::vector<std::uint8_t>> inbox;
    bool lost = false;
    bool stop = false;

  private:
    std::string name_;
    std::vector<std::string> calls_;
    std::vector<std::uint8_t> wire_;
    std::deque<WriteStep> script_;
};

}  // namespace tovra::test
