// The main window without a recorder: program options, the time-zone offset, the notification
// box's layout, the frame and its buttons, and the session tags of posted messages.
#include "ui/notification_box.h"
#include "decode/decoder_init_error_event.h"
#include "program_start.h"
#include "resources/resource_library.h"
#include "video/video_window.h"
#include "files/local_log.h"
#include "main_window_harness.h"
#include "session/recorder_session.h"
#include "session/search_exchange.h"
#include "session/window_message.h"
#include "ui/skin_button.h"
#include "video/full_screen_bar.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kalder {
namespace {

TEST(ProgramOptions, ParsesAndRefuses) {
    struct Case {
        QStringList args;
        bool ok;
        std::string host;
        std::uint16_t port;
    };
    const Case cases[] = {
        {{}, true, "", 2000},
        {{"--connect", "127.0.0.1:4000", "--user", "admin", "--password", "1234"},
         true,
         "127.0.0.1",
         4000},
        {{"--connect", "recorder", "--user", "a", "--password", "b"}, true, "recorder", 2000},
        {{"--connect", "h:65535"}, false, "", 0},
        {{"--connect", "h:0"}, false, "", 0},
        {{"--connect", ":80"}, false, "", 0},
        {{"--user", "admin"}, false, "", 0}, // a user without a recorder to connect to
        {{"--connect", "h", "--user", "seventeen-letters"}, false, "", 0},
        {{"--bogus"}, false, "", 0},
        {{"--connect"}, false, "", 0},
    };
    for (const Case& c : cases) {
        QString error;
        const auto options = parseProgramOptions(c.args, error);
        EXPECT_EQ(options.has_value(), c.ok) << c.args.join(' ').toStdString();
        if (options && c.ok) {
            EXPECT_EQ(options->host, c.host);
            EXPECT_EQ(options->port, c.port);
        }
        if (!c.ok) {
            EXPECT_FALSE(error.isEmpty());
        }
    }
    QString error;
    EXPECT_TRUE(parseProgramOptions({"--removable"}, error)->forceRemovable);
}

// The password stays out of the process list: standard input first, then the environment; a
// --password on the command line still works and wins over the environment.
TEST(ProgramOptions, PasswordFromStandardInputOrTheEnvironment) {
    QString error;
    auto fromStdin = parseProgramOptions({"--connect", "h", "--password-stdin"}, error);
    ASSERT_TRUE(fromStdin);
    char line[] = "s3cret\r\nnext line\n";
    std::FILE* in = fmemopen(line, sizeof line - 1, "r");
    EXPECT_TRUE(takeProgramPassword(*fromStdin, "from-env", in, error));
    std::fclose(in);
    EXPECT_EQ(fromStdin->password, "s3cret");

    char empty[] = "";
    in = fmemopen(empty, 0, "r");
    auto noLine = parseProgramOptions({"--connect", "h", "--password-stdin"}, error);
    EXPECT_FALSE(takeProgramPassword(*noLine, nullptr, in, error));
    std::fclose(in);

    auto fromEnv = parseProgramOptions({"--connect", "h"}, error);
    EXPECT_TRUE(takeProgramPassword(*fromEnv, "from-env", nullptr, error));
    EXPECT_EQ(fromEnv->password, "from-env");
    auto tooLong = parseProgramOptions({"--connect", "h"}, error);
    EXPECT_FALSE(takeProgramPassword(*tooLong, "seventeen-letters", nullptr, error));
    auto given = parseProgramOptions({"--connect", "h", "--password", "1234"}, error);
    EXPECT_TRUE(takeProgramPassword(*given, "from-env", nullptr, error));
    EXPECT_EQ(given->password, "1234");
    EXPECT_FALSE(parseProgramOptions({"--password-stdin"}, error)); // nothing to connect to
}

TEST(ProgramStart, TimeZoneOffsetIsLocalMinusUtc) {
    const QByteArray saved = qgetenv("TZ");
    struct Case {
        const char* zone;
        std::time_t when;
        int offset;
    };
    const Case cases[] = {
        {"UTC0", 1700000000, 0},
        {"JST-9", 1700000000, 9 * 3600},
        {"EST5EDT,M3.2.0,M11.1.0", 1700000000, -5 * 3600}, // 14 November: standard time
        {"EST5EDT,M3.2.0,M11.1.0", 1690000000, -4 * 3600}, // 22 July: daylight saving
        {"IST-5:30", 1700000000, 5 * 3600 + 1800},
    };
    for (const Case& c : cases) {
        qputenv("TZ", c.zone);
        tzset();
        EXPECT_EQ(timeZoneOffsetSeconds(c.when), c.offset) << c.zone;
    }
    if (saved.isEmpty())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved);
    tzset();
}

