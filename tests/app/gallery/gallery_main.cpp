// kalder-gallery --port PORT --admin-port PORT --out FOLDER
//
// Runs the desktop client's main window against a recorder simulator that is already running
// (16 channels, a recorded disk, its admin port open) on a real display, opens one after another
// every window, tab and page an operator can reach and saves a picture of each into FOLDER,
// with FOLDER/gallery.tsv listing them (file, caption, note; a window that could not be opened
// has no file and says why). Its last step starts four simulators of four channels of its own for
// the pictures of a site. scripts/gallery starts the simulator and the display and turns the
// list into an HTML page. Exits 1 only when the main window itself cannot be shown.
#include "gallery.h"

#include "program_start.h"
#include "decode/decoder_library.h"
#include "resources/resource_library.h"
#include "setup/local/local_settings.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <ctime>
#include <memory>

namespace {

struct Options {
    std::uint16_t port = 0;
    std::uint16_t adminPort = 0;
    QString out;
};

std::optional<Options> parseOptions(const QStringList& args) {
    Options o;
    for (int i = 0; i + 1 < args.size(); i += 2) {
        const QString& name = args[i];
        const QString& value = args[i + 1];
        if (name == QLatin1String("--port"))
            o.port = static_cast<std::uint16_t>(value.toUInt());
        else if (name == QLatin1String("--admin-port"))
            o.adminPort = static_cast<std::uint16_t>(value.toUInt());
        else if (name == QLatin1String("--out"))
            o.out = value;
        else
            return std::nullopt;
    }
    if (o.port == 0 || o.adminPort == 0 || o.out.isEmpty() || args.size() % 2 != 0)
        return std::nullopt;
    return o;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::optional<Options> options = parseOptions(QCoreApplication::arguments().mid(1));
    if (!options) {
        std::fputs("usage: kalder-gallery --port PORT --admin-port PORT --out FOLDER\n", stderr);
        return 2;
    }
    if (!QDir().mkpath(options->out)) {
        std::fprintf(stderr, "kalder-gallery: cannot make %s\n", qPrintable(options->out));
        return 2;
    }
    using namespace kalder;
    const QString programDir = QCoreApplication::applicationDirPath();
    loadResourceLibrary(programDir);

    // A settings file and a data folder of its own, so that nothing of the user's is touched.
    QTemporaryDir home;
    QSettings store(home.filePath(QStringLiteral("kalder.ini")), QSettings::IniFormat);
    const std::unique_ptr<DecoderLibrary> decoder =
        DecoderLibrary::open(std::filesystem::path(programDir.toStdString()) / "H264_D1.so");
    MainWindowConfig config;
    config.store = &store;
    config.settings = defaultLocalSettings(config.custom, home.path());
    config.settings.location = home.filePath(QStringLiteral("data"));
    config.timeZoneOffsetSeconds = timeZoneOffsetSeconds(std::time(nullptr));
    config.decoder = decoder.get();
    config.connectDialogAtStart = false;
    // No sound server is needed: the client behaves as a PC without a sound card.
    config.soundOutput = false;
    ConnectRequest request;
    request.address = "127.0.0.1";
    request.typedAddress = request.address;
    request.port = options->port;
    request.userId = "admin";
    request.password = "1234";
    config.connectAtStart = request;

    gallery::Camera camera(options->out);
    int status = 0;
    {
        MainWindow window(config);
        window.move(40, 40);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window, 10000)) {
            std::fputs("kalder-gallery: the main window was never shown\n", stderr);
            return 1;
        }
        gallery::Gallery g{window, camera, options->port, options->adminPort,
                           config.settings.location};
        if (!decoder)
            camera.missing(QStringLiteral("Live pictures"),
                           QStringLiteral("H264_D1.so is missing from the program folder"));
        if (!gallery::waitForLivePictures(g)) {
            camera.shot(QStringLiteral("main-window"),
                        QStringLiteral("Main window (live pictures never came)"), &window);
            camera.missing(QStringLiteral("Live view"),
                           QStringLiteral("no pictures from the simulator within 60 s"));
            status = window.isVisible() ? 0 : 1;
        } else {
            using Step = void (*)(gallery::Gallery&);
            const std::pair<Step, const char*> steps[] = {
                {gallery::shootLiveView, "live view"},
                {gallery::shootMedia, "Save and Load"},
                {gallery::shootDevices, "device windows"},
                {gallery::shootRemoteSearch, "remote search"},
                {gallery::shootRemoteLogs, "recorder log and information"},
                {gallery::shootRemotePlayback, "remote playback"},
                {gallery::shootBackup, "backup"},
                {gallery::shootRemoteSetup, "remote setup"},
                {gallery::shootLocalSetup, "local setup"},
                {gallery::shootLocalSearch, "local search and playback"},
                {gallery::shootConnectAndNotifications, "connect and notifications"},
                {gallery::shootSite, "site of four recorders"},
            };
            for (const auto& [step, name] : steps) {
                step(g);
                // What a step left open would stand in front of the next step's windows.
                const QStringList left = gallery::closeOtherWindows(window);
                if (!left.isEmpty())
                    std::printf("gallery: after %s, closed what was left open: %s\n", name,
                                qPrintable(left.join(QStringLiteral(", "))));
            }
        }
        window.quit();
    }
    if (!camera.writeList()) {
        std::fprintf(stderr, "kalder-gallery: cannot write the list into %s\n",
                     qPrintable(options->out));
        return 1;
    }
    std::printf("kalder-gallery: %d pictures, %d windows not shown\n", camera.pictures(),
                camera.missingCount());
    return status;
}
