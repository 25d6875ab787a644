#pragma once

#include "search/search_window_state.h"
#include "session/search_resume_context.h"

#include <QPointer>

#include <array>
#include <cstdint>
#include <optional>

class QPushButton;
class QWidget;

namespace kalder {

class CalendarPanel;
class ChannelSelectPanel;
class DateTimePanel;
class DayTimelinePanel;
class EventListPanel;
class RecorderSession;
class SearchWindow;

// The search window's search flow: its menu (Date/Time, Select Channel, Event, Calendar), the
// panels the menu opens and the disk queries behind them, and the ready messages of those
// queries. It changes the window's state and lets the window set the widgets from it. GUI thread
// only; lives as long as its window.
class SearchFlow {
public:
    SearchFlow(SearchWindow& window, SearchWindowState& state, RecorderSession& session);

    QWidget* menu() const { return m_menu; }
    QPushButton* menuButton(int index) const { return m_menuButtons[index]; }

    // The menu's actions (nothing while a request is pending).
    void openDateTime();
    void openChannelSelect();
    void searchEvents();
    void searchCalendar();
    // The calendar's chosen day: PLAY_INFO_DAY_REQ.
    void requestDay(int year, int month, int day);
    // Back from the timeline to the calendar.
    void showCalendar();
    void setSearchChannel(unsigned channel, bool on);

    // The ready messages (years, day segments, events).
    void onYearsReady(std::uintptr_t wParam, std::intptr_t lParam);
    void onDaySegmentsReady(std::uintptr_t wParam);
    void onEventsReady();

    // The resume context when it is active.
    std::optional<SearchResumeContext> activeResumeContext() const;

    // The panel widget of `panel` when it is one of this flow's and exists.
    QWidget* panelWidget(SearchPanel panel) const;
    // The Play buttons follow the local playback and the panels' own choices.
    void updatePlayButtons();

    CalendarPanel* calendarPanel() const;
    DayTimelinePanel* timelinePanel() const;
    EventListPanel* eventListPanel() const;
    ChannelSelectPanel* channelSelectPanel() const;
    DateTimePanel* dateTimePanel() const;

private:
    void openCalendar();
    void openTimeline(int year, int month, int day, std::optional<std::uint32_t> cursor);
    void openEventList(std::optional<int> savedTab);

    SearchWindow& m_window;
    SearchWindowState& m_state;
    RecorderSession& m_session;
    QWidget* m_menu = nullptr;
    std::array<QPushButton*, 4> m_menuButtons{};
    QPointer<CalendarPanel> m_calendar;
    QPointer<DayTimelinePanel> m_timeline;
    QPointer<EventListPanel> m_eventList;
    QPointer<ChannelSelectPanel> m_channelSelect;
    QPointer<DateTimePanel> m_dateTime;
};

} // namespace kalder