TEST(NotificationLayout, LinesAndButtons) {
    EXPECT_EQ(notificationLineTops(1), std::vector<int>({45}));
    EXPECT_EQ(notificationLineTops(2), std::vector<int>({22, 45}));
    EXPECT_EQ(notificationLineTops(3), std::vector<int>({22, 45, 68}));
    // Lines of one line each keep those tops; a wrapped line pushes the rest down, the block
    // centred above the buttons' separator.
    EXPECT_EQ(notificationLinePlaces({17, 17}, 92), std::vector<int>({22, 45}));
    EXPECT_EQ(notificationLinePlaces({34, 17}, 92), std::vector<int>({20, 54}));
    EXPECT_EQ(notificationLinePlaces({34, 34, 34}, 92), std::vector<int>({14, 48, 82}));
    EXPECT_EQ(notificationButtonPlaces(NotificationButtons::Ok),
              (NotificationButtonPlaces{111, -1}));
    EXPECT_EQ(notificationButtonPlaces(NotificationButtons::Cancel),
              (NotificationButtonPlaces{-1, 111}));
    EXPECT_EQ(notificationButtonPlaces(NotificationButtons::OkCancel),
              (NotificationButtonPlaces{50, 158}));
}

// Every box of the table: its lines inside the box, clear of its edges, wrapped rather than
// cut, one under the other and above the buttons.
TEST(NotificationBoxWidget, EveryBoxKeepsItsTextInside) {
    constexpr int kClear = 10; // pixels of the box's face left free at each side
    for (const NotificationEntry& entry : notificationTable()) {
        SCOPED_TRACE(std::to_string(entry.notification.category) + "," +
                     std::to_string(entry.notification.detail));
        NotificationBox box(entry, 255, nullptr,
                            QStringLiteral("A detail line long enough to be shortened in its "
                                           "middle: /a/folder/deep/down/in/the/data/folder"));
        ASSERT_EQ(box.size(), QSize(308, 136));
        int previousBottom = 0;
        for (int i = 0; i < box.lines().size(); ++i) {
            const auto* label = box.findChild<QLabel*>(QStringLiteral("line%1").arg(i));
            ASSERT_NE(label, nullptr);
            const QRect r = label->geometry();
            EXPECT_GE(r.left(), kClear);
            EXPECT_LE(r.right(), 308 - kClear);
            EXPECT_TRUE(label->wordWrap());
            EXPECT_GE(r.height(), label->heightForWidth(r.width()))
                << "a wrapped line is shown whole: " << label->text().toStdString();
            EXPECT_GE(r.top(), previousBottom) << "lines do not overlap";
            EXPECT_LE(r.top() + label->heightForWidth(r.width()), 103) << "text above the buttons";
            previousBottom = r.top() + label->heightForWidth(r.width());
        }
    }
}

