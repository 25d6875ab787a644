// The remote search window: its search panels and pop-ups, the Log and Info modes, remote
// playback from an event, and the Backup mode with a backup and its progress window.
#include "gallery.h"

#include "main_window_controls.h"
#include "info/info_list_view.h"
#include "info/info_menu_panel.h"
#include "info/info_views.h"
#include "logs/log_browser.h"
#include "logs/log_list_window.h"
#include "logs/log_menu_panel.h"
#include "export_ui/export_progress_window.h"
#include "search/backup_calendar_panel.h"
#include "search/backup_date_time_panel.h"
#include "search/backup_event_list_panel.h"
#include "search/backup_progress_window.h"
#include "search/backup_timeline_panel.h"
#include "search/calendar_panel.h"
#include "search/channel_select_panel.h"
#include "search/date_time_panel.h"
#include "search/day_timeline_panel.h"
#include "search/event_list_panel.h"
#include "search/search_window.h"
#include "session/recorder_session.h"
#include "ui/list_popup.h"
#include "ui/notification_box.h"
#include "ui/report_list.h"
#include "ui/skin_button.h"
#include "ui/time_popup.h"
#include "video/video_window.h"
#include "wire/recorder_time.h"

#include <tuple>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>

namespace kalder::gallery {

namespace {

constexpr int kReplyMs = 30000;

SearchWindow* openSearch(Gallery& g) {
    QTest::mouseClick(g.window.button(Control::RemoteSearch), Qt::LeftButton);
    SearchWindow* s = nullptr;
    if (!waitFor([&] { return (s = g.window.searchWindow()) && s->isVisible(); }, 5000)) {
        g.camera.missing(QStringLiteral("Remote search window"),
                         QStringLiteral("RSearch opened no search window"));
        return nullptr;
    }
    return s;
}

void closeSearch(Gallery& g) {
    SearchWindow* s = g.window.searchWindow();
    if (!s)
        return;
    if (QPushButton* close = buttonNamed(s, QStringLiteral("Close")))
        close->click();
    if (!waitFor([&] { return g.window.searchWindow() == nullptr; }, 5000) &&
        g.window.searchWindow())
        g.window.searchWindow()->reject();
    (void)waitFor([&] { return g.window.searchWindow() == nullptr; }, 5000);
}

template <typename Popup> Popup* visiblePopup(QWidget* owner) {
    for (Popup* p : owner->findChildren<Popup*>())
        if (p->isVisible())
            return p;
    return nullptr;
}

// The last day of the calendar's month with recordings, 0 when none.
template <typename Calendar> int lastRecordedDay(const Calendar& calendar) {
    int day = 0;
    for (int d = 1; d <= 31; ++d)
        if (calendar.dayHighlighted(d))
            day = d;
    return day;
}

QString logListName(LogList list) {
    switch (list) {
    case LogList::All:
        return QStringLiteral("All");
    case LogList::Power:
        return QStringLiteral("Power");
    case LogList::Record:
        return QStringLiteral("Record");
    case LogList::Operation:
        return QStringLiteral("Operation");
    case LogList::Client:
        return QStringLiteral("Client");
    case LogList::Event:
        return QStringLiteral("Event");
    case LogList::Archive:
        return QStringLiteral("Archive");
    }
    return {};
}

LogListWindow* shownList(LogBrowser* browser, LogList list) {
    auto* shown = qobject_cast<LogListWindow*>(browser->content());
    return shown && shown->list() == list && shown->isVisible() ? shown : nullptr;
}

} // namespace

void shootPopups(Gallery& g, QWidget* s, QWidget* panel, const QString& where) {
    bool listShown = false, timeShown = false;
    for (QPushButton* field : panel->findChildren<QPushButton*>()) {
        if (listShown && timeShown)
            break;
        // Only the entry fields: not the buttons that act (Play, Calculate, Backup).
        static const QRegularExpression acting(
            QStringLiteral("^(Play|Calculate|Backup|Prev|Next)$"));
        if (!field->isVisible() || !field->isEnabled() || acting.match(field->text()).hasMatch() ||
            acting.match(field->accessibleName()).hasMatch())
            continue;
        QTest::mouseClick(field, Qt::LeftButton);
        QWidget* popup = nullptr;
        if (ListPopup* list = visiblePopup<ListPopup>(s); list && !listShown) {
            listShown = true;
            g.camera.shot(slugOf(where + " list popup"),
                          where + QStringLiteral(": the list pop-up (") + field->accessibleName() +
                              ")",
                          s, {list});
            popup = list;
        } else if (TimePopup* time = visiblePopup<TimePopup>(s); time && !timeShown) {
            timeShown = true;
            g.camera.shot(slugOf(where + " time popup"),
                          where + QStringLiteral(": the time pop-up"), s, {time});
            popup = time;
        } else {
            popup = visiblePopup<ListPopup>(s);
            if (!popup)
                popup = visiblePopup<TimePopup>(s);
        }
        if (popup) {
            QTest::keyClick(popup, Qt::Key_Escape);
            if (!waitFor([&] { return !popup->isVisible(); }, 2000))
                popup->close();
        }
    }
    if (!listShown)
        g.camera.missing(where + QStringLiteral(": the list pop-up"),
                         QStringLiteral("no field of the panel opened it"));
    if (!timeShown)
        g.camera.missing(where + QStringLiteral(": the time pop-up"),
                         QStringLiteral("no field of the panel opened it"));
}

void shootRemoteSearch(Gallery& g) {
    SearchWindow* s = openSearch(g);
    if (!s)
        return;
    g.camera.shot(QStringLiteral("search-window"),
                  QStringLiteral("Remote search window as it opens (Search tab)"), s);

    s->menuButton(0)->click(); // Date/Time
    if (waitFor([&] { return s->dateTimePanel() && s->dateTimePanel()->isVisible(); }, 5000)) {
        g.camera.shot(QStringLiteral("search-date-time"), QStringLiteral("Search: Date/Time"), s);
        shootPopups(g, s, s->dateTimePanel(), QStringLiteral("Search date/time"));
    } else {
        g.camera.missing(QStringLiteral("Search: Date/Time"), QStringLiteral("no panel opened"));
    }

    s->menuButton(1)->click(); // Select Channel
    if (waitFor([&] { return s->channelSelectPanel() && s->channelSelectPanel()->isVisible(); },
                5000))
        g.camera.shot(QStringLiteral("search-select-channel"),
                      QStringLiteral("Search: Select Channel"), s);
    else
        g.camera.missing(QStringLiteral("Search: Select Channel"), QStringLiteral("no panel"));

    s->menuButton(2)->click(); // Event
    if (waitFor([&] { return s->eventListPanel() && s->eventListPanel()->isVisible(); },
                kReplyMs)) {
        EventListPanel* events = s->eventListPanel();
        const char* const tabs[] = {"Alarm", "Motion", "Audio"};
        for (int tab = 0; tab < 3; ++tab) {
            events->selectTab(tab);
            if (events->list()->rowCount() > 0)
                events->list()->selectRow(0);
            g.camera.shot(QStringLiteral("search-event-list-%1").arg(slugOf(tabs[tab])),
                          QStringLiteral("Search: event list, %1 tab").arg(tabs[tab]), s);
        }
    } else {
        g.camera.missing(QStringLiteral("Search: event list"),
                         QStringLiteral("the recorder's event list did not arrive"));
    }

    s->menuButton(3)->click(); // Calendar
    if (waitFor([&] { return s->calendarPanel() && s->calendarPanel()->isVisible(); }, kReplyMs)) {
        CalendarPanel* calendar = s->calendarPanel();
        g.camera.shot(QStringLiteral("search-calendar"), QStringLiteral("Search: calendar"), s);
        if (const int day = lastRecordedDay(*calendar); day > 0) {
            calendar->dayButton(day)->click();
            if (waitFor([&] { return s->timelinePanel() && s->timelinePanel()->isVisible(); },
                        kReplyMs)) {
                DayTimelinePanel* timeline = s->timelinePanel();
                QTest::mouseClick(timeline, Qt::LeftButton, {}, QPoint(113 + 12 * 9 + 6, 100));
                g.camera.shot(QStringLiteral("search-day-timeline"),
                              QStringLiteral("Search: a day's timeline with the time cursor"), s);
                // Zoomed about the cursor (keys), the time under the mouse shown.
                timeline->setFocus();
                for (const auto& [presses, name, caption] :
                     {std::tuple{5, "search-day-timeline-hour",
                                 "Search: the timeline zoomed to an hour"},
                      std::tuple{3, "search-day-timeline-ten-minutes",
                                 "Search: the timeline zoomed to ten minutes"}}) {
                    for (int i = 0; i < presses; ++i)
                        QTest::keyClick(timeline, Qt::Key_Plus);
                    QTest::mouseMove(timeline, QPoint(113 + 200, 150));
                    g.camera.shot(QLatin1String(name), QLatin1String(caption), s);
                }
                QTest::keyClick(timeline, Qt::Key_0);
            } else {
                g.camera.missing(QStringLiteral("Search: day timeline"),
                                 QStringLiteral("the day's segments did not arrive"));
            }
        }
    } else {
        g.camera.missing(QStringLiteral("Search: calendar"),
                         QStringLiteral("the recorder's months did not arrive"));
    }
    closeSearch(g);
    acceptAnyBox(g.window);
}

void shootRemoteLogs(Gallery& g) {
    SearchWindow* s = openSearch(g);
    if (!s)
        return;
    s->tabButton(SearchWindow::Tab::Log)->click();
    LogBrowser* browser = nullptr;
    if (!waitFor([&] { return (browser = s->findChild<LogBrowser*>()) && browser->isVisible(); },
                 5000)) {
        g.camera.missing(QStringLiteral("Log mode"), QStringLiteral("the Log tab showed no log"));
        closeSearch(g);
        return;
    }
    g.camera.shot(QStringLiteral("log-mode"), QStringLiteral("Search window, Log tab (log menu)"),
                  s);
    for (LogList list : {LogList::All, LogList::Power, LogList::Record, LogList::Operation,
                         LogList::Client, LogList::Event}) {
        const QString name = logListName(list);
        browser->menu()->button(list)->click();
        if (waitFor([&] { return shownList(browser, list) != nullptr; }, kReplyMs))
            g.camera.shot(QStringLiteral("log-list-%1").arg(slugOf(name)),
                          QStringLiteral("Recorder log: %1 list").arg(name), s);
        else
            g.camera.missing(QStringLiteral("Recorder log: %1 list").arg(name),
                             QStringLiteral("the list did not show"));
    }

    // The details of the newest Operation entry that has them.
    browser->menu()->button(LogList::Operation)->click();
    if (LogListWindow* operations = shownList(browser, LogList::Operation);
        operations && operations->detailsButton()) {
        int row = 0;
        for (; row < operations->reportList()->rowCount(); ++row) {
            operations->selectRow(row);
            if (operations->detailsButton()->isEnabled())
                break;
        }
        if (operations->detailsButton()->isEnabled()) {
            operations->detailsButton()->click();
            QWidget* details = browser->content();
            g.camera.shot(QStringLiteral("log-detail"),
                          QStringLiteral("Recorder log: detail window of an operation (%1)")
                              .arg(QString::fromLatin1(details->metaObject()->className())),
                          s);
        } else {
            g.camera.missing(QStringLiteral("Recorder log: detail window"),
                             QStringLiteral("no Operation entry has details"));
        }
    }

    // Print sends the list to the default printer on a thread of its own.
    browser->menu()->button(LogList::All)->click();
    if (LogListWindow* all = shownList(browser, LogList::All)) {
        const QList<QWidget*> before = QApplication::topLevelWidgets();
        all->printButton()->click();
        QWidget* opened = nullptr;
        (void)waitFor(
            [&] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (w->isVisible() && !before.contains(w))
                        opened = w;
                return opened != nullptr || g.window.notificationBox() != nullptr;
            },
            3000);
        if (opened) {
            g.camera.shot(QStringLiteral("log-print"), QStringLiteral("Print of a log list"),
                          opened, {s});
            const QList<QWidget*> shown = otherWindows(g.window);
            if (auto* d = qobject_cast<QDialog*>(opened))
                d->reject();
            else
                opened->close();
            // Cancelling may be answered with a window of its own.
            if (QWidget* answer = newWindow(shown, 2000)) {
                g.camera.shot(QStringLiteral("log-print-cancelled"),
                              QStringLiteral("Print of a log list, cancelled"), answer, {s});
                if (auto* d = qobject_cast<QDialog*>(answer))
                    d->reject();
                else
                    answer->close();
            }
        } else if (g.window.notificationBox())
            g.camera.shot(QStringLiteral("log-print"), QStringLiteral("Print of a log list"),
                          g.window.notificationBox(), {s});
        else
            g.camera.missing(QStringLiteral("Print of a log list"),
                             QStringLiteral("Print opened no dialog and showed no result within "
                                            "3 s (no printer on this machine)"));
        acceptAnyBox(g.window);
    }

