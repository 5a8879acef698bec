#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "protocol/module_settings.h"

namespace tovra::sim {

// Payload length of a settings reply under the short_reply fault.
inline constexpr std::uint8_t kShortReplyLength = 6;

// Faults the simulated module can be told to show; each is independent.
struct Faults {
    bool no_reply = false;        // swallow requests
    bool bad_checksum = false;    // corrupt the checksum of every reply
    int delay_ms = 0;             // wait before replying
    int split_gap_ms = -1;        // >= 0: send the reply one byte at a time with this gap
    std::size_t noise_bytes = 0;  // random non-frame bytes before each reply
    bool short_reply = false;     // answer settings requests with a reply of L < 12
    bool pace = false;            // hold each byte for its time on the wire at the line speed
    bool match_line = false;      // answer only when the line speed/parity match the module UART
    int lose_after = -1;          // >= 0: close the port after this many replies
};
// In detail:
// - pace: every byte (noise included) is handed to the line one at a time once it would
//   have finished crossing the wire at the module's UART speed: 10 bits, 11 with parity.
//   The times follow one schedule from the start of the reply, so a late wake-up is made
//   up by the next bytes and the total stays that of the real line.
// - match_line: bytes that arrive while the pseudo-terminal's speed or parity differ from
//   the module's UART are taken for garbage: they show in Received() but no request is
//   recognised in them. Linux ptys drop PARENB, so parity counts as set on the line when
//   PARENB, INPCK or PARODD is set (PARODD: odd, otherwise even).
// - lose_after: counted per port. Once that many replies went out on the current port,
//   the module waits (up to 5 s) until the tool has read them, then closes the
//   pseudo-terminal and removes the link: the tool sees a hang-up. A request arriving
//   when the count is already reached (lose_after = 0) loses the port unanswered.
// - short_reply: only Read All and Write All replies are cut, to kShortReplyLength.
// - Delay, noise, split and pace combine in that order.

// A radio module on a pseudo-terminal. The tool opens PortPath() (or the link) as the
// module's serial port. Runs on its own thread between Start and Stop. Every method may be
// called from any thread.
//
// Requests (0xAF 0xAF frames of the four known commands with their exact L and a good
// checksum) are answered with the request's header bytes 0..5 kept. Everything else is
// ignored. A Write All that changes the module's UART speed or parity is answered at the
// old setting; the new one applies from the next byte received.
class SimulatedModule {
  public:
    explicit SimulatedModule(const ModuleSettings& initial, const Faults& faults = {});
    ~SimulatedModule();
    SimulatedModule(const SimulatedModule&) = delete;
    SimulatedModule& operator=(const SimulatedModule&) = delete;

    // Opens the pseudo-terminal and starts answering. With a non-empty link path, also
    // creates that symlink to the port (removed again by Stop). A symlink already of that
    // name is replaced; any other file there makes Start fail. False when already running.
    bool Start(const std::string& link_path = "");
    // Stops the worker (at once, even mid-reply), closes the port and removes the link if
    // it still points to the port. Safe to call repeatedly.
    void Stop();
    // After a lost port (or at any time while started): a fresh pseudo-terminal, a new
    // PortPath() and the link pointed at it. Replies count towards lose_after afresh.
    // False when not started or no new port could be opened or linked; the module is then
    // stopped and LastError says why.
    bool Restart();

    std::string PortPath() const;  // e.g. /dev/pts/7; the last one after Stop or a loss
    std::string LinkPath() const;
    std::string LastError() const;  // why the last Start or Restart failed
    bool PortLost() const;          // the port was closed by lose_after

    // A view of the stored block: the frequency is the decoded register (434.00 MHz
    // written as 6C 80 12 reads back as 434.0010986328125), VersionReady is 0.
    ModuleSettings Settings() const;
    // The stored settings block byte for byte, as the next Read All returns it.
    SettingsBlock SettingsBytes() const;
    void SetSettings(const ModuleSettings& s);
    void SetFaults(const Faults& f);

    std::vector<std::uint8_t> Received() const;  // every byte received so far
    std::size_t RequestsSeen() const;            // good requests
    // Replies sent; a reply counts as soon as its last byte is handed to the line.
    std::size_t RepliesSent() const;
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    bool WaitForReplies(std::size_t count, std::chrono::milliseconds timeout) const;
    // Until Received() holds at least count bytes, good or not.
    bool WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tovra::sim