TEST(NotificationBoxWidget, BuildsTheTableRow) {
    struct Case {
        Notification notification;
        std::size_t lines;
        int okX;
        int cancelX;
    };
    const Case cases[] = {
        {{1, 1}, 1, 111, -1},
        {{3, 3}, 2, 111, -1},
        {{15, 0}, 1, 111, -1},
        {{7, 0}, 3, 50, 158},
    };
    for (const Case& c : cases) {
        const NotificationEntry* entry = findNotificationEntry(c.notification);
        ASSERT_NE(entry, nullptr);
        NotificationBox box(*entry, 255, nullptr);
        EXPECT_EQ(box.size(), QSize(308, 136));
        const QList<QLabel*> labels = box.findChildren<QLabel*>();
        ASSERT_EQ(labels.size(), static_cast<qsizetype>(c.lines));
        for (std::size_t i = 0; i < c.lines; ++i) {
            const auto* label = box.findChild<QLabel*>(QStringLiteral("line%1").arg(i));
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->text(), resourceText(notificationLines(*entry)[i]));
            EXPECT_FALSE(label->text().isEmpty());
        }
        auto* ok = box.findChild<SkinButton*>(QStringLiteral("okButton"));
        auto* cancel = box.findChild<SkinButton*>(QStringLiteral("cancelButton"));
        EXPECT_EQ(ok ? ok->geometry() : QRect(), c.okX < 0 ? QRect() : QRect(c.okX, 103, 100, 27));
        EXPECT_EQ(cancel ? cancel->geometry() : QRect(),
                  c.cancelX < 0 ? QRect() : QRect(c.cancelX, 103, 100, 27));
    }
}

TEST(MainWindowFrame, SizeButtonsShapeAndStartEntry) {
    test::MainWindowHarness harness;
    {
        MainWindow window(harness.config());
        window.show();
        EXPECT_EQ(window.size(), QSize(928, 698));
        EXPECT_EQ(window.minimumSize(), window.maximumSize());
        EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
        EXPECT_EQ(window.windowTitle(), QStringLiteral("H264"));
        ASSERT_NE(window.videoWindow(), nullptr);
        EXPECT_EQ(window.videoWindow()->geometry(), QRect(53, 72, 815, 548));

        // Every button of the frame, with its caption.
        const std::pair<int, const char*> buttons[] = {
            {300, "1"},       {315, "16"},       {320, "1"},       {328, "16"},
            {329, "Full"},    {340, "1"},        {344, "5"},       {346, "7"},
            {355, "Pan"},     {356, "Zoom"},     {360, "Connect"}, {361, "RSearch"},
            {362, "RSetup"},  {363, "LSearch"},  {364, "LSetup"},  {365, "Quit"},
            {366, "Sound"},   {368, "SelAudio"}, {369, "Live"},    {370, "OSD"},
            {371, "Arrange"}, {372, "Save"},     {373, "Load"},    {374, "FirmUp"},
            {376, "Mike"},    {377, "Min"},      {378, "Audio"}};
        for (const auto& [id, caption] : buttons) {
            SkinButton* b = window.button(id);
            ASSERT_NE(b, nullptr) << id;
            EXPECT_EQ(b->controlId(), id);
            EXPECT_EQ(b->accessibleName(), QLatin1String(caption)) << id;
            EXPECT_TRUE(window.rect().contains(b->geometry())) << id;
        }
        for (int id : {420, 421}) {
            const auto* slider = window.findChild<QWidget*>(QStringLiteral("slider%1").arg(id));
            ASSERT_NE(slider, nullptr) << id;
            EXPECT_EQ(slider->accessibleName(),
                      QLatin1String(id == 420 ? "Playback position" : "Volume"));
            // The volume slider works when the PC has a sound output.
            const bool usable = id == 421 && window.audio().soundDeviceAvailable();
            EXPECT_EQ(slider->isEnabled(), usable) << id;
        }
        EXPECT_FALSE(window.button(340)->isEnabled()) << "playback controls wait for playback";
        EXPECT_FALSE(window.button(369)->isEnabled()) << "Live waits for a login";
        EXPECT_TRUE(window.button(344)->isEnabled());

        // The frame's corners are cut out; the middle and the edges' centres stay.
        const QRegion shape = window.mask();
        ASSERT_FALSE(shape.isEmpty());
        EXPECT_FALSE(shape.contains(QPoint(0, 0)));
        EXPECT_FALSE(shape.contains(QPoint(927, 697)));
        EXPECT_TRUE(shape.contains(QPoint(464, 349)));
        EXPECT_TRUE(shape.contains(QPoint(464, 2)));
        EXPECT_TRUE(shape.contains(QPoint(60, 349)));

        // Layout buttons: the 4-cell layout, then its next page by pressing it again.
        QTest::mouseClick(window.button(321), Qt::LeftButton);
        EXPECT_EQ(window.videoWindow()->layoutModel().layout(), 4);
        EXPECT_TRUE(window.button(321)->pressedLook());
        EXPECT_FALSE(window.button(328)->pressedLook());
        // No recorder streams, so no page shows a present channel: the page stays.
        QTest::mouseClick(window.button(370), Qt::LeftButton);
        EXPECT_FALSE(window.videoWindow()->osdEnabled());
        // Buttons of features not built yet do nothing.
        QTest::mouseClick(window.button(372), Qt::LeftButton);
        QTest::mouseClick(window.button(361), Qt::LeftButton);
        EXPECT_EQ(window.notificationBox(), nullptr);
        EXPECT_TRUE(QDir(harness.dataFolder() + "/Upgrade").exists());

        // Full screen on the monitor of the window's centre, and back to the same place.
        QTest::mouseClick(window.button(329), Qt::LeftButton);
        ASSERT_TRUE(window.videoWindow()->fullScreen());
        EXPECT_EQ(window.videoWindow()->geometry(), QGuiApplication::primaryScreen()->geometry());
        // The bar's 9 chooses the 9-cell layout, and the frame's 9 shows it when full screen
        // ends.
        FullScreenBar* bar = window.videoWindow()->fullScreenBar();
        ASSERT_NE(bar, nullptr);
        SkinButton* nine = nullptr;
        for (SkinButton* b : bar->findChildren<SkinButton*>())
            if (b->controlId() == FullScreenBar::kFirstButtonId + 5)
                nine = b;
        ASSERT_NE(nine, nullptr);
        bar->show();
        QTest::mouseClick(nine, Qt::LeftButton);
        EXPECT_EQ(window.videoWindow()->layoutModel().layout(), 9);
        EXPECT_TRUE(nine->pressedLook());
        window.videoWindow()->leaveFullScreen();
        EXPECT_FALSE(window.videoWindow()->fullScreen());
        EXPECT_TRUE(window.button(325)->pressedLook()) << "the 9-cell button";
        EXPECT_FALSE(window.button(321)->pressedLook());
        EXPECT_EQ(window.videoWindow()->parentWidget(), &window);
        EXPECT_EQ(window.videoWindow()->geometry(), QRect(53, 72, 815, 548));
    }
    // Start and exit entries of the local log.
    const auto entries = readLocalLog(localLogFilePath(harness.dataFolder().toStdString()));
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 2u);
    const auto& first = entries->front();
    const auto& second = entries->back();
    EXPECT_EQ(first.kind, kLogKindProgram);
    EXPECT_EQ(first.event, kLogEventProgramStart);
    EXPECT_EQ(second.kind, kLogKindProgram);
    EXPECT_EQ(second.event, kLogEventProgramExit);
}

