#include "search/backup_flow.h"

#include "search/backup_calendar_panel.h"
#include "search/backup_date_time_panel.h"
#include "search/backup_event_list_panel.h"
#include "search/backup_period_panel.h"
#include "search/backup_timeline_panel.h"
#include "search/search_flow.h"
#include "search/search_window.h"
#include "session/recorder_session.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace kalder {

BackupFlow::BackupFlow(SearchWindow& window, SearchWindowState& state, RecorderSession& session)
    : m_window(window), m_state(state), m_session(session) {
    // The menu: the period by date and time, the channels (the search's own choice), the period
    // by event and by calendar and timeline.
    m_menu = new QWidget(&window);
    m_menu->setGeometry(10, 83, 180, 200);
    const char* menu[] = {"Date/Time", "Select Channel", "Event", "Calendar"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(QString::fromLatin1(menu[i]), m_menu);
        b->setAccessibleName(QStringLiteral("Backup ") + QString::fromLatin1(menu[i]));
        b->setAutoDefault(false);
        b->setGeometry(0, i * 40, 170, 32);
        m_menuButtons[i] = b;
    }
    // What Backup makes: the set as it is, or a standard file per channel exported from it.
    m_menu->resize(180, 300);
    auto* formatCaption = new QLabel(QStringLiteral("Back up as"), m_menu);
    formatCaption->setGeometry(0, 172, 170, 20);
    m_format = new QComboBox(m_menu);
    m_format->addItems(
        {QStringLiteral("Backup set"), QStringLiteral("MP4"), QStringLiteral("MKV")});
    m_format->setAccessibleName(QStringLiteral("Back up as"));
    m_format->setToolTip(
        QStringLiteral("Backup set: the recorder's own files, played by this client. MP4, MKV: "
                       "one file per channel that ordinary players play, with the recorder time "
                       "and a manifest of hashes"));
    m_format->setGeometry(0, 194, 170, 26);
    formatCaption->setBuddy(m_format);
    m_keepSet = new QCheckBox(QStringLiteral("Keep the backup set\nafter export"), m_menu);
    m_keepSet->setAccessibleName(QStringLiteral("Keep the backup set after export"));
    m_keepSet->setToolTip(QStringLiteral("Off: the set downloaded for the export is deleted once "
                                         "the files are written"));
    m_keepSet->setChecked(true);
    m_keepSet->setGeometry(0, 226, 175, 40);
    QObject::connect(m_format, &QComboBox::currentIndexChanged, &window, [this](int index) {
        m_state.backupFormat = static_cast<BackupFormat>(std::clamp(index, 0, 2));
        m_window.updateWidgets();
    });
    QObject::connect(m_keepSet, &QCheckBox::toggled, &window,
                     &SearchWindow::keepExportedSetsChanged);
    m_menu->hide();
    QObject::connect(m_menuButtons[0], &QPushButton::clicked, &window, [this] { openDateTime(); });
    QObject::connect(m_menuButtons[1], &QPushButton::clicked, &window,
                     [&window] { window.searchFlow().openChannelSelect(); });
    QObject::connect(m_menuButtons[2], &QPushButton::clicked, &window, [this] { events(); });
    QObject::connect(m_menuButtons[3], &QPushButton::clicked, &window, [this] { calendar(); });
}

void BackupFlow::started() {
    m_window.closeFromMode();
}

void BackupFlow::setFormat(BackupFormat format) {
    m_format->setCurrentIndex(static_cast<int>(format));
}

bool BackupFlow::keepExportedSets() const {
    return m_keepSet->isChecked();
}

void BackupFlow::setKeepExportedSets(bool keep) {
    const QSignalBlocker quiet(m_keepSet); // the stored setting itself: nothing to store again
    m_keepSet->setChecked(keep);
}

// ---- the menu ----

void BackupFlow::openDateTime() {
    if (m_state.requestPending)
        return;
    if (!m_dateTime) {
        m_dateTime = new BackupDateTimePanel(m_window, &m_window);
        m_dateTime->setGeometry(SearchWindow::kPanelArea);
    }
    m_state.panel = SearchPanel::BackupDateTime;
    m_window.updateWidgets();
}

void BackupFlow::events() {
    if (m_state.requestPending)
        return;
    m_state.requestPending = true;
    m_session.search().requestEvents();
}

void BackupFlow::calendar() {
    if (m_state.requestPending)
        return;
    // A fresh choice: the start first, the recorder asked again.
    m_state.backupYearsCached = false;
    m_state.backupPeriod.endPhase = false;
    requestYears();
}

