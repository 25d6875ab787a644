#pragma once

#include "setup/pages/page_controls.h"

#include <QWidget>

#include <functional>

class QPushButton;

namespace kalder {

class SetupWindow;

// A page (or sub-page) that is one column of channel switch rows: Camera Covert, Sensor, and
// the deinterlace, live-channel and event-channel sub-pages. A sub-page has a Prev button that
// calls `back`. GUI thread only.
class ChannelSwitchPageWidget : public QWidget {
public:
    ChannelSwitchPageWidget(SetupWindow& window, const QString& objectName, const QString& title,
                            std::vector<SwitchChoice> choices,
                            std::function<std::uint32_t(unsigned)> stored,
                            ChannelSwitchPanel::Write write, QWidget* parent = nullptr,
                            std::function<void()> back = {});

    ChannelSwitchPanel* panel() const { return m_panel; }
    QPushButton* prevButton() const { return m_prev; }

private:
    ChannelSwitchPanel* m_panel = nullptr;
    QPushButton* m_prev = nullptr;
};

// The Camera Covert page: On stores 1, Off 0 in `covert`.
ChannelSwitchPageWidget* makeCameraCovertPage(SetupWindow& window);
// The Sensor page: "On" 2, "Off" 1, "None" 0 in `sensor_type`.
ChannelSwitchPageWidget* makeSensorPage(SetupWindow& window);

} // namespace kalder