TEST(MainWindowFrame, DragsByTheFrameAndShowsTheDecoderInitError) {
    test::MainWindowHarness harness;
    MainWindow window(harness.config());
    window.move(100, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // (150, 20) lies on the frame between the title band's buttons.
    ASSERT_EQ(window.childAt(150, 20), nullptr);
    const QPoint start = window.pos();
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(150, 20));
    QTest::mouseMove(&window, QPoint(190, 50));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(190, 50));
    EXPECT_EQ(window.pos(), start + QPoint(40, 30));

    // The error of a decoder of another session is dropped by its tag; only the untagged one
    // (a decoder of no session) is shown.
    postDecoderInitError(&window, 5, window.acceptedSessionGeneration() + 1);
    postDecoderInitError(&window, 3);
    QCoreApplication::processEvents();
    const auto boxes = window.findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0]->text(), QString::fromLatin1(kDecoderInitErrorText));
}

TEST(MainWindowFrame, RemovableModeNeverConnects) {
    test::MainWindowHarness harness;
    MainWindowConfig config = harness.config(true);
    config.removableMode = true;
    MainWindow window(config);
    window.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.connectDialog(), nullptr);
    QTest::mouseClick(window.button(360), Qt::LeftButton);
    EXPECT_EQ(window.connectDialog(), nullptr);
    EXPECT_EQ(window.session(), nullptr);
    EXPECT_FALSE(QDir(harness.dataFolder() + "/Upgrade").exists());
}

