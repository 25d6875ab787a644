#pragma once

#include "setup/model/ptz_setup_page.h"

#include <QWidget>

#include <array>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace kalder {

class SetupWindow;
class ValueButton;

// PTZ Setup: one row per shown channel with a selection box; views ID (list and slider 0 .. 255),
// Protocol and Baud Rate; Next shows the PTZ level page (views Pan Low, Pan High, Tilt Low,
// Tilt High: one slider 1 .. 10 per channel), whose Prev comes back. A change in a checked row
// applies to every checked row. Every view switch clears the selection boxes. GUI thread only.
class PtzSetupPageWidget : public QWidget {
public:
    enum class View { Id, Protocol, Baud, PanLow, PanHigh, TiltLow, TiltHigh };

    explicit PtzSetupPageWidget(SetupWindow& window);

    void showView(View view);
    View view() const { return m_view; }
    bool levelPage() const { return m_view >= View::PanLow; }
    // The operator's actions on row `channel` (what the controls call).
    void chooseFromList(unsigned channel, int entry);
    void moveSlider(unsigned channel, int position);
    void setChecked(unsigned channel, bool checked);

    ValueButton* listButton(unsigned channel) const { return m_lists[channel]; }
    QSlider* slider(unsigned channel) const { return m_sliders[channel]; }

private:
    void openList(unsigned channel);
    void refresh();
    std::vector<std::size_t> targets(unsigned channel) const;

    SetupWindow& m_window;
    const unsigned m_channels;
    const std::vector<SerialDeviceType> m_protocols;
    PtzSetupState m_state;
    View m_view = View::Id;
    std::array<bool, kPtzChannels> m_checked{};
    std::vector<QPushButton*> m_viewButtons;
    QPushButton* m_next = nullptr;
    QPushButton* m_prev = nullptr;
    std::array<QCheckBox*, kPtzChannels> m_boxes{};
    std::array<ValueButton*, kPtzChannels> m_lists{};
    std::array<QSlider*, kPtzChannels> m_sliders{};
    std::array<QLabel*, kPtzChannels> m_values{};
};

} // namespace kalder
