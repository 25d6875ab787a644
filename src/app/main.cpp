// kalder: the desktop client. Checks the system, reads the customisation file and the settings,
// loads the decoder module and the resource library from the program's folder (or an installed
// copy's), and runs the
// main window until it closes.
#include "setup/local/client_customisation.h"
#include "setup/local/local_settings.h"
#include "app/main_window.h"
#include "app/program_start.h"
#include "resources/resource_library.h"
#include "net/name_resolver.h"
#include "decode/decoder_library.h"
#include "session/diagnostics.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QSettings>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

int main(int argc, char** argv) {
    // Help and the version need no display: answered before the GUI is set up.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(qPrintable(kalder::programUsage()), stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("kalder " KALDER_VERSION); // the project's version, from CMake
            return 0;
        }
    }
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tarsel"));
    QCoreApplication::setApplicationName(QStringLiteral("Kalder"));

    QString error;
    const std::optional<kalder::ProgramOptions> options =
        kalder::parseProgramOptions(QCoreApplication::arguments().mid(1), error);
    if (!options) {
        std::fprintf(stderr, "kalder: %s\n%s", qPrintable(error),
                     qPrintable(kalder::programUsage()));
        return 2;
    }
    if (options->help) {
        std::fputs(qPrintable(kalder::programUsage()), stdout);
        return 0;
    }
    kalder::setUpDiagnostics(options->trace);
    kalder::ProgramOptions start = *options;
    if (!kalder::takeProgramPassword(start, std::getenv("KALDER_PASSWORD"), stdin, error)) {
        std::fprintf(stderr, "kalder: %s\n", qPrintable(error));
        return 2;
    }
    if (!kalder::operatingSystemSupported()) {
        QMessageBox::critical(nullptr, QString(), QString::fromLatin1(kalder::kUnsupportedOsText));
        return 1;
    }

    // The icon of an installed copy comes from the desktop's icon theme.
    const QString iconFile = QStringLiteral("kalder.png");
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("kalder"),
                         QIcon(QDir(kalder::programFileFolder(iconFile)).filePath(iconFile))));
    kalder::MainWindowConfig config;
    config.custom = kalder::loadProgramCustomisation(QDir::currentPath());
    config.timeZoneOffsetSeconds = kalder::timeZoneOffsetSeconds(std::time(nullptr));
    config.removableMode = options->forceRemovable ||
                           kalder::programOnRemovableMedia(QCoreApplication::applicationFilePath());

    // Missing modules are not reported: without the decoder nothing is decoded, without the
    // resource library texts and skins are missing.
    const std::unique_ptr<kalder::DecoderLibrary> decoder =
        kalder::DecoderLibrary::openFromProgramFolder();
    kalder::loadResourceLibrary(kalder::programFileFolder(QStringLiteral("KalderRes.rcc")));
    config.decoder = decoder.get();

    const std::unique_ptr<QSettings> store = kalder::openSettingsStore();
    config.store = store.get();
    config.settings = kalder::loadSettings(*store, config.custom, QDir::homePath());

    if (std::optional<kalder::SiteRequest> site =
            kalder::programSite(start, *store, kalder::resolveRecorderAddress, error)) {
        config.siteAtStart = std::move(site);
    } else if (!start.siteName.empty()) {
        std::fprintf(stderr, "kalder: %s\n", qPrintable(error));
        return 2;
    } else if (options->connectAtStart) {
        kalder::ConnectRequest request;
        request.typedAddress = start.host;
        request.address = kalder::resolveRecorderAddress(start.host);
        request.port = start.port;
        request.userId = start.userId;
        request.password = start.password;
        config.connectAtStart = request;
    }

    int status = 0;
    {
        kalder::MainWindow window(config);
        window.show();
        status = QApplication::exec();
    } // the main window's shutdown and exit entry happen here, before the modules go
    return status;
}
