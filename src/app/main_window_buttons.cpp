// The main window's buttons: where they sit on the frame, their skins and captions, and what
// each does.
#include "app/main_window.h"

#include "ui/clock_display.h"
#include "setup/local/local_setup_window.h"
#include "resources/resource_ids.h"
#include "resources/resource_library.h"
#include "video/video_layout.h"
#include "video/video_window.h"
#include "files/local_log.h"
#include "session/recorder_session.h"
#include "session/window_message.h"
#include "ui/skin_button.h"
#include "ui/skin_slider.h"

#include <QGuiApplication>
#include <QScreen>

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
    {360, "Connect", 200, 10, 64, 24},  {361, "RSearch", 266, 10, 64, 24},
    {362, "RSetup", 332, 10, 64, 24},   {363, "LSearch", 398, 10, 64, 24},
    {364, "LSetup", 464, 10, 64, 24},   {374, "FirmUp", 530, 10, 64, 24},
    {372, "Save", 596, 10, 64, 24},     {373, "Load", 662, 10, 64, 24},
    {377, "Min", 862, 12, 20, 18},      {365, "Quit", 886, 12, 20, 18},
    {300, "1", 53, 42, 26, 22},         {301, "2", 80, 42, 26, 22},
    {302, "3", 107, 42, 26, 22},        {303, "4", 134, 42, 26, 22},
    {304, "5", 161, 42, 26, 22},        {305, "6", 188, 42, 26, 22},
    {306, "7", 215, 42, 26, 22},        {307, "8", 242, 42, 26, 22},
    {308, "9", 269, 42, 26, 22},        {309, "10", 296, 42, 26, 22},
    {310, "11", 323, 42, 26, 22},       {311, "12", 350, 42, 26, 22},
    {312, "13", 377, 42, 26, 22},       {313, "14", 404, 42, 26, 22},
    {314, "15", 431, 42, 26, 22},       {315, "16", 458, 42, 26, 22},
    {320, "1", 530, 42, 26, 22},        {321, "4", 557, 42, 26, 22},
    {322, "6", 584, 42, 26, 22},        {323, "7", 611, 42, 26, 22},
    {324, "8", 638, 42, 26, 22},        {325, "9", 665, 42, 26, 22},
    {326, "10", 692, 42, 26, 22},       {327, "13", 719, 42, 26, 22},
    {328, "16", 746, 42, 26, 22},       {329, "Full", 780, 42, 54, 22},
    {369, "Live", 196, 642, 64, 24},    {370, "OSD", 262, 642, 64, 24},
    {371, "Arrange", 328, 642, 64, 24}, {378, "Audio", 394, 642, 64, 24},
    {366, "Sound", 196, 669, 64, 24},   {368, "SelAudio", 262, 669, 64, 24},
    {376, "Mike", 328, 669, 64, 24},    {340, "1", 514, 650, 28, 22},
    {341, "2", 544, 650, 28, 22},       {342, "3", 574, 650, 28, 22},
    {343, "4", 604, 650, 28, 22},       {344, "5", 634, 650, 28, 22},
    {345, "6", 664, 650, 28, 22},       {346, "7", 694, 650, 28, 22},
    {355, "Pan", 730, 650, 44, 22},     {356, "Zoom", 776, 650, 44, 22},
};

// Disabled at start: the playback controls (the playback features enable them) and Live
// (usable once logged in).
bool disabledAtStart(int controlId) {
    return (controlId >= 340 && controlId <= 343) || controlId == 346 || controlId == 369;
}

constexpr int kFirstChannelButton = 300;
constexpr int kFirstLayoutButton = 320;
constexpr int kFullButton = 329;
constexpr int kConnectButton = 360;
constexpr int kRemoteSearchButton = 361;
constexpr int kRemoteSetupButton = 362;
constexpr int kLocalSetupButton = 364;
constexpr int kQuitButton = 365;
constexpr int kLiveButton = 369;
constexpr int kOsdButton = 370;
constexpr int kArrangeButton = 371;
constexpr int kMinButton = 377;

// The rights notification.
constexpr Notification kNoRight{15, 0};

} // namespace

