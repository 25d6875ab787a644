#pragma once

#include "setup/model/event_action_page.h"
#include "setup/pages/page_controls.h"

#include <QPointer>
#include <QWidget>

#include <array>

class QPushButton;
class QVBoxLayout;

namespace kalder {

class ChannelSwitchPageWidget;
class SetupWindow;

// An event-action page (A, B or C): Yes/No rows, on B and C a duration row (no duration, a
// number from the chooser, or a preset from the list), on A the button to its channel sub-page.
// GUI thread only.
class EventActionPageWidget : public QWidget {
public:
    EventActionPageWidget(SetupWindow& window, EventActionPage page);

    const OnOffRow& row(std::size_t row) const { return m_rows[row]; }
    QPushButton* noDurationButton() const { return m_noDuration; }
    QPushButton* durationButton() const { return m_duration; }
    QPushButton* presetButton() const { return m_presets; }
    QPushButton* channelPageButton() const { return m_channelButton; }
    ChannelSwitchPageWidget* channelPage() const;

private:
    void refresh();
    void openChannelPage();
    void closeChannelPage();

    SetupWindow& m_window;
    const EventActionPage m_page;
    QVBoxLayout* m_column = nullptr;
    QWidget* m_main = nullptr;
    std::array<OnOffRow, kEventActionRows> m_rows{};
    QPushButton* m_noDuration = nullptr;
    QPushButton* m_duration = nullptr;
    QPushButton* m_presets = nullptr;
    QPushButton* m_channelButton = nullptr;
    QPointer<QWidget> m_channelPage;
};

} // namespace kalder