    // The log mode's content may have been made again meanwhile (the search window rebuilds a
    // mode's panels when it is chosen again): the browser is looked up afresh.
    browser = s->findChild<LogBrowser*>();
    if (browser == nullptr) {
        g.camera.missing(QStringLiteral("Recorder log: the archive's password prompt"),
                         QStringLiteral("the log mode was gone after printing"));
        closeSearch(g);
        return;
    }
    // The archive asks for the password first.
    const bool prompted =
        duringModal([&] { browser->menu()->button(LogList::Archive)->click(); },
                    [&](QWidget* dialog) {
                        g.camera.shot(QStringLiteral("log-archive-password"),
                                      QStringLiteral("Recorder log: the archive's password prompt"),
                                      dialog, {s});
                        if (auto* input = qobject_cast<QInputDialog*>(dialog)) {
                            // The simulator's archive password.
                            input->setTextValue(QStringLiteral("0000"));
                            input->accept();
                        } else if (auto* d = qobject_cast<QDialog*>(dialog)) {
                            d->reject();
                        } else {
                            dialog->close();
                        }
                    });
    if (!prompted)
        g.camera.missing(QStringLiteral("Recorder log: the archive's password prompt"),
                         QStringLiteral("Archive asked for no password"));
    if (g.window.searchWindow() == s &&
        waitFor([&] { return shownList(browser, LogList::Archive) != nullptr; }, kReplyMs))
        g.camera.shot(QStringLiteral("log-list-archive"),
                      QStringLiteral("Recorder log: Archive list"), s);
    else
        g.camera.missing(QStringLiteral("Recorder log: Archive list"),
                         QStringLiteral("the list did not show after the password"));
    if (!g.window.searchWindow())
        return;

