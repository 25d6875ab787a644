#pragma once

#include "decode/channel_decoder.h"
#include "wire/frame_consumer.h"

namespace kalder {

// Creates the channel decoders of a stream for the session or a player. The library (may be
// null), the target and the host must outlive every decoder it creates.
class ChannelDecoderFactory final : public FrameConsumerFactory {
public:
    ChannelDecoderFactory(const DecoderLibrary* library, PictureTarget& target, DecodeHost& host)
        : m_library(library), m_target(target), m_host(host) {}

    std::unique_ptr<FrameConsumer> createConsumer(unsigned channel) override {
        return std::make_unique<ChannelDecoder>(channel, m_library, m_target, m_host);
    }

private:
    const DecoderLibrary* m_library;
    PictureTarget& m_target;
    DecodeHost& m_host;
};

} // namespace kalder
