#pragma once

#include "decode/channel_decoder.h"
#include "wire/frame_consumer.h"

namespace kalder {

// Creates the channel decoders of a stream of `kind` for the session or a player. The library
// (may be null), the picture store, the target and the host must outlive every decoder it
// creates.
class ChannelDecoderFactory final : public FrameConsumerFactory {
public:
    ChannelDecoderFactory(StreamKind kind, const DecoderLibrary* library, PictureStore& pictures,
                          PictureTarget& target, DecodeHost& host)
        : m_kind(kind), m_library(library), m_pictures(pictures), m_target(target), m_host(host) {}

    std::unique_ptr<FrameConsumer> createConsumer(unsigned channel) override {
        return std::make_unique<ChannelDecoder>(channel, m_kind, m_library, m_pictures, m_target,
                                                m_host);
    }

private:
    StreamKind m_kind;
    const DecoderLibrary* m_library;
    PictureStore& m_pictures;
    PictureTarget& m_target;
    DecodeHost& m_host;
};

} // namespace kalder
