// The local search window over the downloaded backup set, local playback, the local log; the
// connect dialog, its history and the notification boxes of a disconnect, a refused login and
// the recorder's farewell.
#include "gallery.h"

#include "main_window_controls.h"
#include "connect/connect_dialog.h"
#include "export_ui/export_dialog.h"
#include "export_ui/export_progress_window.h"
#include "local/local_playback_controller.h"
#include "local/local_player.h"
#include "local/local_search_panels.h"
#include "local/local_search_window.h"
#include "logs/local_log_viewer.h"
#include "session/recorder_session.h"
#include "ui/notification_box.h"
#include "ui/skin_button.h"
#include "video/video_window.h"
#include "wire/recorder_time.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace kalder::gallery {

namespace {

constexpr int kLiveMs = 60000;

// Waits for the next notification box and shoots it over the main window.
bool shootBox(Gallery& g, const QString& slug, const QString& caption) {
    MainWindow& w = g.window;
    if (!waitFor([&] { return w.notificationBox() && w.notificationBox()->isVisible(); }, 15000)) {
        g.camera.missing(caption, QStringLiteral("no notification box came"));
        return false;
    }
    const Notification n = w.notificationBox()->notification();
    g.camera.shot(slug, caption + QStringLiteral(" (box %1,%2)").arg(n.category).arg(n.detail),
                  w.notificationBox(), {&w});
    acceptAnyBox(w);
    return true;
}

void backToLive(MainWindow& w) {
    if (w.session() && !w.session()->live().liveOn())
        QTest::mouseClick(w.button(Control::Live), Qt::LeftButton);
    (void)waitFor([&] { return w.session() && w.session()->live().liveOn(); }, kLiveMs);
    VideoWindow* video = w.videoWindow();
    (void)waitFor([&] { return video->decodedChannels() & video->visibleChannelMask(); }, kLiveMs);
}

QLineEdit* field(ConnectDialog* dialog, const char* name) {
    return dialog->findChild<QLineEdit*>(QLatin1String(name));
}

ConnectDialog* openConnectDialog(Gallery& g) {
    MainWindow& w = g.window;
    QTest::mouseClick(w.button(Control::Connect), Qt::LeftButton);
    ConnectDialog* dialog = nullptr;
    (void)waitFor([&] { return (dialog = w.connectDialog()) && dialog->isVisible(); }, 5000);
    return dialog;
}

// Types the recorder's values into the dialog and presses OK.
void fillAndConnect(Gallery& g, ConnectDialog* dialog, const QString& password) {
    field(dialog, "address")->setText(QStringLiteral("127.0.0.1"));
    if (auto* modify = dialog->findChild<QPushButton*>(QStringLiteral("modifyButton")))
        modify->click();
    field(dialog, "port")->setText(QString::number(g.port));
    field(dialog, "userId")->setText(QStringLiteral("admin"));
    field(dialog, "password")->setText(password);
    field(dialog, "siteText")->setText(QStringLiteral("Gallery recorder"));
    dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
}

} // namespace

// The export dialog over the local search window, then the export with the time and title
// burnt in (slow enough to show its progress), and how it ended.
void shootLocalExport(Gallery& g, LocalSearchWindow* l) {
    const QString dialogCaption =
        QStringLiteral("Local search: Export dialog for the timeline's period");
    if (!l->exportButton()->isEnabled()) {
        g.camera.missing(dialogCaption, QStringLiteral("the download folder held no set"));
        return;
    }
    l->exportButton()->click();
    ExportDialog* dialog = l->exportDialog();
    if (!dialog || !waitFor([&] { return dialog->isVisible(); }, 5000)) {
        g.camera.missing(dialogCaption, QStringLiteral("Export… opened no dialog"));
        return;
    }
    g.camera.shot(QStringLiteral("local-export-dialog"), dialogCaption, dialog, {l});
    dialog->burnInBox()->setChecked(true);
    dialog->exportButton()->click();
    ExportProgressWindow* progress = nullptr;
    const QString progressCaption =
        QStringLiteral("Local search: export progress (time and title burnt in)");
    if (waitFor(
            [&] {
                progress = l->exportWindow();
                return progress && (progress->ended() || progress->lastState().progress.done > 0);
            },
            60000) &&
        !progress->ended())
        g.camera.shot(QStringLiteral("local-export-progress"), progressCaption, progress, {l});
    else
        g.camera.missing(progressCaption,
                         QStringLiteral("the export ended before its progress could be shown"));
    if (!progress || !waitFor([&] { return !l->exportWindow() || progress->ended(); }, 300000) ||
        !l->exportWindow()) {
        g.camera.missing(QStringLiteral("Local search: export finished"),
                         QStringLiteral("the export did not end within 5 minutes"));
        return;
    }
    g.camera.shot(QStringLiteral("local-export-done"),
                  QStringLiteral("Local search: export finished"), progress, {l});
    progress->closeButton()->click();
    (void)waitFor([&] { return l->exportWindow() == nullptr; }, 5000);
}

