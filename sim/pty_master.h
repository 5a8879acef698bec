#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "sim/line_setting.h"
#include "sim/unique_fd.h"

namespace tovra::sim {

// The module's end of a pseudo-terminal: a non-blocking master in raw mode. The tool
// opens Path(), the slave, as the module's serial port.
class PtyMaster {
  public:
    // Nothing when the system has no pseudo-terminal to give; error then says why.
    static std::optional<PtyMaster> Open(std::string& error);

    int Fd() const { return fd_.Get(); }
    const std::string& Path() const { return path_; }
    // Closing the master hangs up the slave, as pulling an adapter does.
    void Close() { fd_.Reset(); }

    // The line as the slave's user set it; nothing if it cannot be read.
    std::optional<LineSetting> Line() const;

    // Bytes written to the master and not yet read from the slave; nothing when the
    // slave cannot be opened to ask.
    std::optional<std::size_t> PendingForSlave() const;
    // Drops bytes written to the master that no one has read from the slave, as a
    // closed port loses what arrives while it is closed. Nothing tells a pty's master
    // atomically that the slave is still closed, so a port opened just before may see
    // these bytes announced and then gone: its reader must take EAGAIN as nothing yet.
    // Bytes written after the call are never touched.
    void DiscardPendingForSlave() const;

  private:
    PtyMaster(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
    UniqueFd OpenSlave() const;

    UniqueFd fd_;
    std::string path_;
};

}  // namespace tovra::sim