    s->tabButton(SearchWindow::Tab::Info)->click();
    auto* menu = s->findChild<InfoMenuPanel*>();
    if (!menu || !waitFor([&] { return menu->isVisible(); }, 5000)) {
        g.camera.missing(QStringLiteral("Info mode"),
                         QStringLiteral("the Info tab showed no menu"));
        closeSearch(g);
        return;
    }
    g.camera.shot(QStringLiteral("info-mode"),
                  QStringLiteral("Search window, Info tab (information menu)"), s);
    InfoViews& info = g.window.infoViews();
    menu->systemButton()->click();
    if (waitFor([&] { return info.systemView() && info.systemView()->isVisible(); }, kReplyMs))
        g.camera.shot(QStringLiteral("info-system"), QStringLiteral("System information"), s);
    else
        g.camera.missing(QStringLiteral("System information"), QStringLiteral("no view"));
    menu->statusButton()->click();
    if (waitFor([&] { return info.statusView() && info.statusView()->isVisible(); }, kReplyMs))
        g.camera.shot(QStringLiteral("info-status"), QStringLiteral("Status information"), s);
    else
        g.camera.missing(QStringLiteral("Status information"),
                         QStringLiteral("the recorder's status did not arrive"));
    closeSearch(g);
}

void shootRemotePlayback(Gallery& g) {
    const QString caption =
        QStringLiteral("Remote playback of an event (main window with the playback clock)");
    SearchWindow* s = openSearch(g);
    if (!s)
        return;
    s->menuButton(2)->click();
    EventListPanel* events = nullptr;
    if (!waitFor([&] { return (events = s->eventListPanel()) && events->isVisible(); }, kReplyMs) ||
        events->list()->rowCount() == 0) {
        g.camera.missing(caption, QStringLiteral("the event list had no event to play"));
        closeSearch(g);
        return;
    }
    events->list()->selectRow(0);
    events->playButton()->click();
    MainWindow& w = g.window;
    VideoWindow* video = w.videoWindow();
    if (waitFor([&] { return w.playback()->active(); }, kReplyMs) &&
        waitFor(
            [&] { return video->mode() == StreamKind::RemotePlayback && video->decodedChannels(); },
            kReplyMs)) {
        g.camera.shot(QStringLiteral("remote-playback"), caption, &w);
        QTest::mouseClick(w.button(Control::PlayPause), Qt::LeftButton);
        g.camera.shot(QStringLiteral("remote-playback-paused"),
                      QStringLiteral("Remote playback paused"), &w);
    } else {
        g.camera.missing(caption, w.notificationBox() ? QStringLiteral("the recorder refused: ") +
                                                            w.notificationBox()->lines().join(' ')
                                                      : QStringLiteral("no pictures played back"));
    }
    acceptAnyBox(w);
    if (w.playback()->active())
        QTest::mouseClick(w.button(Control::PlayStop), Qt::LeftButton);
    (void)waitFor([&] { return !w.playback()->active(); }, 10000);
    acceptAnyBox(w);
    closeSearch(g);
    (void)waitFor([&] { return w.session() && w.session()->live().liveOn(); }, kReplyMs);
    (void)waitFor([&] { return video->decodedChannels() & video->visibleChannelMask(); }, kReplyMs);
}

