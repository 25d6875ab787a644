#include "export/subtitle_track.h"

#include "wire/recorder_time.h"

#include <algorithm>
#include <initializer_list>

namespace kalder {

std::string subtitleText(std::uint32_t recorderTime, const std::string& title) {
    std::string text = formatRecorderTime(recorderTime);
    if (!title.empty())
        text += "  " + title;
    return text;
}

std::vector<std::byte> subtitleSample(ExportFormat format, const std::string& text) {
    std::vector<std::byte> sample;
    const std::size_t length = std::min<std::size_t>(text.size(), 0xFFFF);
    if (format == ExportFormat::Mp4) {
        sample.push_back(std::byte(length >> 8));
        sample.push_back(std::byte(length & 0xFF));
    }
    for (std::size_t i = 0; i < length; ++i)
        sample.push_back(std::byte(static_cast<unsigned char>(text[i])));
    return sample;
}

std::vector<std::byte> subtitleConfiguration(ExportFormat format) {
    if (format != ExportFormat::Mp4)
        return {};
    static constexpr char kFont[] = "Sans";
    constexpr std::size_t kFontLength = sizeof(kFont) - 1;
    std::vector<std::byte> out;
    auto put = [&out](std::initializer_list<unsigned> bytes) {
        for (unsigned b : bytes)
            out.push_back(std::byte(b));
    };
    put({0, 0, 0, 0});             // display flags
    put({1, 0xFF});                // horizontal: centre; vertical: bottom
    put({0, 0, 0, 0});             // background colour RGBA: transparent
    put({0, 0, 0, 0, 0, 0, 0, 0}); // text box top, left, bottom, right: the whole track
    // The default style: characters 0-0, font 1, plain, 18 points, opaque white.
    put({0, 0, 0, 0, 0, 1, 0, 18, 0xFF, 0xFF, 0xFF, 0xFF});
    // The font table box: one entry, font 1.
    const std::size_t boxSize = 8 + 2 + 2 + 1 + kFontLength;
    put({0, 0, 0, unsigned(boxSize)});
    put({'f', 't', 'a', 'b'});
    put({0, 1, 0, 1, unsigned(kFontLength)});
    for (std::size_t i = 0; i < kFontLength; ++i)
        out.push_back(std::byte(kFont[i]));
    return out;
}

} // namespace kalder
