#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/frame.h"
#include "protocol/reply_receiver.h"

namespace tovra::sim {

// One well-formed request as the module received it.
struct Request {
    FrameHeader header{};  // bytes 0..5, echoed in the reply
    std::uint8_t command = 0;
    std::vector<std::uint8_t> payload;
};

// Payload length each request the module knows must carry; nothing for other commands.
std::optional<std::uint8_t> RequestPayloadLength(std::uint8_t command);

// Picks requests out of the bytes the module receives. Frames are delimited exactly as
// replies are (0xAF 0xAF start, 0x0D 0x0A end, the same run-away limits), so it builds on
// the reply receiver. A frame counts only if its checksum matches, it is exactly 11 + L
// bytes long and its command and L are those of one of the four requests; anything else
// is dropped without a word, as a module does.
class RequestAssembler {
  public:
    std::optional<Request> Feed(std::uint8_t b);
    // Forgets a partly received frame.
    void Reset() { receiver_.Reset(); }

  private:
    ReplyReceiver receiver_;
};

}  // namespace tovra::sim
