#pragma once

#include "wire/frame_info.h"
#include "wire/message_header.h"

#include <cstddef>
#include <vector>

namespace kalder {

// One frame on its way from a producer (the receive thread, the local player) to a channel's
// decode thread: the descriptor, the header of the frame's last fragment (host order; its
// `headerWord3` holds the recorder's clock, its fragment flags bits 6-9 the channel) and the
// first `descriptor.blockLength` bytes of the frame (the 40-byte block, then the video). One
// allocation per frame; the consumer frees it.
struct FrameRecord {
    FrameDescriptor descriptor;
    MessageHeader header;
    std::vector<std::byte> data;
};

} // namespace kalder
