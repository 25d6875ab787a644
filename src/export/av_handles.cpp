#include "export/av_handles.h"

#include <cstring>

namespace kalder {

std::string avErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

int fillVideoPacket(AVPacket* packet, std::int64_t ms, bool key, std::span<const std::byte> unit) {
    av_packet_unref(packet);
    if (const int r = av_new_packet(packet, int(unit.size())); r < 0)
        return r;
    std::memcpy(packet->data, unit.data(), unit.size());
    packet->pts = packet->dts = ms;
    packet->flags = key ? AV_PKT_FLAG_KEY : 0;
    return 0;
}

} // namespace kalder
