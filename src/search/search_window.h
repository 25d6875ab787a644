#pragma once

#include "search/backup_period.h"
#include "search/search_play_request.h"
#include "session/search_resume_context.h"
#include "wire/notification.h"
#include "wire/search_records.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

namespace kalder {

class BackupCalendarPanel;
class BackupDateTimePanel;
class BackupEventListPanel;
class BackupPeriodPanel;
class BackupTimelinePanel;
class CalendarPanel;
class ChannelSelectPanel;
class DateTimePanel;
class DayTimelinePanel;
class EventListPanel;
class RecorderSession;
class ListPopup;
class TimePopup;
class WindowMessageEvent;

// The remote search window: four mode tabs (Search, Backup, Log, Info), the search menu and its
// panels (calendar, day timeline, event list, channel selection, date and time entry). It sends
// the disk queries through the session and acts on their ready messages, which the main window
// forwards to it. A Play action of any panel ends in playRequested(); the window then keeps the
// resume context in the session and closes. The Log and Info modes are filled by their features
// through setModeContent(). GUI thread only; the session must outlive it.
class SearchWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 618;
    static constexpr int kHeight = 546;
    enum class Tab { Search = 0, Backup = 1, Log = 2, Info = 3 };
    QPushButton* tabButton(Tab tab) const { return m_tabs[static_cast<int>(tab)]; }

    // `dateFormat`: the operator's date order (0 year, 1 month, 2 day first). Notifications the
    // window raises itself are posted to `notificationReceiver` (the main window).
    SearchWindow(RecorderSession& session, unsigned dateFormat, QObject* notificationReceiver,
                 QWidget* parent = nullptr);
    ~SearchWindow() override;

    // The main window hands over the ready messages (21044, 21045, 21047) and the rights change
    // (21077).
    void handleWindowMessage(int message, std::uintptr_t wParam, std::intptr_t lParam);

    // Local playback runs: every Play of the window is disabled.
    void setLocalPlaybackRunning(bool running);
    bool localPlaybackRunning() const { return m_localPlaybackRunning; }

    // ---- For the panels. ----
    bool requestPending() const { return m_requestPending; }
    const std::vector<YearAvailability>& years() const { return m_years; }
    const std::vector<DaySegment>& daySegments() const { return m_segments; }
    const std::vector<EventEntry>& events() const { return m_events; }
    std::uint16_t searchChannelMask() const { return m_searchChannelMask; }
    void setSearchChannel(unsigned channel, bool on);
    unsigned channelCount() const { return m_channelCount; }
    unsigned dateFormat() const { return m_dateFormat; }
    bool recorderVersion11() const;
    // The greeting's sub_product_num_major (picks the continuous kind's legend text).
    int subProductMajor() const;
    // The standard local offset measured when the window opened (encoding operator entries).
    int standardOffsetSeconds() const { return m_standardOffset; }
    // The resume context when it is active.
    std::optional<SearchResumeContext> activeResumeContext() const;

    // The calendar's chosen day: sends PLAY_INFO_DAY_REQ (nothing while a request is pending).
    void requestDay(int year, int month, int day);
    // Back from the timeline to the calendar.
    void showCalendar();
    // Opens the time pop-up under `field`; `done` receives the chosen time.
    void openTimePopup(QWidget* field, int hour, int minute, int second,
                       std::function<void(int, int, int)> done);
    // Opens the list pop-up under `field` (`columns` items to a row, `width` pixels wide);
    // `done` receives the chosen index. Opening a pop-up closes the other one.
    void openListPopup(QWidget* field, const QStringList& items, int columns, int width,
                       std::function<void(int)> done);
    // A panel's Play: emits playRequested, keeps `context` (made active; marked as started from
    // a log list when the log's Play sends it) in the session and closes the window.
    void play(const SearchPlayRequest& request, SearchResumeContext context);
    void postNotification(Notification notification);

    // ---- Backup mode. ----
    RecorderSession& session() const { return m_session; }
    // Where backups go: the data folder's download folder.
    void setBackupFolder(std::filesystem::path folder) { m_backupFolder = std::move(folder); }
    const std::filesystem::path& backupFolder() const { return m_backupFolder; }
    // What Backup makes of the period: the recorder's backup set as it is, or an MP4 or MKV
    // export of it (the set is downloaded first, exported in the same action, then kept or
    // deleted as keepExportedSets() says).
    enum class BackupFormat { Set = 0, Mp4 = 1, Mkv = 2 };
    BackupFormat backupFormat() const;
    void setBackupFormat(BackupFormat format);
    // The local setting "Keep the backup set after export" (the main window stores it).
    bool keepExportedSets() const;
    void setKeepExportedSets(bool keep);
    QComboBox* backupFormatBox() const { return m_backupFormat; }
    QCheckBox* keepSetBox() const { return m_keepSet; }
    // The transfer started: the window closes (the transfer runs on without it).
    void backupStarted();
    // Backup menu actions (also the backup menu's buttons: Date/Time, Select Channel, Event,
    // Calendar).
    void openBackupDateTime();
    void backupEvents();
    void backupCalendar();
    BackupDateTimePanel* backupDateTimePanel() const;
    BackupCalendarPanel* backupCalendarPanel() const;
    BackupTimelinePanel* backupTimelinePanel() const;
    BackupEventListPanel* backupEventListPanel() const;
    QPushButton* backupMenuButton(int index) const { return m_backupMenuButtons[index]; }
    // The period chosen on the backup calendar and timeline.
    const BackupPeriod& backupPeriod() const { return m_backupPeriod; }
    void setBackupPeriod(const BackupPeriod& period) { m_backupPeriod = period; }
    // The backup calendar's day: the start's or the end's date per the phase; TRANS_INFO_DAY_REQ.
    void chooseBackupDay(int year, int month, int day);
    // The backup calendar's Prev: back to choosing the start on the start's day.
    void chooseBackupStartAgain();
    // The timeline's Next: the start is chosen, the calendar opens for the end.
    void backupStartChosen(const CivilTime& start);
    // A panel asked for a size: the answer goes to it.
    void backupSizeRequested(BackupPeriodPanel* panel);

