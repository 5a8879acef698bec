#include "sim/port_link.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

namespace tovra::sim {

namespace {
std::optional<std::string> ReadLink(const std::string& path) {
    char buf[4096];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof buf) {
        return std::nullopt;
    }
    return std::string(buf, static_cast<std::size_t>(n));
}

std::string Failed(const std::string& what, const std::string& path, int err) {
    return what + " " + path + ": " + std::strerror(err);
}
}  // namespace

bool CreatePortLink(const std::string& link, const std::string& target, std::string& error) {
    const std::filesystem::path parent = std::filesystem::path(link).parent_path();
    if (!parent.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(parent, ec);
        if (ec) {
            error = "cannot create " + parent.string() + ": " + ec.message();
            return false;
        }
    }
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = link + " exists and is not a symbolic link; not replacing it";
            return false;
        }
        if (ReadLink(link) == target) {
            return true;
        }
        if (::unlink(link.c_str()) != 0 && errno != ENOENT) {
            error = Failed("cannot remove old link", link, errno);
            return false;
        }
    }
    // symlink() never overwrites, so whatever appeared here meanwhile stays intact.
    if (::symlink(target.c_str(), link.c_str()) != 0) {
        error = Failed("cannot create link", link, errno);
        return false;
    }
    return true;
}

void RemovePortLink(const std::string& link, const std::string& target) {
    if (!link.empty() && ReadLink(link) == target) {
        ::unlink(link.c_str());
    }
}

}  // namespace tovra::sim
