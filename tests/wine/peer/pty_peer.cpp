// The far end of a serial line for the Windows channel tests under Wine. It creates a
// pseudo-terminal, links COM ports of a Wine prefix to its terminal side
// ($WINEPREFIX/dosdevices/com20 -> /dev/pts/N), and plays the device on the other side
// as the tests tell it over a line-based TCP connection on 127.0.0.1.
//
//   pty_peer --dosdevices DIR --link com20 --link com5 --port-file FILE
//
// The listening port is written to FILE once the links are in place. Commands, one per
// line, each answered by one line ("OK ...", "DATA <hex>", "ATTR ...", or "ERR ..."):
//   RESET              fresh state: a pseudo-terminal (new if it was hung up), nothing
//                      buffered, reading on
//   SEND n seed burst  writes n pattern bytes (seeded) in bursts of 1..burst bytes
//   SENDHEX hex        writes these bytes
//   RECV n ms          waits up to ms for n received bytes; answers with the first n (or
//                      all there are when the time is up) and drops them
//   COUNT              how many received bytes are buffered
//   READING 0|1        stops or resumes taking bytes from the line (a device that stalls)
//   ATTR               the line settings the terminal side has now
//   HANGUP             closes the pseudo-terminal, as an unplugged adapter would
//   QUIT               ends the program
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/wine/pattern.h"

namespace {

using Clock = std::chrono::steady_clock;

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

  private:
    int fd_;
};

struct Options {
    std::string dosdevices;
    std::vector<std::string> links;
    std::string port_file;
};

bool SetNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

