#include "cli/console.h"

namespace tovra::cli {

void Console::Out(const std::string& text) {
    std::lock_guard lock(mutex_);
    out_ << text;
    out_.flush();
}

void Console::Err(const std::string& text) {
    std::lock_guard lock(mutex_);
    err_ << text;
    err_.flush();
}

void Console::Error(const std::string& message) {
    Err("tovra-rf: " + message + "\n");
}

}  // namespace tovra::cli
