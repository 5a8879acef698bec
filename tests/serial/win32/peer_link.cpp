// Winsock before anything that pulls in <windows.h>.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "tests/serial/win32/peer_link.h"

#include <cstdio>
#include <sstream>

namespace tovra::test {

namespace {

// Long enough for the slowest peer command (a RECV that waits 20 s) on a loaded machine.
constexpr DWORD kAnswerTimeoutMs = 60000;

}  // namespace

PeerLink::~PeerLink() {
    if (socket_ != kNoSocket) {
        closesocket(static_cast<SOCKET>(socket_));
    }
    if (wsa_started_) {
        WSACleanup();
    }
}

bool PeerLink::Connect(unsigned short port) {
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        error_ = "WSAStartup failed";
        return false;
    }
    wsa_started_ = true;
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        error_ = "socket failed: " + std::to_string(WSAGetLastError());
        return false;
    }
    socket_ = static_cast<std::uintptr_t>(s);
    const DWORD timeout = kAnswerTimeoutMs;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error_ = "no peer on 127.0.0.1:" + std::to_string(port) + " (" +
                 std::to_string(WSAGetLastError()) + ")";
        return false;
    }
    return true;
}

std::string PeerLink::Command(const std::string& line) {
    if (socket_ == kNoSocket) {
        return {};
    }
    const std::string out = line + "\n";
    std::size_t done = 0;
    while (done < out.size()) {
        const int n = ::send(static_cast<SOCKET>(socket_), out.data() + done,
                             static_cast<int>(out.size() - done), 0);
        if (n <= 0) {
            return {};
        }
        done += static_cast<std::size_t>(n);
    }
    for (;;) {
        const auto end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string answer = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return answer;
        }
        char buffer[8192];
        const int n = ::recv(static_cast<SOCKET>(socket_), buffer, sizeof buffer, 0);
        if (n <= 0) {
            return {};
        }
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

bool PeerLink::Reset() {
    return Command("RESET").rfind("OK", 0) == 0;
}

bool PeerLink::Send(std::size_t n, std::uint32_t seed, std::size_t burst) {
    return Command("SEND " + std::to_string(n) + " " + std::to_string(seed) + " " +
                   std::to_string(burst)) == "OK " + std::to_string(n);
}

bool PeerLink::SendBytes(const std::vector<std::uint8_t>& bytes) {
    std::string hex;
    char two[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return Command("SENDHEX " + hex).rfind("OK", 0) == 0;
}

std::vector<std::uint8_t> PeerLink::Receive(std::size_t n, int timeout_ms) {
    const std::string answer =
        Command("RECV " + std::to_string(n) + " " + std::to_string(timeout_ms));
    std::vector<std::uint8_t> out;
    if (answer.rfind("DATA ", 0) != 0) {
        return out;
    }
    for (std::size_t i = 5; i + 1 < answer.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoul(answer.substr(i, 2), nullptr, 16)));
    }
    return out;
}

std::size_t PeerLink::Count() {
    const std::string answer = Command("COUNT");
    return answer.rfind("OK ", 0) == 0 ? std::stoul(answer.substr(3)) : 0;
}

bool PeerLink::SetReading(bool on) {
    return Command(on ? "READING 1" : "READING 0") == "OK";
}

bool PeerLink::Hangup() {
    return Command("HANGUP") == "OK";
}

std::map<std::string, std::string> PeerLink::Attributes() {
    std::map<std::string, std::string> out;
    std::istringstream in(Command("ATTR"));
    std::string word;
    in >> word;
    if (word != "ATTR") {
        return out;
    }
    while (in >> word) {
        const auto eq = word.find('=');
        if (eq != std::string::npos) {
            out[word.substr(0, eq)] = word.substr(eq + 1);
        }
    }
    return out;
}

}  // namespace tovra::test
