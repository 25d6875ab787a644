#include "sim/live_frame_builder.h"

#include <algorithm>
#include <cstring>

namespace kalder::sim {

std::vector<std::byte> buildFrame(const FrameParts& parts) {
    const bool withAudio = parts.audioElement.size() == 512;
    const std::size_t audioBytes = withAudio ? kAudioSectionBytes : 0;
    std::size_t total = kFrameInfoBlockSize + parts.video.size() + audioBytes;
    const std::size_t padded = std::max(total, parts.padToBytes);

    FrameInfoBlock block;
    block.frameMagic = parts.badMagic ? 0x000001FE : kFrameMagic;
    block.channel = parts.channel;
    block.audioChannelNibble = withAudio ? parts.audioChannel : 0;
    block.resolutionCode = parts.resolutionCode;
    block.totalLength = static_cast<std::uint32_t>(std::min<std::size_t>(padded, 0xFFFFF));
    block.infoWord = parts.timeSeconds;
    block.lineStandard625 = parts.pal;
    block.videoLength =
        static_cast<std::uint32_t>(std::min<std::size_t>(parts.video.size(), 0xFFFFF));
    block.audioLength = static_cast<std::uint32_t>(audioBytes);
    block.audioMarker = withAudio ? 1 : 0;
    block.infoHalf = parts.milliseconds;
    block.frameType = parts.key ? kFrameTypeKey : 0;

    std::vector<std::byte> frame(padded, std::byte{0});
    const auto head = encodeFrameInfoBlock(block);
    std::memcpy(frame.data(), head.data(), head.size());
    if (!parts.video.empty())
        std::memcpy(frame.data() + kFrameInfoBlockSize, parts.video.data(), parts.video.size());
    if (withAudio) {
        std::byte* audio = frame.data() + kFrameInfoBlockSize + parts.video.size();
        std::memset(audio, kMuLawSilence, kAudioSectionBytes - 512);
        std::memcpy(audio + (kAudioSectionBytes - 512), parts.audioElement.data(), 512);
    }
    return frame;
}

std::vector<std::byte> buildFragmentedMessages(std::span<const std::byte> item, std::uint16_t id,
                                               std::uint16_t codeFlags, unsigned channel,
                                               std::uint32_t headerWord3, std::size_t maxFragment) {
    maxFragment = std::clamp<std::size_t>(maxFragment, 1, kMaxPayloadLength);
    const std::size_t count = item.empty() ? 1 : (item.size() + maxFragment - 1) / maxFragment;
    std::vector<std::byte> wire(count * kHeaderSize + item.size());
    std::size_t in = 0;
    std::size_t out = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t n = std::min(maxFragment, item.size() - in);
        MessageHeader header = makeHeader(id, static_cast<std::uint16_t>(n));
        header.code = static_cast<std::uint16_t>(header.code | codeFlags);
        header.setFragmentChannel(channel);
        if (i + 1 == count)
            header.fragmentFlags = static_cast<std::uint16_t>(header.fragmentFlags | kFragmentLast);
        header.headerWord3 = headerWord3;
        const auto head = encodeHeader(header);
        std::memcpy(wire.data() + out, head.data(), kHeaderSize);
        out += kHeaderSize;
        if (n)
            std::memcpy(wire.data() + out, item.data() + in, n);
        out += n;
        in += n;
    }
    return wire;
}

} // namespace kalder::sim