    // ---- Modes another feature fills (the recorder's log, its information). ----
    // A factory builds the mode's menu as children of `menuArea` (the left column) and its
    // panels as children of `panelArea` (the right-hand panel place); both areas belong to this
    // window, are shown only while the mode's tab is chosen, and go when the window closes. It
    // returns whether the mode waits for the recorder: while it does, no tab can be chosen.
    using ModeBusy = std::function<bool()>;
    using ModeFactory = std::function<ModeBusy(QWidget* menuArea, QWidget* panelArea)>;
    // Called when the mode's tab is first chosen (at once when it is chosen already: the window
    // opens on the Log tab after playing from a log entry).
    void setModeContent(Tab tab, ModeFactory factory);
    QWidget* modeMenuArea(Tab tab) const;
    QWidget* modePanelArea(Tab tab) const;
    // A mode ends the window (a refusal of the archive, say); the resume context goes unless a
    // playback runs.
    void closeFromMode() { closeWindow(false); }

    // ---- For tests. ----
    Tab currentTab() const { return m_tab; }
    bool tabEnabled(Tab tab) const;
    CalendarPanel* calendarPanel() const;
    DayTimelinePanel* timelinePanel() const;
    EventListPanel* eventListPanel() const;
    ChannelSelectPanel* channelSelectPanel() const;
    DateTimePanel* dateTimePanel() const;
    QPushButton* menuButton(int index) const { return m_menuButtons[index]; }

    // Search menu actions (also the menu's buttons).
    void openDateTime();
    void openChannelSelect();
    void searchEvents();
    void searchCalendar();

signals:
    // Remote playback of the period: connected by the main window to the playback feature.
    void playRequested(const kalder::SearchPlayRequest& request);
    // The operator changed "Keep the backup set after export".
    void keepExportedSetsChanged(bool keep);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void selectTab(Tab tab);
    void applyOpeningRights();
    void enableTabs(bool search, bool backup, bool log, bool info);
    void hidePanels();
    void onYearsReady(std::uintptr_t wParam, std::intptr_t lParam);
    void onDaySegmentsReady(std::uintptr_t wParam);
    void onEventsReady();
    void openCalendar();
    void openTimeline(int year, int month, int day, std::optional<std::uint32_t> cursor);
    void openEventList(std::optional<int> savedTab);
    void closeWindow(bool cancel);
    bool modeBusy() const;
    void showMode(Tab tab);
    void onBackupYearsReady(std::uintptr_t wParam, std::intptr_t lParam);
    void onBackupDaySegmentsReady(std::uintptr_t wParam);
    void requestBackupYears();
    void openBackupCalendar();
    void openBackupTimeline();
    void openBackupEventList();

    RecorderSession& m_session;
    QObject* const m_notificationReceiver;
    const unsigned m_dateFormat;
    const unsigned m_channelCount;
    const int m_standardOffset;

    bool m_requestPending = false;
    bool m_localPlaybackRunning = false;
    bool m_closingForPlay = false;
    bool m_closed = false;
    Tab m_tab = Tab::Search;
    std::uint16_t m_searchChannelMask = 0;
    // The window's own copies of the last records.
    std::vector<YearAvailability> m_years;
    std::vector<DaySegment> m_segments;
    std::vector<EventEntry> m_events;
    // The calendar's chosen day.
    int m_dayYear = 0, m_dayMonth = 0, m_dayDay = 0;
    std::optional<QPoint> m_dragOffset;

    std::array<QPushButton*, 4> m_tabs{};
    QWidget* m_searchMenu = nullptr;
    QWidget* m_backupMenu = nullptr;
    std::array<QPushButton*, 4> m_backupMenuButtons{};
    QComboBox* m_backupFormat = nullptr;
    QCheckBox* m_keepSet = nullptr;
    QPointer<BackupDateTimePanel> m_backupDateTime;
    std::filesystem::path m_backupFolder;
    // Backup by calendar, timeline and event list: the period, whether the window's year records
    // may serve the end's calendar without asking again, the panels, and the panel whose size
    // request is answered next.
    BackupPeriod m_backupPeriod;
    bool m_backupYearsCached = false;
    QPointer<BackupCalendarPanel> m_backupCalendar;
    QPointer<BackupTimelinePanel> m_backupTimeline;
    QPointer<BackupEventListPanel> m_backupEventList;
    QPointer<BackupPeriodPanel> m_sizingPanel;
    QLabel* m_otherMenu = nullptr; // says so when no feature fills the Log or Info mode
    QLabel* m_panelHint = nullptr; // in the empty panel: what to press on the left
    std::array<QPushButton*, 4> m_menuButtons{};
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_close = nullptr;
    QPointer<CalendarPanel> m_calendar;
    QPointer<DayTimelinePanel> m_timeline;
    QPointer<EventListPanel> m_eventList;
    QPointer<ChannelSelectPanel> m_channelSelect;
    QPointer<DateTimePanel> m_dateTime;
    QPointer<TimePopup> m_timePopup;
    QPointer<ListPopup> m_listPopup;

    // The Log and Info modes: their areas, made by setModeContent, and their factories until
    // the first choice of the tab.
    struct ModeSlot {
        ModeFactory factory;
        ModeBusy busy;
        QWidget* menuArea = nullptr;
        QWidget* panelArea = nullptr;
    };
    std::array<ModeSlot, 4> m_modes{};
};

} // namespace kalder