void shootLocalSearch(Gallery& g) {
    MainWindow& w = g.window;
    LocalPlaybackController* local = w.localPlayback();
    QTest::mouseClick(w.button(Control::LocalSearch), Qt::LeftButton);
    LocalSearchWindow* l = nullptr;
    if (!waitFor([&] { return (l = local->searchWindow()) && l->isVisible(); }, 5000)) {
        g.camera.missing(QStringLiteral("Local search window"),
                         QStringLiteral("LSearch opened no window"));
        acceptAnyBox(w);
        return;
    }
    g.camera.shot(QStringLiteral("local-search"), QStringLiteral("Local search window as it opens"),
                  l);
    l->showPanel(LocalSearchWindow::Panel::DateTime);
    g.camera.shot(QStringLiteral("local-search-date-time"),
                  QStringLiteral("Local search: Date/Time"), l);
    shootPopups(g, l, l->panelWidget(), QStringLiteral("Local search date/time"));
    l->showPanel(LocalSearchWindow::Panel::Event);
    g.camera.shot(QStringLiteral("local-search-event-list"),
                  QStringLiteral("Local search: event list"), l);
    l->showPanel(LocalSearchWindow::Panel::Calendar);
    g.camera.shot(QStringLiteral("local-search-calendar"), QStringLiteral("Local search: calendar"),
                  l);

    // The backup's day on the calendar, then its timeline at the backup's first second.
    LocalTimelinePanel* timeline = nullptr;
    if (g.backupStart != 0) {
        const CivilTime start = decodeRecorderTime(g.backupStart);
        if (auto* calendar = qobject_cast<LocalCalendarPanel*>(l->panelWidget())) {
            calendar->chooseYear(start.year);
            calendar->chooseMonth(start.month);
            if (calendar->dayRecorded(start.day))
                QTest::mouseClick(calendar->dayButton(start.day), Qt::LeftButton);
        }
        timeline = qobject_cast<LocalTimelinePanel*>(l->panelWidget());
        if (timeline) {
            timeline->setTime(start.hour, start.minute, start.second);
            g.camera.shot(QStringLiteral("local-search-timeline"),
                          QStringLiteral("Local search: the backup day's timeline"), l);
        }
    }
    if (!timeline)
        g.camera.missing(QStringLiteral("Local search: timeline"),
                         QStringLiteral("the download folder held no backup day to open"));
    if (timeline)
        shootLocalExport(g, l);

    l->tabButton(LocalSearchWindow::Tab::Log)->click();
    auto* viewer = l->findChild<LocalLogViewer*>();
    if (viewer && waitFor([&] { return viewer->isVisible(); }, 5000))
        g.camera.shot(QStringLiteral("local-log"),
                      QStringLiteral("Local search: Log tab (local log)"), l);
    else
        g.camera.missing(QStringLiteral("Local log viewer"),
                         QStringLiteral("the Log tab showed none"));
    l->tabButton(LocalSearchWindow::Tab::Info)->click();
    g.camera.shot(QStringLiteral("local-info"), QStringLiteral("Local search: Info tab"), l);
    l->tabButton(LocalSearchWindow::Tab::Search)->click();

    const QString playCaption = QStringLiteral("Local playback of the downloaded backup");
    if (timeline && l->panelWidget() == timeline) {
        QTest::mouseClick(timeline->playButton(), Qt::LeftButton);
        VideoWindow* video = w.videoWindow();
        if (waitFor([&] { return local->active(); }, 10000) &&
            waitFor(
                [&] {
                    return video->mode() == StreamKind::LocalPlayback &&
                           local->player()->counters().shownFrames > 0;
                },
                20000)) {
            g.camera.shot(QStringLiteral("local-playback"), playCaption, &w);
            QTest::mouseClick(w.button(Control::PlayPause), Qt::LeftButton);
            g.camera.shot(QStringLiteral("local-playback-paused"),
                          QStringLiteral("Local playback paused"), &w);
        } else {
            g.camera.missing(playCaption, QStringLiteral("no picture was played"));
        }
        acceptAnyBox(w);
        if (local->active())
            QTest::mouseClick(w.button(Control::PlayStop), Qt::LeftButton);
        (void)waitFor([&] { return !local->active(); }, 10000);
    } else {
        g.camera.missing(playCaption, QStringLiteral("no timeline to play from"));
    }
    if (local->searchWindow()) {
        local->searchWindow()->reject();
        (void)waitFor([&] { return local->searchWindow() == nullptr; }, 5000);
    }
    acceptAnyBox(w);
    backToLive(w);
}

