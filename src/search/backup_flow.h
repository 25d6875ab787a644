#pragma once

#include "search/search_window_state.h"

#include <QPointer>

#include <array>
#include <cstdint>
#include <filesystem>

class QCheckBox;
class QComboBox;
class QPushButton;
class QWidget;

namespace kalder {

class BackupCalendarPanel;
class BackupDateTimePanel;
class BackupEventListPanel;
class BackupPeriodPanel;
class BackupTimelinePanel;
class RecorderSession;
class SearchWindow;

// The search window's backup flow: its menu (Date/Time, Select Channel, Event, Calendar, what
// Backup makes, whether the set stays after an export), the panels that choose the period, the
// backup period itself, the size requests and their answers. It changes the window's state and
// lets the window set the widgets from it. GUI thread only; lives as long as its window.
class BackupFlow {
public:
    BackupFlow(SearchWindow& window, SearchWindowState& state, RecorderSession& session);

    QWidget* menu() const { return m_menu; }
    QPushButton* menuButton(int index) const { return m_menuButtons[index]; }
    QComboBox* formatBox() const { return m_format; }
    QCheckBox* keepSetBox() const { return m_keepSet; }

    // Where backups go: the data folder's download folder.
    void setFolder(std::filesystem::path folder) { m_folder = std::move(folder); }
    const std::filesystem::path& folder() const { return m_folder; }
    BackupFormat format() const { return m_state.backupFormat; }
    void setFormat(BackupFormat format);
    bool keepExportedSets() const;
    void setKeepExportedSets(bool keep);

    // The menu's actions (nothing while a request is pending).
    void openDateTime();
    void events();
    void calendar();
    // The backup calendar's day: the start's or the end's date per the phase; TRANS_INFO_DAY_REQ.
    void chooseDay(int year, int month, int day);
    // The backup calendar's Prev: back to choosing the start on the start's day.
    void chooseStartAgain();
    // The timeline's Next: the start is chosen, the calendar opens for the end.
    void startChosen(const CivilTime& start);
    // The transfer started: the window closes (the transfer runs on without it).
    void started();
    // A panel asked for a size: the answer goes to it.
    void sizeRequested(BackupPeriodPanel* panel);
    // The channel choice changed: the timeline draws it.
    void channelsChanged();

    // The ready messages.
    void onYearsReady(std::uintptr_t wParam, std::intptr_t lParam);
    void onDaySegmentsReady(std::uintptr_t wParam);
    void onEventsReady();
    void onSizeKnown(std::uint32_t size);
    void onRefused();

    // The panel widget of `panel` when it is one of this flow's and exists.
    QWidget* panelWidget(SearchPanel panel) const;
    BackupDateTimePanel* dateTimePanel() const;
    BackupCalendarPanel* calendarPanel() const;
    BackupTimelinePanel* timelinePanel() const;
    BackupEventListPanel* eventListPanel() const;

private:
    void requestYears();
    void openCalendar();
    void openTimeline();
    void openEventList();

    SearchWindow& m_window;
    SearchWindowState& m_state;
    RecorderSession& m_session;
    QWidget* m_menu = nullptr;
    std::array<QPushButton*, 4> m_menuButtons{};
    QComboBox* m_format = nullptr;
    QCheckBox* m_keepSet = nullptr;
    std::filesystem::path m_folder;
    QPointer<BackupDateTimePanel> m_dateTime;
    QPointer<BackupCalendarPanel> m_calendar;
    QPointer<BackupTimelinePanel> m_timeline;
    QPointer<BackupEventListPanel> m_eventList;
    // The panel whose size request is answered next.
    QPointer<BackupPeriodPanel> m_sizingPanel;
};

} // namespace kalder
