#include "setup/model/camera_name_page.h"

#include <algorithm>

namespace kalder {

CameraNameState readCameraNames(const ConfigRecord& record, const SetupContext& context) {
    CameraNameState state;
    state.channels = std::min(context.channelNum, 16u);
    for (unsigned ch = 0; ch < 16; ++ch)
        state.titles[ch] = record.text(configField("camera_title"), ch);
    return state;
}

std::string cameraTitleFromInput(std::u32string_view input) {
    std::string title;
    for (char32_t c : input) {
        if (title.size() == kCameraTitleMaxChars)
            break;
        const bool printable = (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF);
        if (printable)
            title.push_back(static_cast<char>(static_cast<unsigned char>(c)));
    }
    return title;
}

bool writeCameraName(ConfigRecord& record, const CameraNameState& state, unsigned channel,
                     std::string_view title) {
    if (channel >= state.channels || title.size() > kCameraTitleMaxChars)
        return false;
    return record.setText(configField("camera_title"), channel, title, TextFill::Terminate);
}

} // namespace kalder
