// A site of four recorders in one main window: four simulators of four channels each, the second
// reached through a proxy that can cut it off. The site playing in 16 cells, the second recorder
// lost while the others play on, and the menu of one of its cells.
#include "gallery.h"

#include "main_window_controls.h"
#include "ptz/ptz_controller.h"
#include "ptz/ptz_panel.h"
#include "recorder_link.h"
#include "session/recorder_session.h"
#include "sim/sim_process.h"
#include "support/tcp_fault_proxy.h"
#include "ui/notification_box.h"
#include "ui/skin_button.h"
#include "video/video_window.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QToolTip>

#include <array>
#include <cstdio>

namespace kalder::gallery {

namespace {

constexpr int kSiteRecorders = 4;
constexpr int kSiteMs = 60000;

bool siteCellPicture(const VideoWindow& video, int cell) {
    const int slot = video.layoutModel().cellSlot(cell);
    return slot >= 0 &&
           video.feed().cellContent(static_cast<unsigned>(slot)) == CellContent::Picture;
}

// The cells of `recorder` (or of every recorder but it, with `others`; -1 with `others`: every
// cell).
QList<int> siteCellsOf(const VideoWindow& video, int recorder, bool others = false) {
    QList<int> cells;
    for (int cell = 0; cell < video.layoutModel().cellCount(); ++cell)
        if ((video.layoutModel().cellSource(cell).recorder == recorder) != others)
            cells << cell;
    return cells;
}

bool siteCellsPlay(const VideoWindow& video, const QList<int>& cells) {
    if (cells.isEmpty())
        return false;
    for (int cell : cells)
        if (!siteCellPicture(video, cell))
            return false;
    return true;
}

QPoint siteCellCentre(const VideoWindow& video, int cell) {
    const CellRect r = video.layoutModel().cellRect(cell);
    return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

bool siteLabelSays(const MainWindow& w, int recorder, const QString& state) {
    const QLabel* label = w.recorderStateLabel(recorder);
    return label && label->isVisible() &&
           label->text() == QStringLiteral("%1 %2").arg(recorder + 1).arg(state);
}

// The main window without a recorder: what the earlier steps connected is given up.
bool siteWindowFree(MainWindow& w) {
    for (int round = 0; round < 3; ++round) {
        acceptAnyBox(w);
        bool busy = false;
        for (int r = 0; r < w.siteRecorderCount(); ++r)
            busy |= w.recorderLink(r).session() || w.recorderLink(r).reconnecting();
        if (!busy)
            return true;
        w.pressConnect(); // with a session (or its tries) this disconnects
        (void)waitFor([&] { return w.session() == nullptr; }, 10000);
    }
    acceptAnyBox(w);
    return w.session() == nullptr && !w.recorderLink(0).reconnecting();
}

// The visible tooltip window, if one is shown.
QWidget* siteToolTip() {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->inherits("QTipLabel"))
            return top;
    return nullptr;
}

// The right button over cell `cell`, as the operator presses it: the press chooses the cell,
// then the menu opens. The menu, or null.
QMenu* siteOpenCellMenu(MainWindow& w, int cell) {
    VideoWindow* video = w.videoWindow();
    const QPoint at = siteCellCentre(*video, cell);
    QTest::mousePress(video, Qt::RightButton, {}, at);
    QTest::mouseRelease(video, Qt::RightButton, {}, at);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at, video->mapToGlobal(at));
    QApplication::sendEvent(video, &rightClick);
    auto* menu = qobject_cast<QMenu*>(w.cellMenu());
    return menu && waitFor([&] { return menu->isVisible(); }, 5000) ? menu : nullptr;
}

// Shoots the open cell menu over the window with `extras`; the pointer rests on the last greyed
// entry first, so that its reason shows below the menu and leaves the entries above in view.
void siteShootMenu(Gallery& g, QMenu* menu, const QString& slug, const QString& caption,
                   QList<QWidget*> extras) {
    extras << menu;
    QAction* greyed = nullptr;
    for (QAction* action : menu->actions())
        if (!action->isSeparator() && !action->isEnabled())
            greyed = action;
    if (greyed) {
        const QPoint over = menu->actionGeometry(greyed).center();
        QTest::mouseMove(menu, over);
        QHelpEvent help(QEvent::ToolTip, over, menu->mapToGlobal(over));
        QApplication::sendEvent(menu, &help);
        if (waitFor([] { return siteToolTip() != nullptr; }, 3000))
            extras << siteToolTip();
    }
    g.camera.shot(slug, caption, &g.window, extras);
    QToolTip::hideText();
    menu->close();
    (void)waitFor([&] { return g.window.cellMenu() == nullptr && siteToolTip() == nullptr; }, 3000);
}

// The menu of a cell of recorder 2: while recorder 1's PTZ panel is open, and with nothing of
// recorder 1's features running.
void shootSiteCellMenus(Gallery& g) {
    MainWindow& w = g.window;
    VideoWindow* video = w.videoWindow();
    const QString busyCaption =
        QStringLiteral("A site: the menu of a cell of recorder 2 while recorder 1's PTZ panel is "
                       "open (a greyed entry's reason under the menu)");
    const QString freeCaption = QStringLiteral(
        "A site: the menu of another cell of recorder 2, nothing of recorder 1's running");
    const QList<int> cells = siteCellsOf(*video, 1);
    const QList<int> first = siteCellsOf(*video, 0);
    if (cells.size() < 2 || first.isEmpty()) {
        g.camera.missing(busyCaption, QStringLiteral("recorder 2 has no cells"));
        return;
    }
    // A cell of recorder 1 chosen, then its PTZ panel.
    QTest::mouseClick(video, Qt::LeftButton, {}, siteCellCentre(*video, first[0]));
    if (QWidget* pan = w.button(Control::Pan))
        QTest::mouseClick(pan, Qt::LeftButton);
    PtzController* ptz = w.ptzController();
    if (waitFor([&] { return ptz->panel() && ptz->panel()->isVisible(); }, 10000)) {
        if (QMenu* menu = siteOpenCellMenu(w, cells[1]))
            siteShootMenu(g, menu, QStringLiteral("site-cell-menu-ptz-open"), busyCaption,
                          {ptz->panel()});
        else
            g.camera.missing(busyCaption, QStringLiteral("the right button opened no menu"));
    } else {
        g.camera.missing(busyCaption, QStringLiteral("Pan opened no PTZ panel"));
    }
    ptz->closePtzPanel();
    (void)waitFor([&] { return !ptz->panel() || !ptz->panel()->isVisible(); }, 5000);

    if (QMenu* menu = siteOpenCellMenu(w, cells[2 % cells.size()]))
        siteShootMenu(g, menu, QStringLiteral("site-cell-menu"), freeCaption, {});
    else
        g.camera.missing(freeCaption, QStringLiteral("the right button opened no menu"));
}

} // namespace

