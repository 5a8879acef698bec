#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tovra::cli {

// "AF AF 00 ..." (upper case, one space between bytes).
std::string FormatHex(std::span<const std::uint8_t> bytes);

// Reads hex text a character at a time: bytes are pairs of hex digits; spaces, tabs,
// commas, line ends and a "0x" in front of a group separate groups. A group must hold
// whole bytes. Errors name the line and column.
class HexTextReader {
  public:
    // The byte completed by c, if any. Throws UsageError on a character that is not hex.
    std::optional<std::uint8_t> Feed(char c);
    // Throws UsageError when the text ended inside a byte.
    void Finish();

  private:
    void EndGroup();
    [[noreturn]] void Fail(const std::string& what) const;

    int high_nibble_ = -1;     // first digit of a byte in progress
    bool group_start_ = true;  // no digit of the current group seen yet
    bool after_zero_ = false;  // the group so far is a lone "0" (maybe a 0x prefix)
    std::size_t line_ = 1;
    std::size_t column_ = 0;
};

}  // namespace tovra::cli
