// The operator's keys in the main window and in full-screen view, and the list of keys.
#include "app/main_window_keys.h"

#include "app/main_window.h"
#include "app/main_window_controls.h"
#include "files/local_log.h"
#include "local/local_player.h"
#include "session/recorder_session.h"
#include "ui/skin_button.h"
#include "video/video_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QShortcut>
#include <QWindow>

namespace kalder {

namespace {

bool isPlaybackKey(KeyAction action) {
    switch (action) {
    case KeyAction::PlayPause:
    case KeyAction::StepBackward:
    case KeyAction::StepForward:
    case KeyAction::Reverse:
    case KeyAction::Forward:
    case KeyAction::Stop:
        return true;
    default:
        return false;
    }
}

// The playback button's place (1-4, 6, 7) that a playback key presses; play/pause is decided
// by the player's state.
int playbackControlOf(KeyAction action) {
    switch (action) {
    case KeyAction::StepBackward:
        return 1;
    case KeyAction::Reverse:
        return 2;
    case KeyAction::Forward:
        return 3;
    case KeyAction::Stop:
        return 6;
    case KeyAction::StepForward:
        return 7;
    default:
        return 0;
    }
}

} // namespace

MainWindowKeys::MainWindowKeys(MainWindow& window, KeyMap map)
    : QObject(&window), m_window(window), m_map(std::move(map)) {
    m_mainSet = makeShortcuts(&m_window);
    // The video window becomes a window of its own in full screen and is made active then;
    // back in the main window, the main window is active again.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this] { followFullScreen(); });
}

void MainWindowKeys::setKeyMap(KeyMap map) {
    if (map == m_map)
        return;
    m_map = std::move(map);
    qDeleteAll(m_mainSet);
    m_mainSet = makeShortcuts(&m_window);
    for (const QPointer<QShortcut>& shortcut : std::as_const(m_fullScreenSet))
        delete shortcut.data();
    m_fullScreenSet.clear();
    m_fullScreenOwner = nullptr;
    followFullScreen();
}

QList<QShortcut*> MainWindowKeys::makeShortcuts(QWidget* owner) {
    QList<QShortcut*> set;
    for (int i = 0; i < kKeyActionCount; ++i) {
        const auto action = static_cast<KeyAction>(i);
        for (const QKeySequence& key : m_map.keys(action)) {
            auto* shortcut = new QShortcut(key, owner);
            shortcut->setContext(Qt::WindowShortcut);
            shortcut->setAutoRepeat(action != KeyAction::Help && action != KeyAction::FullScreen);
            connect(shortcut, &QShortcut::activated, this, [this, action, key] {
                if (isPlaybackKey(action))
                    runPlayback(action, key);
                else
                    run(action);
            });
            set << shortcut;
        }
    }
    return set;
}

void MainWindowKeys::followFullScreen() {
    if (m_window.m_shuttingDown)
        return; // the video window is going, and the main window after it
    VideoWindow* video = m_window.videoWindow();
    QWidget* owner = video != nullptr && video->isWindow() ? video : nullptr;
    if (owner == m_fullScreenOwner && (owner == nullptr || !m_fullScreenSet.isEmpty()))
        return;
    // Its key goes at once (a disabled shortcut would still make its key ambiguous), the
    // object later: this may run from one of the set's own signals (F11 leaving).
    for (const QPointer<QShortcut>& shortcut : std::as_const(m_fullScreenSet))
        if (shortcut) {
            shortcut->setKey(QKeySequence());
            shortcut->deleteLater();
        }
    m_fullScreenSet.clear();
    m_fullScreenOwner = owner;
    if (owner == nullptr)
        return;
    for (QShortcut* shortcut : makeShortcuts(owner))
        m_fullScreenSet << shortcut;
    if (m_fullScreenSet.isEmpty())
        return;
    // Leaving full screen puts the window back before this is told: the set goes at once.
    connect(video, &VideoWindow::fullScreenLeft, m_fullScreenSet.first(),
            [this] { followFullScreen(); });
}

void MainWindowKeys::toggleOverlay() {
    if (m_overlay && m_overlay->isVisible()) {
        m_overlay->close();
        return;
    }
    VideoWindow* video = m_window.videoWindow();
    QWidget* over = &m_window;
    if (video != nullptr && video->isWindow())
        over = video;
    QList<ShortcutOverlay::Row> rows;
    for (int i = 0; i < kKeyActionCount; ++i) {
        const auto action = static_cast<KeyAction>(i);
        rows << ShortcutOverlay::Row{keyActionText(action), keysText(m_map.keys(action))};
    }
    delete m_overlay.data();
    auto* overlay = new ShortcutOverlay(rows, m_map.keys(KeyAction::Help), over);
    overlay->setAttribute(Qt::WA_DeleteOnClose);
    m_overlay = overlay;
    overlay->open();
}

void MainWindowKeys::run(KeyAction action) {
    MainWindow& w = m_window;
    VideoWindow* video = w.m_videoWindow;
    // A button's key does what a click on the button does, and nothing while it is disabled.
    auto press = [&w](int controlId) {
        if (SkinButton* b = w.button(controlId); b != nullptr && b->isEnabled())
            w.onButton(controlId);
    };
    switch (action) {
    case KeyAction::Help:
        toggleOverlay();
        return;
    case KeyAction::Layout1:
    case KeyAction::Layout4:
    case KeyAction::Layout6:
    case KeyAction::Layout7:
    case KeyAction::Layout8:
    case KeyAction::Layout9:
    case KeyAction::Layout10:
    case KeyAction::Layout13:
    case KeyAction::Layout16:
        press(Control::FirstLayout + static_cast<int>(action) -
              static_cast<int>(KeyAction::Layout1));
        return;
    case KeyAction::PreviousPage:
    case KeyAction::NextPage: {
        if (video == nullptr || w.ptzDomeMenuActive())
            return;
        VideoLayout::Arrangement view = video->viewArrangement();
        const int pages = video->layoutModel().pageCount(video->layoutModel().layout());
        if (pages <= 1)
            return;
        const int step = action == KeyAction::NextPage ? 1 : pages - 1;
        view.page = (video->layoutModel().page() + step) % pages;
        video->restoreView(view);
        w.showLayoutPressed(video->layoutModel().layout());
        return;
    }
    case KeyAction::FullScreen:
        if (video != nullptr && video->fullScreen())
            video->leaveFullScreen();
        else
            press(Control::Full);
        followFullScreen();
        return;
    case KeyAction::Osd:
        press(Control::Osd);
        return;
    case KeyAction::Snapshot: {
        SkinButton* save = w.button(Control::Save);
        if (save == nullptr || !save->isEnabled() || video == nullptr ||
            video->mode() == StreamKind::Idle)
            return;
        const int cell = video->focusedCell();
        if (cell < 0 || !video->layoutModel().cellVisible(cell)) {
            w.onSaveButton();
            return;
        }
        const int channel = video->layoutModel().cellChannel(cell);
        if (channel < 0 || channel >= 16)
            return;
        w.m_media.requestSnapshots(static_cast<std::uint16_t>(1u << channel));
        localLog(kLogKindSetupImage, kLogEventSnapshotSaved);
        return;
    }
    case KeyAction::Live:
        press(Control::Live);
        return;
    case KeyAction::Search:
        // The recorder's search when logged in to one, else the search of downloaded sets.
        press(w.session() && w.session()->loggedIn() ? Control::RemoteSearch
                                                     : Control::LocalSearch);
        return;
    case KeyAction::Mute:
        press(Control::Sound);
        return;
    case KeyAction::FocusLeft:
    case KeyAction::FocusRight:
    case KeyAction::FocusUp:
    case KeyAction::FocusDown: {
        if (video == nullptr)
            return;
        const int dx = action == KeyAction::FocusLeft ? -1 : action == KeyAction::FocusRight;
        const int dy = action == KeyAction::FocusUp ? -1 : action == KeyAction::FocusDown;
        video->moveCellFocus(dx, dy);
        return;
    }
    case KeyAction::ZoomReset:
        if (video != nullptr && video->focusedCell() >= 0)
            video->resetDigitalZoom(video->focusedCell());
        return;
    case KeyAction::InstantReplay:
        w.instantReplay(); // nothing without a focused cell or while it cannot start
        return;
    case KeyAction::PlayPause:
    case KeyAction::StepBackward:
    case KeyAction::StepForward:
    case KeyAction::Reverse:
    case KeyAction::Forward:
    case KeyAction::Stop:
        runPlayback(action, QKeySequence());
        return;
    }
}

// The playback keys act on remote playback while it runs, else on local playback while it
// runs. With neither, a Space meant for a focused button presses it, as it would without the
// shortcut; anything else does nothing.
void MainWindowKeys::runPlayback(KeyAction action, const QKeySequence& key) {
    MainWindow& w = m_window;
    if (w.m_playback->active()) {
        PlayControl control = static_cast<PlayControl>(playbackControlOf(action));
        if (action == KeyAction::PlayPause)
            control = w.m_playback->buttonEnabled(PlayControl::Pause) ? PlayControl::Pause
                                                                      : PlayControl::Forward;
        w.m_playback->press(control);
        return;
    }
    if (w.m_local->active()) {
        int control = playbackControlOf(action);
        if (action == KeyAction::PlayPause) {
            const LocalPlayer* player = w.m_local->player();
            const bool playing = player != nullptr && (player->mode() == LocalMode::Forward ||
                                                       player->mode() == LocalMode::Reverse);
            control = playing ? 4 : 3;
        }
        w.m_local->press(control);
        return;
    }
    if (key == QKeySequence(Qt::Key_Space))
        if (auto* focused = qobject_cast<QAbstractButton*>(QApplication::focusWidget()))
            focused->animateClick();
}

void MainWindow::setUpKeys() {
    m_keys = new MainWindowKeys(*this, loadKeyMap(m_store));
    // The buttons take the focus with Tab (never with a click, which leaves it where it was)
    // and press with Space and Enter.
    for (const auto& [id, b] : m_buttons) {
        b->setFocusPolicy(Qt::TabFocus);
        b->setAutoDefault(true);
    }
}

void MainWindow::reloadKeys() {
    if (m_keys != nullptr)
        m_keys->setKeyMap(loadKeyMap(m_store));
}

} // namespace kalder