// The Backup tab backing up as MP4: the format choice, the download's progress, the export's
// progress and its end (the set is kept).
void shootBackupExport(Gallery& g) {
    const QString caption = QStringLiteral("Backup: Date/Time, backing up as MP4");
    if (g.backupStart == 0) {
        g.camera.missing(caption, QStringLiteral("no recorded event to back up"));
        return;
    }
    SearchWindow* s = openSearch(g);
    if (!s)
        return;
    MainWindow& w = g.window;
    s->tabButton(SearchWindow::Tab::Backup)->click();
    s->setBackupFormat(SearchWindow::BackupFormat::Mp4);
    s->setKeepExportedSets(true);
    s->backupMenuButton(0)->click(); // Date/Time
    BackupDateTimePanel* panel = s->backupDateTimePanel();
    if (!panel || !waitFor([&] { return panel->isVisible(); }, 5000)) {
        g.camera.missing(caption, QStringLiteral("no date/time panel"));
        closeSearch(g);
        return;
    }
    (void)panel->setEntry(0, decodeRecorderTime(g.backupStart));
    (void)panel->setEntry(1, decodeRecorderTime(g.backupStart + 30));
    panel->calculateButton()->click();
    if (!waitFor([&] { return panel->backupButton()->isEnabled(); }, kReplyMs)) {
        g.camera.missing(caption, QStringLiteral("Calculate gave no size"));
        acceptAnyBox(w);
        closeSearch(g);
        return;
    }
    g.camera.shot(QStringLiteral("backup-as-mp4"), caption, s);
    (void)g.admin("backup-rate 48");
    panel->backupButton()->click();
    const QString downloading = QStringLiteral("Backup as MP4: downloading the set first");
    if (waitFor(
            [&] {
                return w.backupProgressWindow() && w.backupProgressWindow()->isVisible() &&
                       w.backupProgressWindow()->positionKbytes() > 0;
            },
            kReplyMs))
        g.camera.shot(QStringLiteral("backup-mp4-downloading"), downloading,
                      w.backupProgressWindow(), {&w});
    else
        g.camera.missing(downloading, QStringLiteral("the transfer showed no progress"));
    (void)g.admin("backup-rate 0");
    ExportProgressWindow* exporting = nullptr;
    const QString exportCaption = QStringLiteral("Backup as MP4: export progress");
    if (waitFor(
            [&] {
                exporting = lastBackupExportWindow();
                return exporting &&
                       (exporting->ended() || exporting->lastState().progress.done > 0);
            },
            120000) &&
        !exporting->ended())
        g.camera.shot(QStringLiteral("backup-mp4-exporting"), exportCaption, exporting, {&w});
    else
        g.camera.missing(exportCaption,
                         QStringLiteral("the export ended before its progress could be shown"));
    if (exporting &&
        waitFor([&] { return !lastBackupExportWindow() || exporting->ended(); }, 120000) &&
        lastBackupExportWindow()) {
        g.camera.shot(QStringLiteral("backup-mp4-done"),
                      QStringLiteral("Backup as MP4: exported, the set kept"), exporting, {&w});
        exporting->closeButton()->click();
    } else {
        g.camera.missing(QStringLiteral("Backup as MP4: the end"),
                         QStringLiteral("no export window told of the end"));
    }
    acceptAnyBox(w);
    closeOtherWindows(w);
    closeSearch(g);
}

