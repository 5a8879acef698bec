#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tovra::test {

// The control connection to the native pty peer (tests/wine/peer) that plays the device
// on the far end of the test line. Every call waits for the peer's one-line answer.
class PeerLink {
  public:
    PeerLink() = default;
    ~PeerLink();
    PeerLink(const PeerLink&) = delete;
    PeerLink& operator=(const PeerLink&) = delete;

    // Connects to 127.0.0.1:port. False (with Error() set) when no peer listens.
    bool Connect(unsigned short port);
    const std::string& Error() const { return error_; }

    // The peer's answer to one command line; empty when the connection failed.
    std::string Command(const std::string& line);

    bool Reset();
    // n pattern bytes (Pattern(n, seed)) in bursts of 1..burst bytes.
    bool Send(std::size_t n, std::uint32_t seed, std::size_t burst);
    bool SendBytes(const std::vector<std::uint8_t>& bytes);
    // Up to n received bytes, waiting at most timeout_ms for all n.
    std::vector<std::uint8_t> Receive(std::size_t n, int timeout_ms);
    std::size_t Count();
    bool SetReading(bool on);
    bool Hangup();
    // The terminal side's line settings: baud, parity, bits, stop, crtscts, ixon, ...
    std::map<std::string, std::string> Attributes();

  private:
    // A Winsock SOCKET; kept as an integer so this header needs no Winsock headers,
    // which clash with <windows.h> when included after it.
    std::uintptr_t socket_ = kNoSocket;
    static constexpr std::uintptr_t kNoSocket = ~std::uintptr_t{0};
    bool wsa_started_ = false;
    std::string pending_;
    std::string error_;
};

}  // namespace tovra::test
