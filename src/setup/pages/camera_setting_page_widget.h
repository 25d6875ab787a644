#pragma once

#include "setup/model/camera_setting_page.h"

#include <QWidget>

#include <array>

class QPushButton;

namespace kalder {

class ChannelSliderPanel;
class SetupWindow;

// The Camera Setting page: four view buttons choose which picture array the channels' sliders
// (0 .. 100) edit; Reset sets the checked rows to 50. GUI thread only.
class CameraSettingPageWidget : public QWidget {
public:
    explicit CameraSettingPageWidget(SetupWindow& window);

    void showView(PictureView view);
    PictureView view() const { return m_view; }
    ChannelSliderPanel* panel() const { return m_panel; }
    QPushButton* resetButton() const { return m_reset; }

private:
    void refresh();

    SetupWindow& m_window;
    PictureView m_view = PictureView::Hue;
    ChannelSliderPanel* m_panel = nullptr;
    std::array<QPushButton*, 4> m_viewButtons{};
    QPushButton* m_reset = nullptr;
};

} // namespace kalder
