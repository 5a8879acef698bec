#include "cli/hex.h"

#include "cli/usage_error.h"

namespace tovra::cli {

namespace {
int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == '\n' || c == '\r';
}
}  // namespace

std::string FormatHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) {
            s += ' ';
        }
        s += kDigits[bytes[i] >> 4];
        s += kDigits[bytes[i] & 0x0F];
    }
    return s;
}

std::optional<std::uint8_t> HexTextReader::Feed(char c) {
    if (c == '\n') {
        EndGroup();
        ++line_;
        column_ = 0;
        return std::nullopt;
    }
    ++column_;
    if (IsSeparator(c)) {
        EndGroup();
        return std::nullopt;
    }
    if ((c == 'x' || c == 'X') && after_zero_) {
        // "0x" in front of a group: drop the zero taken as a digit.
        high_nibble_ = -1;
        after_zero_ = false;
        group_start_ = true;
        return std::nullopt;
    }
    const int v = HexValue(c);
    if (v < 0) {
        const unsigned char u = static_cast<unsigned char>(c);
        Fail(u >= 0x20 && u < 0x7F ? std::string("'") + c + "' is not a hex digit"
                                   : "byte " + std::to_string(u) + " is not a hex digit");
    }
    after_zero_ = group_start_ && c == '0';
    group_start_ = false;
    if (high_nibble_ < 0) {
        high_nibble_ = v;
        return std::nullopt;
    }
    const auto byte = static_cast<std::uint8_t>((high_nibble_ << 4) | v);
    high_nibble_ = -1;
    return byte;
}

void HexTextReader::Finish() {
    EndGroup();
}

void HexTextReader::EndGroup() {
    if (high_nibble_ >= 0) {
        Fail("a group of hex digits ends in half a byte");
    }
    group_start_ = true;
    after_zero_ = false;
}

void HexTextReader::Fail(const std::string& what) const {
    throw UsageError("hex input, line " + std::to_string(line_) + ", column " +
                     std::to_string(column_) + ": " + what +
                     " (bytes are pairs of hex digits; spaces, commas, line ends and 0x are "
                     "ignored)");
}

}  // namespace tovra::cli