void BackupFlow::requestYears() {
    // The end's calendar reuses the years the window holds.
    if (m_state.backupYearsCached && !m_state.years.empty()) {
        openCalendar();
        return;
    }
    m_state.requestPending = true;
    m_session.search().requestBackupYears();
}

void BackupFlow::chooseDay(int year, int month, int day) {
    if (m_state.requestPending)
        return;
    BackupPeriod& period = m_state.backupPeriod;
    CivilTime& date = period.endPhase ? period.end : period.start;
    date.year = year;
    date.month = month;
    date.day = day;
    m_state.requestPending = true;
    m_state.segments.clear();
    m_session.search().requestBackupDaySegments(year, month, day);
}

void BackupFlow::chooseStartAgain() {
    if (m_state.requestPending)
        return;
    m_state.backupPeriod.endPhase = false;
    const CivilTime& start = m_state.backupPeriod.start;
    chooseDay(start.year, start.month, start.day);
}

void BackupFlow::startChosen(const CivilTime& start) {
    if (m_state.requestPending)
        return;
    m_state.backupPeriod.start = start;
    m_state.backupPeriod.endPhase = true;
    m_state.backupYearsCached = true;
    requestYears();
}

void BackupFlow::sizeRequested(BackupPeriodPanel* panel) {
    m_sizingPanel = panel;
}

void BackupFlow::channelsChanged() {
    if (m_timeline)
        m_timeline->update();
}

// ---- the ready messages ----

void BackupFlow::onYearsReady(std::uintptr_t wParam, std::intptr_t lParam) {
    m_state.requestPending = false;
    if (static_cast<SearchReplyResult>(wParam) == SearchReplyResult::Refused)
        return;
    // No data (83): the calendar shows the years the window already holds.
    if (lParam != 83)
        m_state.years = m_session.search().takeBackupYears();
    openCalendar();
}

void BackupFlow::onDaySegmentsReady(std::uintptr_t wParam) {
    m_state.requestPending = false;
    if (static_cast<SearchReplyResult>(wParam) == SearchReplyResult::Refused)
        return;
    m_state.segments = m_session.search().takeBackupDaySegments();
    openTimeline();
}

void BackupFlow::onEventsReady() {
    // A refusal leaves the session's list empty: the list opens empty.
    m_state.requestPending = false;
    m_state.events = m_session.search().events();
    openEventList();
}

// The size goes to the panel that asked for it, wherever the operator has gone since.
void BackupFlow::onSizeKnown(std::uint32_t size) {
    if (m_sizingPanel)
        m_sizingPanel->sizeKnown(size);
}

void BackupFlow::onRefused() {
    // The session has raised the refusal's alert.
    if (m_sizingPanel)
        m_sizingPanel->sizeRefused();
}

// ---- the panels ----

void BackupFlow::openCalendar() {
    if (!m_calendar) {
        m_calendar = new BackupCalendarPanel(m_window, &m_window);
        m_calendar->setGeometry(SearchWindow::kPanelArea);
    }
    m_calendar->reopen();
    m_state.panel = SearchPanel::BackupCalendar;
    m_window.updateWidgets();
}

void BackupFlow::openTimeline() {
    if (m_timeline)
        delete m_timeline;
    m_timeline = new BackupTimelinePanel(m_window, &m_window);
    m_timeline->setGeometry(SearchWindow::kPanelArea);
    m_state.panel = SearchPanel::BackupTimeline;
    m_window.updateWidgets();
}

void BackupFlow::openEventList() {
    if (m_eventList)
        delete m_eventList;
    m_eventList = new BackupEventListPanel(m_window, &m_window);
    m_eventList->setGeometry(SearchWindow::kPanelArea);
    m_state.panel = SearchPanel::BackupEventList;
    m_window.updateWidgets();
}

QWidget* BackupFlow::panelWidget(SearchPanel panel) const {
    switch (panel) {
    case SearchPanel::BackupDateTime:
        return m_dateTime;
    case SearchPanel::BackupCalendar:
        return m_calendar;
    case SearchPanel::BackupTimeline:
        return m_timeline;
    case SearchPanel::BackupEventList:
        return m_eventList;
    default:
        return nullptr;
    }
}

BackupDateTimePanel* BackupFlow::dateTimePanel() const {
    return m_dateTime;
}
BackupCalendarPanel* BackupFlow::calendarPanel() const {
    return m_calendar;
}
BackupTimelinePanel* BackupFlow::timelinePanel() const {
    return m_timeline;
}
BackupEventListPanel* BackupFlow::eventListPanel() const {
    return m_eventList;
}

} // namespace kalder
