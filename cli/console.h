#pragma once

#include <mutex>
#include <ostream>
#include <string>

namespace tovra::cli {

// The run's output streams, shared by the port threads of a batch and by the trace
// observers on reader threads: every call writes whole text under one lock.
class Console {
  public:
    Console(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    void Out(const std::string& text);
    void Err(const std::string& text);
    // "tovra-rf: " + message, on the error stream.
    void Error(const std::string& message);

  private:
    std::mutex mutex_;
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace tovra::cli
