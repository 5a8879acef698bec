#pragma once

#include <string>

namespace tovra::sim {

// Makes link a symbolic link to target, creating missing parent directories. A symlink
// already of that name is taken for a leftover of an earlier run and replaced, whether it
// dangles or not; anything else there (a file, a directory, a device) is left alone and
// the call fails. On failure error says why.
bool CreatePortLink(const std::string& link, const std::string& target, std::string& error);

// Removes link only while it still points to target, so a link that someone has since
// pointed elsewhere survives.
void RemovePortLink(const std::string& link, const std::string& target);

}  // namespace tovra::sim
