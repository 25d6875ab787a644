#include "search/search_flow.h"

#include "search/calendar_panel.h"
#include "search/channel_select_panel.h"
#include "search/date_time_panel.h"
#include "search/day_timeline_panel.h"
#include "search/event_list_panel.h"
#include "search/search_window.h"
#include "session/recorder_session.h"
#include "wire/recorder_time.h"

#include <QPushButton>

namespace kalder {

SearchFlow::SearchFlow(SearchWindow& window, SearchWindowState& state, RecorderSession& session)
    : m_window(window), m_state(state), m_session(session) {
    m_menu = new QWidget(&window);
    m_menu->setGeometry(10, 83, 180, 200);
    const char* menu[] = {"Date/Time", "Select Channel", "Event", "Calendar"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(QString::fromLatin1(menu[i]), m_menu);
        b->setAccessibleName(QString::fromLatin1(menu[i]));
        b->setAutoDefault(false);
        b->setGeometry(0, i * 40, 170, 32);
        m_menuButtons[i] = b;
    }
    QObject::connect(m_menuButtons[0], &QPushButton::clicked, &window, [this] { openDateTime(); });
    QObject::connect(m_menuButtons[1], &QPushButton::clicked, &window,
                     [this] { openChannelSelect(); });
    QObject::connect(m_menuButtons[2], &QPushButton::clicked, &window, [this] { searchEvents(); });
    QObject::connect(m_menuButtons[3], &QPushButton::clicked, &window,
                     [this] { searchCalendar(); });
}

// ---- the ready messages ----

void SearchFlow::onYearsReady(std::uintptr_t wParam, std::intptr_t lParam) {
    m_state.requestPending = false;
    const auto result = static_cast<SearchReplyResult>(wParam);
    if (result == SearchReplyResult::Refused)
        return;
    // No data (83): the calendar shows the years the window already holds.
    if (lParam != 83)
        m_state.years = m_session.search().years();
    openCalendar();
}

void SearchFlow::onDaySegmentsReady(std::uintptr_t wParam) {
    m_state.requestPending = false;
    if (static_cast<SearchReplyResult>(wParam) == SearchReplyResult::Refused)
        return;
    m_state.segments = m_session.search().daySegments();
    openTimeline(m_state.dayYear, m_state.dayMonth, m_state.dayDay, std::nullopt);
}

void SearchFlow::onEventsReady() {
    // A refusal leaves the session's list empty: the list opens empty.
    m_state.requestPending = false;
    m_state.events = m_session.search().events();
    openEventList(std::nullopt);
}

// ---- the menu ----

void SearchFlow::openDateTime() {
    if (m_state.requestPending)
        return;
    if (!m_dateTime) {
        m_dateTime = new DateTimePanel(m_window, &m_window);
        m_dateTime->setGeometry(SearchWindow::kPanelArea);
    }
    m_state.panel = SearchPanel::DateTime;
    m_window.updateWidgets();
}

void SearchFlow::openChannelSelect() {
    if (m_state.requestPending)
        return;
    if (!m_channelSelect) {
        m_channelSelect = new ChannelSelectPanel(m_window, &m_window);
        m_channelSelect->setGeometry(SearchWindow::kPanelArea);
    }
    m_state.panel = SearchPanel::ChannelSelect;
    m_window.updateWidgets();
}

void SearchFlow::searchEvents() {
    if (m_state.requestPending)
        return;
    const auto context = activeResumeContext();
    if (context && context->source == SearchResumeContext::Source::EventList) {
        m_state.events = context->events;
        openEventList(static_cast<int>(context->eventTab));
        return;
    }
    m_state.requestPending = true;
    m_session.search().clearResumeContext();
    m_session.search().requestEvents();
}

void SearchFlow::searchCalendar() {
    if (m_state.requestPending)
        return;
    const auto context = activeResumeContext();
    if (context && context->source == SearchResumeContext::Source::DayTimeline) {
        m_state.years = context->years;
        m_state.segments = context->segments;
        const CivilTime day = decodeRecorderTime(context->start);
        m_state.dayYear = day.year;
        m_state.dayMonth = day.month;
        m_state.dayDay = day.day;
        openTimeline(day.year, day.month, day.day, context->start);
        return;
    }
    m_state.requestPending = true;
    m_session.search().clearResumeContext();
    m_session.search().requestYears();
}

std::optional<SearchResumeContext> SearchFlow::activeResumeContext() const {
    SearchResumeContext context = m_session.search().resumeContext();
    if (!context.active)
        return std::nullopt;
    return context;
}

void SearchFlow::requestDay(int year, int month, int day) {
    if (m_state.requestPending)
        return;
    m_state.requestPending = true;
    m_state.dayYear = year;
    m_state.dayMonth = month;
    m_state.dayDay = day;
    m_state.segments.clear();
    m_session.search().requestDaySegments(year, month, day);
}

void SearchFlow::setSearchChannel(unsigned channel, bool on) {
    if (channel >= 16)
        return;
    const std::uint16_t bit = static_cast<std::uint16_t>(1u << channel);
    m_state.searchChannelMask = static_cast<std::uint16_t>(on ? m_state.searchChannelMask | bit
                                                              : m_state.searchChannelMask & ~bit);
    if (m_timeline)
        m_timeline->update();
}

// ---- the panels ----

void SearchFlow::openCalendar() {
    if (!m_calendar) {
        m_calendar = new CalendarPanel(m_window, &m_window);
        m_calendar->setGeometry(SearchWindow::kPanelArea);
    }
    m_calendar->reload();
    m_state.panel = SearchPanel::Calendar;
    m_window.updateWidgets();
}

void SearchFlow::showCalendar() {
    if (m_timeline)
        m_timeline->deleteLater();
    openCalendar();
}

void SearchFlow::openTimeline(int year, int month, int day, std::optional<std::uint32_t> cursor) {
    if (m_timeline)
        delete m_timeline;
    m_timeline = new DayTimelinePanel(m_window, year, month, day, &m_window);
    m_timeline->setGeometry(SearchWindow::kPanelArea);
    if (cursor)
        m_timeline->setCursorTime(*cursor);
    m_state.panel = SearchPanel::DayTimeline;
    m_window.updateWidgets();
}

void SearchFlow::openEventList(std::optional<int> savedTab) {
    if (m_eventList)
        delete m_eventList;
    m_eventList = new EventListPanel(m_window, savedTab, &m_window);
    m_eventList->setGeometry(SearchWindow::kPanelArea);
    m_state.panel = SearchPanel::EventList;
    m_window.updateWidgets();
}

QWidget* SearchFlow::panelWidget(SearchPanel panel) const {
    switch (panel) {
    case SearchPanel::DateTime:
        return m_dateTime;
    case SearchPanel::ChannelSelect:
        return m_channelSelect;
    case SearchPanel::Calendar:
        return m_calendar;
    case SearchPanel::DayTimeline:
        return m_timeline;
    case SearchPanel::EventList:
        return m_eventList;
    default:
        return nullptr;
    }
}

void SearchFlow::updatePlayButtons() {
    if (m_timeline)
        m_timeline->updatePlayEnabled();
    if (m_eventList)
        m_eventList->updatePlayEnabled();
    if (m_dateTime)
        m_dateTime->updatePlayEnabled();
}

CalendarPanel* SearchFlow::calendarPanel() const {
    return m_calendar;
}
DayTimelinePanel* SearchFlow::timelinePanel() const {
    return m_timeline;
}
EventListPanel* SearchFlow::eventListPanel() const {
    return m_eventList;
}
ChannelSelectPanel* SearchFlow::channelSelectPanel() const {
    return m_channelSelect;
}
DateTimePanel* SearchFlow::dateTimePanel() const {
    return m_dateTime;
}

} // namespace kalder
