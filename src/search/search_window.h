#pragma once

#include "search/backup_period.h"
#include "search/search_play_request.h"
#include "search/search_window_state.h"
#include "session/search_resume_context.h"
#include "wire/notification.h"
#include "wire/search_records.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;

namespace kalder {

class BackupFlow;
class BackupCalendarPanel;
class BackupDateTimePanel;
class BackupEventListPanel;
class BackupTimelinePanel;
class CalendarPanel;
class ChannelSelectPanel;
class DateTimePanel;
class DayTimelinePanel;
class EventListPanel;
class RecorderSession;
class SearchFlow;
class ListPopup;
class TimePopup;
class WindowMessageEvent;

// The remote search window: four mode tabs (Search, Backup, Log, Info) over the search flow (the
// search menu and its panels: calendar, day timeline, event list, channel selection, date and
// time entry) and the backup flow (the backup menu, its panels, the period and its size). The
// flows send the disk queries through the session and act on their ready messages, which the
// main window forwards to the window. Both flows and the window change one SearchWindowState;
// updateWidgets() then sets what every widget shows from it. A Play action of any panel ends in
// playRequested(); the window then keeps the resume context in the session and closes. The Log
// and Info modes are filled by their features through setModeContent(). GUI thread only; the
// session must outlive it. The panels reach the flows through the window.
class SearchWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 618;
    static constexpr int kHeight = 546;
    // Where the panels go.
    static constexpr QRect kPanelArea{197, 83, 403, 417};
    using Tab = SearchTab;
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
    bool localPlaybackRunning() const { return m_state.localPlaybackRunning; }

    // Sets every enabled, visible and checked state of the window's own widgets (tabs, menus,
    // modes, panels, the hint, the Play buttons) from state().
    void updateWidgets();
    SearchFlow& searchFlow() const { return *m_search; }
    BackupFlow& backupFlow() const { return *m_backup; }

    // ---- For the panels. ----
    bool requestPending() const { return m_state.requestPending; }
    const std::vector<YearAvailability>& years() const { return m_state.years; }
    const std::vector<DaySegment>& daySegments() const { return m_state.segments; }
    const std::vector<EventEntry>& events() const { return m_state.events; }
    std::uint16_t searchChannelMask() const { return m_state.searchChannelMask; }
    void setSearchChannel(unsigned channel, bool on);
    unsigned channelCount() const { return m_channelCount; }
    unsigned dateFormat() const { return m_dateFormat; }
    bool recorderVersion11() const;
    // The greeting's sub_product_num_major (picks the continuous kind's legend text).
    int subProductMajor() const;
    // The standard local offset measured when the window opened (encoding operator entries).
    int standardOffsetSeconds() const { return m_standardOffset; }

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

    // ---- Backup mode (the backup flow's). ----
    RecorderSession& session() const { return m_session; }
    // Where backups go: the data folder's download folder.
    void setBackupFolder(std::filesystem::path folder);
    // What Backup makes of the period (MP4 and MKV keep or delete the set downloaded for them as
    // the keep-set box says).
    using BackupFormat = kalder::BackupFormat;
    void setBackupFormat(BackupFormat format);
    // The local setting "Keep the backup set after export" (the main window stores it).
    void setKeepExportedSets(bool keep);
    QCheckBox* keepSetBox() const;
    BackupDateTimePanel* backupDateTimePanel() const;
    BackupCalendarPanel* backupCalendarPanel() const;
    BackupTimelinePanel* backupTimelinePanel() const;
    BackupEventListPanel* backupEventListPanel() const;
    QPushButton* backupMenuButton(int index) const;
    // The period chosen on the backup calendar and timeline.
    const BackupPeriod& backupPeriod() const { return m_state.backupPeriod; }
    void setBackupPeriod(const BackupPeriod& period) { m_state.backupPeriod = period; }
    // The timeline's Next: the start is chosen, the calendar opens for the end.
    void backupStartChosen(const CivilTime& start);

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
    Tab currentTab() const { return m_state.tab; }
    bool tabEnabled(Tab tab) const;
    CalendarPanel* calendarPanel() const;
    DayTimelinePanel* timelinePanel() const;
    EventListPanel* eventListPanel() const;
    ChannelSelectPanel* channelSelectPanel() const;
    DateTimePanel* dateTimePanel() const;
    QPushButton* menuButton(int index) const;

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
    void closeWindow(bool cancel);
    bool modeBusy() const;
    // Builds the mode of `tab` on its first choice.
    void buildMode(Tab tab);
    QWidget* panelWidget(SearchPanel panel) const;

    RecorderSession& m_session;
    QObject* const m_notificationReceiver;
    const unsigned m_dateFormat;
    const unsigned m_channelCount;
    const int m_standardOffset;

    SearchWindowState m_state;
    std::optional<QPoint> m_dragOffset;

    std::array<QPushButton*, 4> m_tabs{};
    std::unique_ptr<SearchFlow> m_search;
    std::unique_ptr<BackupFlow> m_backup;
    QLabel* m_otherMenu = nullptr; // says so when no feature fills the Log or Info mode
    QLabel* m_panelHint = nullptr; // in the empty panel: what to press on the left
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_close = nullptr;
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