std::string Hex(const std::uint8_t* data, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(n * 2);
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> Unhex(const std::string& text) {
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned v = 0;
        if (std::sscanf(text.c_str() + i, "%2x", &v) != 1) {
            return std::nullopt;
        }
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
}

unsigned BaudOf(speed_t s) {
    switch (s) {
        case B1200:
            return 1200;
        case B1800:
            return 1800;
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B9600:
            return 9600;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        default:
            return 0;
    }
}

class Peer {
  public:
    explicit Peer(Options options) : options_(std::move(options)) {}

    bool Start() {
        if (!OpenTerminal()) {
            return false;
        }
        listener_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (!listener_.Valid() ||
            ::bind(listener_.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listener_.Get(), 4) != 0 ||
            ::getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            std::perror("pty_peer: listen");
            return false;
        }
        // Written last and renamed into place: whoever sees the file may connect at once.
        const std::string tmp = options_.port_file + ".tmp";
        FILE* f = std::fopen(tmp.c_str(), "w");
        if (f == nullptr) {
            std::perror("pty_peer: port file");
            return false;
        }
        std::fprintf(f, "%u\n", static_cast<unsigned>(ntohs(addr.sin_port)));
        std::fclose(f);
        return std::rename(tmp.c_str(), options_.port_file.c_str()) == 0;
    }

    int Run() {
        while (!quit_) {
            std::vector<pollfd> fds;
            fds.push_back({listener_.Get(), POLLIN, 0});
            const bool have_client = client_.Valid();
            if (have_client) {
                fds.push_back({client_.Get(), POLLIN, 0});
            }
            const bool watch_line = master_.Valid() && reading_;
            if (watch_line) {
                fds.push_back({master_.Get(), POLLIN, 0});
            }
            int timeout = -1;
            if (pending_recv_) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    recv_deadline_ - Clock::now());
                timeout = left.count() > 0 ? static_cast<int>(left.count()) : 0;
            } else if (master_.Valid() && reading_ && line_idle_) {
                // No slave is open (Wine closed the port): POLLHUP would wake us forever.
                timeout = 10;
            }
            const int ready = ::poll(fds.data(), fds.size(), timeout);
            if (ready < 0 && errno != EINTR) {
                std::perror("pty_peer: poll");
                return 1;
            }
            std::size_t i = 0;
            if (fds[i++].revents & POLLIN) {
                Accept();
            }
            if (have_client && fds[i++].revents != 0) {
                ReadCommands();
            }
            if (watch_line && fds[i].revents != 0) {
                DrainLine();
            }
            FinishRecvIfReady(false);
        }
        return 0;
    }

  private:
    bool OpenTerminal() {
        int m = -1;
        int s = -1;
        char name[256] = {};
        if (::openpty(&m, &s, name, nullptr, nullptr) != 0) {
            std::perror("pty_peer: openpty");
            return false;
        }
        master_.Reset(m);
        // Kept open so the terminal side always has an opener: without one, every close of
        // the port by the test would make the line read as hung up.
        slave_.Reset(s);
        ::fcntl(m, F_SETFD, FD_CLOEXEC);
        ::fcntl(s, F_SETFD, FD_CLOEXEC);
        termios tio{};
        ::tcgetattr(s, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(s, TCSANOW, &tio);
        SetNonBlocking(m);
        slave_name_ = name;
        for (const std::string& link : options_.links) {
            const std::string path = options_.dosdevices + "/" + link;
            const std::string tmp = path + ".new";
            ::unlink(tmp.c_str());
            if (::symlink(slave_name_.c_str(), tmp.c_str()) != 0 ||
                ::rename(tmp.c_str(), path.c_str()) != 0) {
                std::perror(("pty_peer: link " + path).c_str());
                return false;
            }
        }
        line_idle_ = false;
        return true;
    }

    void Accept() {
        const int c = ::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) {
            return;
        }
        // One test program at a time; a new connection replaces the old one.
        client_.Reset(c);
        input_.clear();
        pending_recv_.reset();
    }

    void ReadCommands() {
        char buffer[65536];
        const ssize_t n = ::read(client_.Get(), buffer, sizeof buffer);
        if (n <= 0) {
            client_.Reset();
            pending_recv_.reset();
            return;
        }
        input_.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while (!pending_recv_ && (end = input_.find('\n')) != std::string::npos) {
            std::string line = input_.substr(0, end);
            input_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            Handle(line);
        }
    }

    void Reply(const std::string& text) {
        const std::string line = text + "\n";
        std::size_t done = 0;
        while (done < line.size() && client_.Valid()) {
            const ssize_t n = ::write(client_.Get(), line.data() + done, line.size() - done);
            if (n <= 0) {
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                client_.Reset();
                return;
            }
            done += static_cast<std::size_t>(n);
        }
    }

    void Handle(const std::string& line) {
        std::istringstream in(line);
        std::string cmd;
        in >> cmd;
        if (cmd == "RESET") {
            if (!master_.Valid() && !OpenTerminal()) {
                Reply("ERR no pseudo-terminal");
                return;
            }
            DrainLine();
            received_.clear();
            reading_ = true;
            Reply("OK " + slave_name_);
        } else if (cmd == "SEND") {
            std::size_t n = 0;
            std::uint32_t seed = 0;
            std::size_t burst = 1;
            in >> n >> seed >> burst;
            Send(tovra::test::Pattern(n, seed), burst == 0 ? 1 : burst, seed);
        } else if (cmd == "SENDHEX") {
            std::string hex;
            in >> hex;
            const auto bytes = Unhex(hex);
            if (!bytes) {
                Reply("ERR bad hex");
                return;
            }
            Send(*bytes, bytes->size() == 0 ? 1 : bytes->size(), 0);
        } else if (cmd == "RECV") {
            std::size_t n = 0;
            long ms = 0;
            in >> n >> ms;
            pending_recv_ = n;
            recv_deadline_ = Clock::now() + std::chrono::milliseconds(ms);
            FinishRecvIfReady(false);
        } else if (cmd == "COUNT") {
            DrainLine();
            Reply("OK " + std::to_string(received_.size()));
        } else if (cmd == "READING") {
            int on = 1;
            in >> on;
            reading_ = on != 0;
            Reply("OK");
        } else if (cmd == "ATTR") {
            Attr();
        } else if (cmd == "HANGUP") {
            for (const std::string& link : options_.links) {
                ::unlink((options_.dosdevices + "/" + link).c_str());
            }
            slave_.Reset();
            master_.Reset();
            Reply("OK");
        } else if (cmd == "QUIT") {
            Reply("OK");
            quit_ = true;
        } else {
            Reply("ERR unknown command " + cmd);
        }
    }

    void Send(const std::vector<std::uint8_t>& bytes, std::size_t burst, std::uint32_t seed) {
        if (!master_.Valid()) {
            Reply("ERR hung up");
            return;
        }
        std::uint32_t state = seed * 2654435761u + 1;
        std::size_t done = 0;
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (done < bytes.size()) {
            state = state * 1664525u + 1013904223u;
            const std::size_t size =
                std::min<std::size_t>(1 + (state >> 8) % burst, bytes.size() - done);
            std::size_t part = 0;
            while (part < size) {
                const ssize_t n = ::write(master_.Get(), bytes.data() + done + part, size - part);
                if (n > 0) {
                    part += static_cast<std::size_t>(n);
                    continue;
                }
                if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    Reply(std::string("ERR write: ") + std::strerror(errno));
                    return;
                }
                if (Clock::now() > deadline) {
                    Reply("ERR line full");
                    return;
                }
                DrainLine();  // keep the other direction moving while this one waits
                pollfd p{master_.Get(), POLLOUT, 0};
                ::poll(&p, 1, 5);
            }
            done += size;
            if (burst > 1 && done < bytes.size() && (state >> 4) % 4 == 0) {
                // Now and then a gap, so the reader sees separate arrivals.
                std::this_thread::sleep_for(std::chrono::milliseconds(1 + (state >> 12) % 3));
            }
        }
        Reply("OK " + std::to_string(done));
    }

    void DrainLine() {
        if (!master_.Valid() || !reading_) {
            return;
        }
        std::uint8_t buffer[4096];
        for (;;) {
            const ssize_t n = ::read(master_.Get(), buffer, sizeof buffer);
            if (n > 0) {
                received_.insert(received_.end(), buffer, buffer + n);
                line_idle_ = false;
                continue;
            }
            // EIO: no one has the terminal side open besides us; poll keeps saying so.
            line_idle_ = n < 0 && errno == EIO;
            return;
        }
    }

    void FinishRecvIfReady(bool force) {
        if (!pending_recv_) {
            return;
        }
        DrainLine();
        const std::size_t want = *pending_recv_;
        if (received_.size() < want && !force && Clock::now() < recv_deadline_) {
            return;
        }
        const std::size_t n = std::min(want, received_.size());
        std::vector<std::uint8_t> out(received_.begin(), received_.begin() + n);
        received_.erase(received_.begin(), received_.begin() + n);
        pending_recv_.reset();
        Reply("DATA " + Hex(out.data(), out.size()));
        // Commands that came in while this one waited.
        std::size_t end;
        while (!pending_recv_ && (end = input_.find('\n')) != std::string::npos) {
            std::string line = input_.substr(0, end);
            input_.erase(0, end + 1);
            Handle(line);
        }
    }

    // Linux pseudo-terminals clear PARENB (they carry no parity) but keep PARODD; INPCK
    // (input parity checking) shows whether there is a parity at all.
    void Attr() {
        termios tio{};
        // On Linux the master reports the terminal side's settings, which the port set.
        if (!master_.Valid() || ::tcgetattr(master_.Get(), &tio) != 0) {
            Reply("ERR no line");
            return;
        }
        std::ostringstream out;
        out << "ATTR baud=" << BaudOf(cfgetospeed(&tio))
            << " parodd=" << ((tio.c_cflag & PARODD) != 0 ? 1 : 0)
            << " bits=" << ((tio.c_cflag & CSIZE) == CS8 ? 8 : 0)
            << " stop=" << ((tio.c_cflag & CSTOPB) != 0 ? 2 : 1)
            << " crtscts=" << ((tio.c_cflag & CRTSCTS) != 0 ? 1 : 0)
            << " inpck=" << ((tio.c_iflag & INPCK) != 0 ? 1 : 0)
            << " ixon=" << ((tio.c_iflag & IXON) != 0 ? 1 : 0)
            << " ixoff=" << ((tio.c_iflag & IXOFF) != 0 ? 1 : 0)
            << " icanon=" << ((tio.c_lflag & ICANON) != 0 ? 1 : 0)
            << " echo=" << ((tio.c_lflag & ECHO) != 0 ? 1 : 0);
        Reply(out.str());
    }

    Options options_;
    Fd master_;
    Fd slave_;
    std::string slave_name_;
    Fd listener_;
    Fd client_;
    std::string input_;
    std::deque<std::uint8_t> received_;
    std::optional<std::size_t> pending_recv_;
    Clock::time_point recv_deadline_;
    bool reading_ = true;
    bool line_idle_ = false;
    bool quit_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--dosdevices") {
            options.dosdevices = argv[i + 1];
        } else if (key == "--link") {
            options.links.push_back(argv[i + 1]);
        } else if (key == "--port-file") {
            options.port_file = argv[i + 1];
        } else {
            std::fprintf(stderr, "pty_peer: unknown option %s\n", key.c_str());
            return 2;
        }
    }
    if (options.dosdevices.empty() || options.links.empty() || options.port_file.empty()) {
        std::fprintf(stderr,
                     "usage: pty_peer --dosdevices DIR --link comN [--link comM] --port-file F\n");
        return 2;
    }
    ::signal(SIGPIPE, SIG_IGN);
    Peer peer(std::move(options));
    if (!peer.Start()) {
        return 1;
    }
    return peer.Run();
}