TEST(MainWindowSession, MessagesOfAnEndedSessionAreDroppedByTheirTag) {
    // A recorder that takes the connection and never answers: the sessions wait for a login.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ConnectRequest request;
    request.address = "127.0.0.1";
    request.port = ntohs(address.sin_port);
    request.userId = "admin";

    test::MainWindowHarness harness;
    {
        MainWindow window(harness.config());
        window.show();
        window.connectTo(request);
        ASSERT_NE(window.session(), nullptr);
        const std::uint64_t ended = window.session()->generation();
        EXPECT_NE(ended, 0u);
        // The Connect button drops the session; its disconnect order has posted, among others,
        // the released Connect button. The next session starts before any of it is delivered.
        QTest::mouseClick(window.button(360), Qt::LeftButton);
        ASSERT_EQ(window.session(), nullptr);
        window.connectTo(request);
        ASSERT_NE(window.session(), nullptr);
        const std::uint64_t current = window.session()->generation();
        EXPECT_NE(current, ended);
        EXPECT_NE(current, 0u);
        EXPECT_EQ(window.acceptedSessionGeneration(), current);

        QCoreApplication::processEvents();
        EXPECT_TRUE(window.button(360)->pressedLook()) << "the ended session's messages are late";
        EXPECT_EQ(window.notificationBox(), nullptr);

        auto post = [&](int message, ButtonLook look, std::uint64_t generation) {
            QCoreApplication::postEvent(
                &window,
                new WindowMessageEvent(message, static_cast<std::uintptr_t>(look), 0, generation));
            QCoreApplication::processEvents();
        };
        post(WindowMessage::LiveButton, ButtonLook::Pressed, ended);
        EXPECT_FALSE(window.button(369)->pressedLook());
        post(WindowMessage::LiveButton, ButtonLook::Pressed, current);
        EXPECT_TRUE(window.button(369)->pressedLook());
        // Generation 0 belongs to no session and is always handled.
        post(WindowMessage::LiveButton, ButtonLook::Released, 0);
        EXPECT_FALSE(window.button(369)->pressedLook());
    }
    ::close(listener);
}

TEST(MainWindowSession, EveryPostedMessageHasOneFeature) {
    test::MainWindowHarness harness;
    MainWindow window(harness.config());
    const MessageRouter& router = window.router();
    EXPECT_TRUE(router.duplicates().empty());
    EXPECT_TRUE(router.unrouted(kAllWindowMessages).empty());
    const int search[] = {WindowMessage::SearchYearsReady, WindowMessage::SearchEventsReady,
                          WindowMessage::SearchDaySegmentsReady, WindowMessage::BackupYearsReady,
                          WindowMessage::BackupDaySegmentsReady};
    EXPECT_TRUE(router.unrouted(search).empty());
    EXPECT_EQ(router.routeOf(WindowMessage::PtzMove), "ptz");
    EXPECT_EQ(router.routeOf(WindowMessage::BackupProgressClose), "backup");
    EXPECT_EQ(router.routeOf(WindowMessage::RecordReply), "ignored");
    EXPECT_EQ(router.routeOf(MainWindow::kStartupFinished), "program");
    for (const int target :
         {CloseTarget::FirmwareUpgrade, CloseTarget::RequestWindow, CloseTarget::RemoteSetup,
          CloseTarget::PtzPanel, CloseTarget::PtzPresetKeypad, CloseTarget::DomeMenu,
          CloseTarget::BackupProgress, CloseTarget::MainPasswordPrompt})
        EXPECT_FALSE(router.closeRouteOf(target).isEmpty()) << target;
    // A message of no feature is dropped without harm.
    QCoreApplication::postEvent(&window, new WindowMessageEvent(21199, 0, 0));
    QCoreApplication::postEvent(&window,
                                new WindowMessageEvent(WindowMessage::CloseWindow, 9999, 0));
    QCoreApplication::processEvents();
}

} // namespace
} // namespace kalder
