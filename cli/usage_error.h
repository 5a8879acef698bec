#pragma once

#include <stdexcept>
#include <string>

namespace tovra::cli {

// A bad option or value, found before any port is opened; the run exits with kExitUsage.
class UsageError : public std::runtime_error {
  public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tovra::cli