void shootSite(Gallery& g) {
    MainWindow& w = g.window;
    VideoWindow* video = w.videoWindow();
    const QString playCaption = QStringLiteral(
        "A site of four recorders of four channels, 16 cells, each recorder's state by the clock");
    if (!siteWindowFree(w)) {
        g.camera.missing(playCaption, QStringLiteral("the earlier recorder could not be left"));
        return;
    }
    std::array<test::SimProcess, kSiteRecorders> sims;
    for (test::SimProcess& sim : sims) {
        if (!sim.start({"--channels", "4"})) {
            g.camera.missing(playCaption, QStringLiteral("a simulator of four channels did not "
                                                         "start: %1")
                                              .arg(QString::fromStdString(sim.lastError())));
            return;
        }
    }
    // The second recorder is reached through a proxy that can cut it off.
    test::TcpFaultProxy proxy(sims[1].port());
    SiteRequest site;
    site.name = "Yard";
    for (int r = 0; r < kSiteRecorders; ++r) {
        ConnectRequest request;
        request.address = "127.0.0.1";
        request.typedAddress = request.address;
        request.port = r == 1 ? proxy.port() : sims[static_cast<std::size_t>(r)].port();
        request.userId = "admin";
        request.password = "1234";
        site.recorders.push_back(request);
    }
    w.connectToSite(site);

    const auto allPlaying = [&] {
        if (w.siteRecorderCount() != kSiteRecorders || video->layoutModel().cellCount() != 16)
            return false;
        for (int r = 0; r < kSiteRecorders; ++r)
            if (!siteLabelSays(w, r, QStringLiteral("Connected")))
                return false;
        return siteCellsPlay(*video, siteCellsOf(*video, -1, true));
    };
    if (proxy.port() == 0 || !waitFor(allPlaying, kSiteMs)) {
        g.camera.missing(playCaption, QStringLiteral("the site's 16 cells did not all show "
                                                     "pictures with every recorder connected"));
        siteWindowFree(w);
        return;
    }
    g.camera.shot(QStringLiteral("site-16-cells"), playCaption, &w);

    // Recorder 2 goes away and refuses every try: its cells alone say so, and the box names it.
    const QString lostCaption = QStringLiteral(
        "A site with recorder 2 lost: its cells dimmed, the others playing on, the box naming it");
    proxy.setRefusing(true);
    proxy.cut();
    const QList<int> lost = siteCellsOf(*video, 1);
    const auto lostShown = [&] {
        if (!siteLabelSays(w, 1, QStringLiteral("Reconnecting…")) || !w.notificationBox() ||
            !w.notificationBox()->isVisible() ||
            w.notificationBox()->objectName() != QLatin1String("reconnectBox") ||
            !w.notificationBox()->lines().join(' ').contains(QStringLiteral("Recorder 2 (")))
            return false;
        for (int cell : lost)
            if (!video->cellNoticeAt(cell).startsWith(QStringLiteral("Reconnecting…")))
                return false;
        return !lost.isEmpty();
    };
    if (waitFor(lostShown, kSiteMs) &&
        waitFor([&] { return siteCellsPlay(*video, siteCellsOf(*video, 1, true)); }))
        g.camera.shot(QStringLiteral("site-recorder-lost"), lostCaption, &w, {w.notificationBox()});
    else
        g.camera.missing(lostCaption, QStringLiteral("the window did not show recorder 2 "
                                                     "reconnecting with its box"));

    // It comes back by itself; the box goes with the tries.
    proxy.setRefusing(false);
    if (!waitFor(
            [&] {
                return w.recorderLink(1).state() == SessionState::Connected &&
                       siteCellsPlay(*video, lost);
            },
            kSiteMs))
        std::printf("gallery: recorder 2 of the site did not come back\n");
    acceptAnyBox(w);

    shootSiteCellMenus(g);

    // The site is given up before its simulators stop.
    siteWindowFree(w);
}

} // namespace kalder::gallery
