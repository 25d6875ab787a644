#include "setup/model/camera_setting_page.h"

#include <algorithm>

namespace kalder {

const ConfigField& pictureField(PictureView view) {
    switch (view) {
    case PictureView::Hue:
        return configField("hue");
    case PictureView::Saturation:
        return configField("saturation");
    case PictureView::Contrast:
        return configField("contrast");
    case PictureView::Brightness:
        break;
    }
    return configField("brightness");
}

CameraSettingState readCameraSetting(const ConfigRecord& record, const SetupContext& context) {
    CameraSettingState state;
    state.channels = std::min(context.channelNum, 16u);
    for (int v = 0; v < 4; ++v)
        for (unsigned ch = 0; ch < 16; ++ch)
            state.values[v][ch] =
                static_cast<std::uint8_t>(record.value(pictureField(PictureView(v)), ch));
    return state;
}

std::vector<unsigned> setPictureValue(ConfigRecord& record, PictureView view,
                                      const ChannelSelection& selection, unsigned channel,
                                      std::uint32_t value) {
    return writeSelected(record, pictureField(view), 0, selection, channel,
                         std::min(value, kPictureMax));
}

std::vector<unsigned> resetPicture(ConfigRecord& record, PictureView view,
                                   const ChannelSelection& selection) {
    std::vector<unsigned> written;
    for (unsigned ch = 0; ch < std::min<unsigned>(selection.channels, 16); ++ch)
        if (selection.checked[ch] && record.setValue(pictureField(view), ch, kPictureReset))
            written.push_back(ch);
    return written;
}

} // namespace kalder
