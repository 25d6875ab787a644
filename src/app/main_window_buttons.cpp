// The main window's buttons: where they sit on the frame, their skins and captions, and what
// each does.
#include "app/main_window.h"

#include "app/main_window_controls.h"
#include "ui/clock_display.h"
#include "setup/local/local_setup_window.h"
#include "resources/resource_ids.h"
#include "resources/resource_library.h"
#include "video/video_layout.h"
#include "video/video_window.h"
#include "files/local_log.h"
#include "session/recorder_session.h"
#include "session/window_message.h"
#include "app/search_modes.h"
#include "info/info_views.h"
#include "search/search_window.h"
#include "ui/skin_button.h"
#include "ui/skin_slider.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>

#include <filesystem>
#include <functional>

namespace kalder {

namespace {

struct ButtonPlace {
    int controlId;
    const char* caption;
    int x;
    int y;
    // Used when the skin lacks the button's picture.
    int width;
    int height;
};

// Top band: the feature buttons, minimise and quit; below them the channel and layout buttons.
// Bottom band: live view, overlays and audio at the left of the playback clock, the playback
// and PTZ controls under it.
constexpr ButtonPlace kButtons[] = {
    {Control::Connect, "Connect", 200, 10, 64, 24},
    {Control::RemoteSearch, "RSearch", 266, 10, 64, 24},
    {Control::RemoteSetup, "RSetup", 332, 10, 64, 24},
    {Control::LocalSearch, "LSearch", 398, 10, 64, 24},
    {Control::LocalSetup, "LSetup", 464, 10, 64, 24},
    {Control::FirmwareUpgrade, "FirmUp", 530, 10, 64, 24},
    {Control::Save, "Save", 596, 10, 64, 24},
    {Control::Load, "Load", 662, 10, 64, 24},
    {Control::Minimise, "Min", 862, 12, 20, 18},
    {Control::Quit, "Quit", 886, 12, 20, 18},
    {Control::FirstChannel + 0, "1", 53, 42, 26, 22},
    {Control::FirstChannel + 1, "2", 80, 42, 26, 22},
    {Control::FirstChannel + 2, "3", 107, 42, 26, 22},
    {Control::FirstChannel + 3, "4", 134, 42, 26, 22},
    {Control::FirstChannel + 4, "5", 161, 42, 26, 22},
    {Control::FirstChannel + 5, "6", 188, 42, 26, 22},
    {Control::FirstChannel + 6, "7", 215, 42, 26, 22},
    {Control::FirstChannel + 7, "8", 242, 42, 26, 22},
    {Control::FirstChannel + 8, "9", 269, 42, 26, 22},
    {Control::FirstChannel + 9, "10", 296, 42, 26, 22},
    {Control::FirstChannel + 10, "11", 323, 42, 26, 22},
    {Control::FirstChannel + 11, "12", 350, 42, 26, 22},
    {Control::FirstChannel + 12, "13", 377, 42, 26, 22},
    {Control::FirstChannel + 13, "14", 404, 42, 26, 22},
    {Control::FirstChannel + 14, "15", 431, 42, 26, 22},
    {Control::FirstChannel + 15, "16", 458, 42, 26, 22},
    {Control::FirstLayout + 0, "1", 530, 42, 26, 22},
    {Control::FirstLayout + 1, "4", 557, 42, 26, 22},
    {Control::FirstLayout + 2, "6", 584, 42, 26, 22},
    {Control::FirstLayout + 3, "7", 611, 42, 26, 22},
    {Control::FirstLayout + 4, "8", 638, 42, 26, 22},
    {Control::FirstLayout + 5, "9", 665, 42, 26, 22},
    {Control::FirstLayout + 6, "10", 692, 42, 26, 22},
    {Control::FirstLayout + 7, "13", 719, 42, 26, 22},
    {Control::FirstLayout + 8, "16", 746, 42, 26, 22},
    {Control::Full, "Full", 780, 42, 54, 22},
    {Control::Live, "Live", 196, 642, 64, 24},
    {Control::Osd, "OSD", 262, 642, 64, 24},
    {Control::Arrange, "Arrange", 328, 642, 64, 24},
    {Control::Audio, "Audio", 394, 642, 64, 24},
    {Control::Sound, "Sound", 196, 669, 64, 24},
    {Control::SelectAudio, "SelAudio", 262, 669, 64, 24},
    {Control::Mike, "Mike", 328, 669, 64, 24},
    {Control::PlayFirst, "1", 514, 650, 28, 22},
    {Control::PlayBack, "2", 544, 650, 28, 22},
    {Control::PlayForward, "3", 574, 650, 28, 22},
    {Control::PlayPause, "4", 604, 650, 28, 22},
    {Control::Record, "5", 634, 650, 28, 22},
    {Control::PlayStop, "6", 664, 650, 28, 22},
    {Control::PlayLast, "7", 694, 650, 28, 22},
    {Control::Pan, "Pan", 730, 650, 44, 22},
    {Control::Zoom, "Zoom", 776, 650, 44, 22},
};

// Disabled at start: the playback controls (the playback features enable them) and Live
// (usable once logged in).
bool disabledAtStart(int controlId) {
    return (controlId >= Control::PlayFirst && controlId <= Control::PlayPause) ||
           controlId == Control::PlayLast || controlId == Control::Live;
}

constexpr int kVolumeSlider = 421;

// What a button does, from the resource library: 7000 + its id - 300; the channel and layout
// buttons share one text each, with the channel or the number of cells put in.
QString buttonToolTip(int controlId) {
    if (controlId >= Control::FirstChannel && controlId < Control::FirstChannel + 16)
        return resourceText(7000).arg(controlId - Control::FirstChannel + 1);
    if (controlId >= Control::FirstLayout && controlId < Control::FirstLayout + kLayoutCount)
        return resourceText(7020).arg(
            kLayoutCells[static_cast<std::size_t>(controlId - Control::FirstLayout)]);
    return resourceText(7000 + controlId - 300);
}

} // namespace

void MainWindow::createButtons() {
    for (const ButtonPlace& place : kButtons) {
        const int id = place.controlId;
        auto* button =
            new SkinButton(id, res::mainButtonSkin(id, false), res::mainButtonSkin(id, true), this);
        button->setObjectName(QStringLiteral("button%1").arg(id));
        const QString caption = QString::fromLatin1(place.caption);
        button->setAccessibleName(caption);
        button->setToolTip(buttonToolTip(id));
        const QImage face = resourcePicture(res::mainButtonSkin(id, false));
        if (face.isNull()) {
            // Without the skin the caption is drawn over a plain face.
            button->setText(caption);
            button->setGeometry(place.x, place.y, place.width, place.height);
        } else {
            button->setGeometry(QRect(QPoint(place.x, place.y), face.size()));
        }
        button->setEnabled(!disabledAtStart(id));
        connect(button, &QAbstractButton::clicked, this, [this, id] { onButton(id); });
        m_buttons[id] = button;
    }
}

// The local player's position slider (disabled until local playback exists in this client) and
// the volume slider (0-65,535, from 40,000; usable when a sound output device exists).
void MainWindow::createSliders() {
    struct SliderPlace {
        int controlId;
        const char* caption;
        int toolTipId;
        int groove;
        int thumb;
        QRect rect;
    };
    const SliderPlace sliders[] = {
        // The frame names these two "Slider1" and "Slider2"; a screen reader says what they move.
        {420, "Playback position", 7120, res::kPositionSliderGroove, res::kPositionSliderThumb,
         QRect(514, 678, 208, 16)},
        {421, "Volume", 7121, res::kVolumeSliderGroove, res::kVolumeSliderThumb,
         QRect(730, 678, 90, 16)},
    };
    for (const SliderPlace& place : sliders) {
        auto* slider = new SkinSlider(place.controlId, place.groove, place.thumb, this);
        slider->setObjectName(QStringLiteral("slider%1").arg(place.controlId));
        slider->setAccessibleName(QString::fromLatin1(place.caption));
        slider->setToolTip(resourceText(place.toolTipId));
        slider->setGeometry(place.rect);
        slider->setEnabled(false);
        if (place.controlId != kVolumeSlider) {
            // Remote playback drives the position slider while it runs, the local player else.
            m_playback->setPositionSlider(slider);
            continue;
        }
        slider->setRange(0, MixerControl::kMaxVolume);
        slider->setPosition(MainWindowAudio::kStartVolume);
        slider->setEnabled(m_audio->soundDeviceAvailable());
        connect(slider, &SkinSlider::sliderMoved, this,
                [this](int, int v) { m_audio->setVolume(v); });
        connect(slider, &SkinSlider::sliderReleased, this,
                [this](int, int v) { m_audio->setVolume(v); });
    }
}

SkinButton* MainWindow::button(int controlId) const {
    const auto found = m_buttons.find(controlId);
    return found == m_buttons.end() ? nullptr : found->second;
}

void MainWindow::setButtonLook(int controlId, int look) {
    SkinButton* target = button(controlId);
    if (target == nullptr)
        return;
    switch (static_cast<ButtonLook>(look)) {
    case ButtonLook::Usable:
        target->setEnabled(true);
        break;
    case ButtonLook::Pressed:
        target->setEnabled(true);
        target->setPressedLook(true);
        break;
    case ButtonLook::Released:
        target->setPressedLook(false);
        break;
    }
}

// Shows the button of `layoutCells` pressed and the other layout buttons released (0: all).
void MainWindow::showLayoutPressed(int layoutCells) {
    for (int i = 0; i < kLayoutCount; ++i)
        if (SkinButton* b = button(Control::FirstLayout + i))
            b->setPressedLook(kLayoutCells[static_cast<std::size_t>(i)] == layoutCells);
}

void MainWindow::onButton(int controlId) {
    if (controlId >= Control::FirstChannel && controlId < Control::FirstChannel + 16) {
        if (m_videoWindow) {
            if (ptzDomeMenuActive())
                return; // the dome's own menu keeps the picture as it is
            m_videoWindow->showChannel(controlId - Control::FirstChannel);
            showLayoutPressed(m_videoWindow->layoutModel().layout());
        }
        return;
    }
    if (controlId >= Control::FirstLayout && controlId < Control::FirstLayout + kLayoutCount) {
        onLayoutButton(controlId - Control::FirstLayout);
        return;
    }
    // While the recorder's configuration is being fetched, edited or saved, the windows that
    // search, replay or change what it describes do not open.
    if (session() && session()->setup().busy()) {
        switch (controlId) {
        case Control::RemoteSearch:
        case Control::LocalSearch:
        case Control::LocalSetup:
        case Control::Load:
        case Control::FirmwareUpgrade:
            return;
        default:
            break;
        }
    }
    switch (controlId) {
    case Control::PlayFirst:
    case Control::PlayBack:
    case Control::PlayForward:
    case Control::PlayPause:
    case Control::PlayStop:
    case Control::PlayLast:
        // The playback buttons call their control by their place: 1-4, 6 and 7.
        if (m_local->active()) {
            m_local->press(controlId - Control::PlayFirst + 1);
            return;
        }
        if (m_playback->active())
            m_playback->press(static_cast<PlayControl>(controlId - Control::PlayFirst + 1));
        return;
    case Control::Full:
        onFullButton();
        return;
    case Control::Connect:
        pressConnect();
        return;
    case Control::RemoteSearch:
        openSearchWindow();
        return;
    case Control::RemoteSetup:
        onRemoteSetupButton();
        return;
    case Control::LocalSearch:
        m_local->openSearchWindow(m_settings.location, m_settings.dateFormat);
        return;
    case Control::LocalSetup:
        openLocalSetup();
        return;
    case Control::Quit:
        quit();
        return;
    case Control::Live:
        onLiveButton();
        return;
    case Control::Osd:
        if (m_videoWindow)
            m_videoWindow->toggleOverlays();
        return;
    case Control::Arrange:
        if (m_videoWindow)
            m_videoWindow->resetArrangement();
        return;
    case Control::Minimise:
        showMinimized();
        return;
    case Control::Sound: {
        const bool muted = m_audio->toggleSound();
        setButtonLook(Control::Sound,
                      static_cast<int>(muted ? ButtonLook::Pressed : ButtonLook::Released));
        if (auto* volume = findChild<SkinSlider*>(QStringLiteral("slider%1").arg(kVolumeSlider)))
            volume->setEnabled(m_audio->soundDeviceAvailable() && !muted);
        return;
    }
    case Control::Audio:
        m_audio->toggleRecorderAudio();
        return;
    case Control::SelectAudio:
        // The channel that carries the sound alone in the window: there it is heard.
        if (const int channel = m_audio->audioChannel(); channel >= 0 && m_videoWindow) {
            m_videoWindow->showChannel(channel);
            showLayoutPressed(m_videoWindow->layoutModel().layout());
        }
        return;
    case Control::Mike:
        m_audio->toggleTalk();
        return;
    case Control::Record:
    case Control::Pan:
    case Control::Zoom:
    case Control::FirmwareUpgrade:
        onDeviceButton(controlId);
        return;
    case Control::Save:
        onSaveButton();
        return;
    case Control::Load:
        m_media.openImage(this);
        return;
    default:
        // Buttons of features this client does not have yet do nothing.
        return;
    }
}

// The playback buttons follow the rules of remote playback while it runs; `highlight` (2 reverse,
// 3 forward, 4 pause) is shown pressed.
void MainWindow::updatePlaybackButtons(int highlight) {
    if (m_local && m_local->active())
        return; // the local player keeps its own buttons
    const bool active = m_playback->active();
    for (int id = Control::PlayFirst; id <= Control::PlayLast; ++id) {
        if (id == Control::Record)
            continue;
        SkinButton* b = button(id);
        if (b == nullptr)
            continue;
        const auto control = static_cast<PlayControl>(id - Control::PlayFirst + 1);
        if (active)
            b->setEnabled(m_playback->buttonEnabled(control));
        else if (id != Control::PlayStop)
            b->setEnabled(false);
        if (!active || highlight != 0)
            b->setPressedLook(active && static_cast<int>(control) == highlight);
    }
}

// Pressing the layout shown again turns to its next page.
void MainWindow::onLayoutButton(int index) {
    if (m_videoWindow == nullptr || ptzDomeMenuActive())
        return;
    m_videoWindow->selectLayout(kLayoutCells[static_cast<std::size_t>(index)]);
    showLayoutPressed(m_videoWindow->layoutModel().layout());
}

void MainWindow::onLiveButton() {
    // Live view and remote playback share the channel decoders: not while playback runs.
    if (!session() || !session()->loggedIn() || m_playback->active() || m_local->active())
        return;
    const bool on = session()->live().liveOn();
    if (on)
        session()->live().stopLive();
    else
        session()->live().startLive();
    // A site's further recorders follow the first.
    for (const auto& link : m_links) {
        RecorderSession* other = link.get() != &featureLink() ? link->session() : nullptr;
        if (other == nullptr || !other->loggedIn())
            continue;
        if (on && (other->live().liveOn() || other->live().liveRequestPending()))
            other->live().stopLive();
        else if (!on && !other->live().liveOn() && !other->live().liveRequestPending())
            other->live().startLive();
    }
}

// Full screen on the monitor (of the first four) that holds the main window's centre.
void MainWindow::onFullButton() {
    if (m_videoWindow == nullptr || m_videoWindow->fullScreen())
        return;
    const QList<QScreen*> screens = QGuiApplication::screens().mid(0, 4);
    QList<QRect> workAreas;
    for (const QScreen* screen : screens)
        workAreas << screen->availableGeometry();
    const int index = VideoWindow::monitorFor(workAreas, mapToGlobal(rect().center()));
    if (index < 0)
        return;
    m_videoWindow->enterFullScreen(screens[index]->geometry());
}

void MainWindow::onRemoteSetupButton() {
    if (m_shuttingDown || !session() || !session()->loggedIn())
        return;
    if (!session()->status().maySetup()) {
        showNotification(kNoRight, resourceText(RightText::RemoteSetup));
        return;
    }
    session()->setup().RequestConfig(); // nothing while an exchange is in progress
}

// The record arrived whole: the setup window runs on a copy of it, and OK sends the copy back.
void MainWindow::openSetupWindow() {
    if (m_shuttingDown || !session() || !session()->loggedIn() || m_setupWindow)
        return;
    const std::optional<ConfigRecord> record = session()->setup().receivedRecord();
    if (!record) {
        session()->setup().endWithoutUpdate();
        return;
    }
    m_setupCopy = std::make_unique<ConfigRecord>(*record);
    const HelloRecord hello = session()->hello();
    SetupContext context;
    context.version = record->version();
    context.channelNum = session()->channelNum();
    context.subProductMajor = hello.sub_product_num_major;
    context.subProductMinor = hello.sub_product_num_minor;
    context.userIndex = session()->status().userIndex();
    context.featureBit0 = session()->featureBit0();
    context.featureBit1 = session()->featureBit1();
    context.tables = {session()->status().sysEtcInfo(), session()->status().sysEtcInfoEx(),
                      session()->status().sysEtcInfoExPresent(), session()->status().dstTable()};
    context.requestRecorderTime = [this] {
        if (session() && session()->loggedIn())
            session()->device().requestRecorderTime();
    };
    auto* window = new SetupWindow(*m_setupCopy, context, this);
    window->setServices(setupServices());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowOpacity(m_settings.opacityOf(OpacityKind::RemoteSetup) / 255.0);
    m_setupWindow = window;
    connect(window, &QDialog::finished, this, [this](int result) {
        if (session()) {
            if (result == QDialog::Accepted && session()->loggedIn() && m_setupCopy)
                session()->setup().SendConfigUpdate(*m_setupCopy);
            else
                session()->setup().endWithoutUpdate();
        }
        // The update holds its own bytes for a resend: the copy is not needed any more.
        m_setupCopy.reset();
    });
    window->open();
}

// The setup pages' requests to the session: a test mail while logged in, and the factory-reset
// confirmation box (16,0), whose OK resets the recorder and closes the setup window.
SetupServices MainWindow::setupServices() {
    SetupServices services;
    services.connected = [this] { return session() && session()->loggedIn(); };
    services.sendTestMail = [this](std::span<const std::byte> block) {
        if (session() && session()->loggedIn() && block.size() == kTestMailRequestSize)
            session()->device().sendTestMail(block.first<kTestMailRequestSize>());
    };
    services.confirmFactoryReset = [this] { showNotification({16, 0}); };
    return services;
}

void MainWindow::openLocalSetup() {
    if (m_shuttingDown)
        return;
    auto* window = new LocalSetupWindow(m_settings, m_store, m_removableMode, this);
    window->setObjectName(QStringLiteral("localSetupWindow"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowOpacity(m_settings.opacityOf(OpacityKind::LocalSetup) / 255.0);
    connect(window, &QDialog::finished, this, [this, window](int result) {
        if (result == QDialog::Accepted)
            applyLocalSetup(window->outcome().settings, window->outcome().drawModeChanged);
    });
    window->open();
}

void MainWindow::applyLocalSetup(const LocalSettings& settings, bool drawModeChanged) {
    m_settings = settings;
    for (const auto& link : m_links) // the next connect or try follows the setting
        link->setReconnectOn(m_settings.reconnect != 0);
    reloadKeys(); // the Keys page writes the key map to the store
    configureLocalLog({std::filesystem::path(m_settings.location.toStdString()), m_removableMode,
                       m_timeZoneOffsetSeconds});
    if (m_clock)
        m_clock->setDateOrder(dateOrderFromSetting(static_cast<int>(m_settings.dateFormat)));
    m_live.setDateFormat(static_cast<int>(m_settings.dateFormat));
    for (const auto& live : m_siteLive)
        live->setDateFormat(static_cast<int>(m_settings.dateFormat));
    m_audio->setBufferMultiples(m_settings.audioBuf);
    applyMediaSettings();
    if (m_videoWindow)
        m_videoWindow->feed().setCheaperSmallCells(m_settings.fasterSmallCells != 0);
    if (!drawModeChanged || m_shuttingDown)
        return;
    // The drawing path is chosen when a decoder starts: live view stops while the window is
    // made again and then starts anew. Decoders exist from the live request on, before live view
    // is marked on; the receive thread may start live view (a login) meanwhile, so the session
    // decides under its live control lock.
    // Every recorder of a site stops around it, each under its own live control lock.
    std::function<void(std::size_t)> around = [this, &around](std::size_t index) {
        if (index == m_links.size()) {
            destroyVideoWindow();
            createVideoWindow();
        } else if (RecorderSession* each = m_links[index]->session()) {
            each->live().restartAround([&around, index] { around(index + 1); });
        } else {
            around(index + 1);
        }
    };
    around(0);
}

// RSearch: the remote search window for an account with the search or backup right; an account
// with only the backup right cannot open it while a backup runs.
void MainWindow::openSearchWindow() {
    if (!session() || !session()->loggedIn() || m_shuttingDown)
        return;
    const bool search = session()->status().maySearch();
    const bool backup = session()->status().mayBackup();
    if (!search && !backup) {
        showNotification(kNoRight, resourceText(RightText::SearchOrBackup));
        return;
    }
    if (!search && session()->backupOn())
        return;
    if (m_searchWindow) {
        m_searchWindow->raise();
        return;
    }
    auto* window = new SearchWindow(*session(), m_settings.dateFormat, this, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setLocalPlaybackRunning(m_local->active()); // its Play buttons wait for the player
    m_searchWindow = window;
    window->setBackupFolder(std::filesystem::path(
        QFile::encodeName(m_settings.location + QStringLiteral("/Download")).toStdString()));
    // The Backup tab's MP4 and MKV keep or delete the set they download, as the local setting
    // says; the window's check box changes the setting.
    window->setKeepExportedSets(m_settings.exportKeepSet != 0);
    connect(window, &SearchWindow::keepExportedSetsChanged, this, [this](bool keep) {
        m_settings.exportKeepSet = keep ? 1 : 0;
        saveSettings(m_store, m_settings);
    });
    // The period the operator chose is played back; the playback time bar is drawn again for it.
    connect(window, &SearchWindow::playRequested, this, [this](const SearchPlayRequest& r) {
        update(QRect(QPoint(250, 630), QPoint(677, 644)));
        m_playback->play(r.start, r.end, r.channelMask, r.kindSelector);
    });
    // The Log and Info modes: the recorder's log and its information inside the window (after
    // playing from a log entry the window opens on the Log mode).
    installLogMode(*window, *session(), static_cast<int>(m_settings.dateFormat),
                   [this] { return m_local->active(); });
    installInfoMode(*window, *m_infoViews);
    window->open();
}

SearchWindow* MainWindow::searchWindow() const {
    return m_searchWindow;
}

} // namespace kalder