void shootConnectAndNotifications(Gallery& g) {
    MainWindow& w = g.window;
    // Connect with a session disconnects; the closed connection is then reported.
    QTest::mouseClick(w.button(Control::Connect), Qt::LeftButton);
    (void)waitFor([&] { return w.session() == nullptr; }, 10000);
    shootBox(g, QStringLiteral("notification-disconnected"),
             QStringLiteral("Notification after Connect disconnected"));
    g.camera.shot(QStringLiteral("main-window-idle"),
                  QStringLiteral("Main window without a recorder"), &w);

    ConnectDialog* dialog = openConnectDialog(g);
    if (!dialog) {
        g.camera.missing(QStringLiteral("Connect dialog"), QStringLiteral("Connect opened none"));
        return;
    }
    g.camera.shot(QStringLiteral("connect-dialog"), QStringLiteral("Connect dialog"), dialog, {&w});
    // A wrong password: the recorder refuses the login.
    fillAndConnect(g, dialog, QStringLiteral("0000"));
    shootBox(g, QStringLiteral("notification-refused-login"),
             QStringLiteral("Notification of a refused login"));
    (void)waitFor([&] { return w.session() == nullptr; }, 10000);

    dialog = openConnectDialog(g);
    if (!dialog) {
        g.camera.missing(QStringLiteral("Connect history window"),
                         QStringLiteral("Connect opened no dialog"));
        return;
    }
    auto* history = dialog->findChild<QPushButton*>(QStringLiteral("historyButton"));
    const bool shown = history && duringModal([&] { history->click(); },
                                              [&](QWidget* window) {
                                                  g.camera.shot(QStringLiteral("connect-history"),
                                                                QStringLiteral("Connect history "
                                                                               "window"),
                                                                window, {dialog, &w});
                                                  if (auto* d = qobject_cast<QDialog*>(window))
                                                      d->reject();
                                              });
    if (!shown)
        g.camera.missing(QStringLiteral("Connect history window"),
                         QStringLiteral("the history button opened nothing"));
    fillAndConnect(g, dialog, QStringLiteral("1234"));
    if (!waitFor([&] { return w.session() && w.session()->live().liveOn(); }, kLiveMs)) {
        g.camera.missing(QStringLiteral("Notification of the recorder's farewell"),
                         QStringLiteral("the second connect did not log in"));
        return;
    }
    backToLive(w);
    // The recorder says goodbye (reason 33) and closes.
    (void)g.admin("bye 33");
    shootBox(g, QStringLiteral("notification-farewell"),
             QStringLiteral("Notification of the recorder's farewell"));
}

} // namespace kalder::gallery