void MainWindow::createButtons() {
    for (const ButtonPlace& place : kButtons) {
        const int id = place.controlId;
        auto* button =
            new SkinButton(id, res::mainButtonSkin(id, false), res::mainButtonSkin(id, true), this);
        button->setObjectName(QStringLiteral("button%1").arg(id));
        const QString caption = QString::fromLatin1(place.caption);
        button->setAccessibleName(caption);
        button->setToolTip(caption);
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

// The local player's position slider and the volume slider. Both stay disabled until local
// playback and sound output exist in this client.
void MainWindow::createSliders() {
    struct SliderPlace {
        int controlId;
        const char* caption;
        int groove;
        int thumb;
        QRect rect;
    };
    const SliderPlace sliders[] = {
        {420, "Slider1", res::kPositionSliderGroove, res::kPositionSliderThumb,
         QRect(514, 678, 208, 16)},
        {421, "Slider2", res::kVolumeSliderGroove, res::kVolumeSliderThumb,
         QRect(730, 678, 90, 16)},
    };
    for (const SliderPlace& place : sliders) {
        auto* slider = new SkinSlider(place.controlId, place.groove, place.thumb, this);
        slider->setObjectName(QStringLiteral("slider%1").arg(place.controlId));
        slider->setAccessibleName(QString::fromLatin1(place.caption));
        slider->setGeometry(place.rect);
        slider->setEnabled(false);
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
        if (SkinButton* b = button(kFirstLayoutButton + i))
            b->setPressedLook(kLayoutCells[static_cast<std::size_t>(i)] == layoutCells);
}

void MainWindow::onButton(int controlId) {
    if (controlId >= kFirstChannelButton && controlId < kFirstChannelButton + 16) {
        if (m_videoWindow) {
            m_videoWindow->showChannel(controlId - kFirstChannelButton);
            showLayoutPressed(m_videoWindow->layoutModel().layout());
        }
        return;
    }
    if (controlId >= kFirstLayoutButton && controlId < kFirstLayoutButton + kLayoutCount) {
        onLayoutButton(controlId - kFirstLayoutButton);
        return;
    }
    switch (controlId) {
    case kFullButton:
        onFullButton();
        return;
    case kConnectButton:
        pressConnect();
        return;
    case kRemoteSearchButton:
        // The search window does not exist yet; a user without the right is still told so.
        if (m_session && m_session->loggedIn() && !m_session->status().maySearch() &&
            !m_session->status().mayBackup())
            showNotification(kNoRight);
        return;
    case kRemoteSetupButton:
        if (m_session && m_session->loggedIn() && !m_session->status().maySetup())
            showNotification(kNoRight);
        return;
    case kLocalSetupButton:
        openLocalSetup();
        return;
    case kQuitButton:
        quit();
        return;
    case kLiveButton:
        onLiveButton();
        return;
    case kOsdButton:
        if (m_videoWindow)
            m_videoWindow->toggleOverlays();
        return;
    case kArrangeButton:
        if (m_videoWindow)
            m_videoWindow->resetArrangement();
        return;
    case kMinButton:
        showMinimized();
        return;
    default:
        // Buttons of features this client does not have yet do nothing.
        return;
    }
}

// Pressing the layout shown again turns to its next page.
void MainWindow::onLayoutButton(int index) {
    if (m_videoWindow == nullptr)
        return;
    m_videoWindow->selectLayout(kLayoutCells[static_cast<std::size_t>(index)]);
    showLayoutPressed(m_videoWindow->layoutModel().layout());
}

void MainWindow::onLiveButton() {
    if (!m_session || !m_session->loggedIn())
        return;
    if (m_session->live().liveOn())
        m_session->live().stopLive();
    else
        m_session->live().startLive();
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
    configureLocalLog({std::filesystem::path(m_settings.location.toStdString()), m_removableMode,
                       m_timeZoneOffsetSeconds});
    if (m_clock)
        m_clock->setDateOrder(dateOrderFromSetting(static_cast<int>(m_settings.dateFormat)));
    m_host.setDateFormat(static_cast<int>(m_settings.dateFormat));
    if (!drawModeChanged || m_shuttingDown)
        return;
    // The drawing path is chosen when a decoder starts: live view stops while the window is
    // made again and then starts anew.
    // Decoders exist from the live request on, before live view is marked on.
    const bool wasLive =
        m_session && (m_session->live().liveOn() || m_session->live().liveRequestPending());
    if (wasLive)
        m_session->live().stopLive();
    destroyVideoWindow();
    createVideoWindow();
    if (wasLive)
        m_session->live().startLive();
}

} // namespace kalder