void shootBackup(Gallery& g) {
    SearchWindow* s = openSearch(g);
    if (!s)
        return;
    // The events tell which seconds the disk holds.
    s->menuButton(2)->click();
    (void)waitFor([&] { return s->eventListPanel() && s->eventListPanel()->isVisible(); },
                  kReplyMs);
    const std::vector<EventEntry> diskEvents = s->events();

    s->tabButton(SearchWindow::Tab::Backup)->click();
    g.camera.shot(QStringLiteral("backup-mode"), QStringLiteral("Search window, Backup tab"), s);
    s->backupMenuButton(1)->click(); // Select Channel
    g.camera.shot(QStringLiteral("backup-select-channel"), QStringLiteral("Backup: Select Channel"),
                  s);
    s->backupMenuButton(2)->click(); // Event
    if (waitFor([&] { return s->backupEventListPanel() && s->backupEventListPanel()->isVisible(); },
                kReplyMs)) {
        BackupEventListPanel* events = s->backupEventListPanel();
        if (events->list()->rowCount() > 0)
            events->list()->selectRow(0);
        g.camera.shot(QStringLiteral("backup-event-list"), QStringLiteral("Backup: event list"), s);
    } else {
        g.camera.missing(QStringLiteral("Backup: event list"), QStringLiteral("no list"));
    }
    s->backupMenuButton(3)->click(); // Calendar
    if (waitFor([&] { return s->backupCalendarPanel() && s->backupCalendarPanel()->isVisible(); },
                kReplyMs)) {
        BackupCalendarPanel* calendar = s->backupCalendarPanel();
        g.camera.shot(QStringLiteral("backup-calendar"),
                      QStringLiteral("Backup: calendar (choosing the start)"), s);
        if (const int day = lastRecordedDay(*calendar); day > 0) {
            calendar->dayButton(day)->click();
            if (waitFor(
                    [&] {
                        return s->backupTimelinePanel() && s->backupTimelinePanel()->isVisible();
                    },
                    kReplyMs))
                g.camera.shot(QStringLiteral("backup-timeline"),
                              QStringLiteral("Backup: the day's timeline (choosing the start)"), s);
            else
                g.camera.missing(QStringLiteral("Backup: timeline"), QStringLiteral("no timeline"));
        }
    } else {
        g.camera.missing(QStringLiteral("Backup: calendar"), QStringLiteral("no calendar"));
    }

    // A short backup of the newest event's first seconds, slowed down to show its progress.
    s->backupMenuButton(0)->click(); // Date/Time
    BackupDateTimePanel* panel = s->backupDateTimePanel();
    const QString progressCaption = QStringLiteral("Backup progress window");
    if (!panel || !waitFor([&] { return panel->isVisible(); }, 5000) || diskEvents.empty()) {
        g.camera.missing(progressCaption,
                         QStringLiteral("no date/time panel or no recorded event to back up"));
        closeSearch(g);
        return;
    }
    const std::uint32_t start = diskEvents.back().start;
    g.backupStart = start;
    (void)panel->setEntry(0, decodeRecorderTime(start));
    (void)panel->setEntry(1, decodeRecorderTime(start + 4));
    g.camera.shot(QStringLiteral("backup-date-time"), QStringLiteral("Backup: Date/Time"), s);
    shootPopups(g, s, panel, QStringLiteral("Backup date/time"));
    panel->calculateButton()->click();
    if (!waitFor([&] { return panel->backupButton()->isEnabled(); }, kReplyMs)) {
        g.camera.missing(progressCaption, QStringLiteral("Calculate gave no size"));
        acceptAnyBox(g.window);
        closeSearch(g);
        return;
    }
    g.camera.shot(QStringLiteral("backup-date-time-sized"),
                  QStringLiteral("Backup: Date/Time after Calculate"), s);
    (void)g.admin("backup-rate 48");
    panel->backupButton()->click();
    MainWindow& w = g.window;
    if (waitFor(
            [&] {
                return w.backupProgressWindow() && w.backupProgressWindow()->isVisible() &&
                       w.backupProgressWindow()->positionKbytes() > 0;
            },
            kReplyMs))
        g.camera.shot(QStringLiteral("backup-progress"), progressCaption, w.backupProgressWindow(),
                      {&w});
    else
        g.camera.missing(progressCaption, QStringLiteral("the transfer showed no progress"));
    (void)g.admin("backup-rate 0");
    const QList<QWidget*> before = otherWindows(w);
    (void)waitFor(
        [&] { return !w.session()->backup().transferRunning() && !w.backupProgressWindow(); },
        120000);
    // The end of the transfer is told in a notice (or a notification box).
    if (QWidget* notice = newWindow(before, 5000))
        g.camera.shot(QStringLiteral("backup-done"),
                      QStringLiteral("Main window when the backup ended"), &w, {notice});
    else
        g.camera.missing(QStringLiteral("The end of the backup"),
                         QStringLiteral("no window told of the finished backup within 5 s"));
    acceptAnyBox(w);
    closeOtherWindows(w);
    closeSearch(g);
    shootBackupExport(g);
}

} // namespace kalder::gallery
