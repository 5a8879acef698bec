#pragma once

#include <string>

#include "cli/settings_change.h"

namespace tovra::cli {

// A profile is a JSON object with the keys of `read --json`. "raw" is accepted and ignored
// and a null value keeps the module's value, so the output of `read --json` can be
// written back as it is. Other keys, wrong types and bad values throw UsageError.
SettingsChange ParseProfile(const std::string& text, const std::string& source);
SettingsChange LoadProfile(const std::string& path);

}  // namespace tovra::cli
