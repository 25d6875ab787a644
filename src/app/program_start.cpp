#include "app/program_start.h"

#include "site/site_book.h"

#include <QDir>

#include <fstream>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>

#include <filesystem>

namespace kalder {

namespace {

constexpr long kIso9660Magic = 0x9660;
constexpr long kUdfMagic = 0x15013346;

bool parsePort(const QString& text, std::uint16_t& port) {
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value < 1 || value > 65534)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

// "1" in the removable attribute of a block device (a partition asks its disk).
bool blockDeviceRemovable(dev_t device) {
    namespace fs = std::filesystem;
    std::error_code failed;
    const fs::path link = fs::path("/sys/dev/block") /
                          (std::to_string(major(device)) + ":" + std::to_string(minor(device)));
    fs::path dir = fs::canonical(link, failed);
    if (failed)
        return false;
    for (int level = 0; level < 2; ++level) {
        std::ifstream file(dir / "removable");
        char flag = '0';
        if (file >> flag)
            return flag == '1';
        dir = dir.parent_path();
    }
    return false;
}

} // namespace

std::optional<ProgramOptions> parseProgramOptions(const QStringList& arguments, QString& error) {
    ProgramOptions options;
    bool haveUser = false;
    bool havePassword = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (arg == QLatin1String("--connect") && hasValue) {
            const QString target = arguments[++i];
            const qsizetype colon = target.lastIndexOf(QLatin1Char(':'));
            QString host = target;
            ProgramTarget parsed;
            if (colon >= 0) {
                host = target.left(colon);
                if (!parsePort(target.mid(colon + 1), parsed.port)) {
                    error = QStringLiteral("--connect: the port must be 1-65534");
                    return std::nullopt;
                }
            }
            if (host.isEmpty()) {
                error = QStringLiteral("--connect wants HOST[:PORT]");
                return std::nullopt;
            }
            if (options.targets.size() == kMaxProgramTargets) {
                error = QStringLiteral("--connect: a site has at most four recorders");
                return std::nullopt;
            }
            parsed.host = host.toStdString();
            options.targets.push_back(parsed);
            options.connectAtStart = true;
            options.host = options.targets.front().host;
            options.port = options.targets.front().port;
        } else if (arg == QLatin1String("--site") && hasValue) {
            options.siteName = arguments[++i].trimmed().toStdString();
            if (options.siteName.empty()) {
                error = QStringLiteral("--site wants the name of a site");
                return std::nullopt;
            }
        } else if (arg == QLatin1String("--user") && hasValue) {
            options.userId = arguments[++i].toStdString();
            haveUser = true;
        } else if (arg == QLatin1String("--password") && hasValue) {
            options.password = arguments[++i].toStdString();
            options.passwordGiven = true;
            havePassword = true;
        } else if (arg == QLatin1String("--password-stdin")) {
            options.passwordFromStdin = true;
            havePassword = true;
        } else if (arg == QLatin1String("--removable")) {
            options.forceRemovable = true;
        } else if (arg == QLatin1String("--trace")) {
            options.trace = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
        } else {
            error = QStringLiteral("unexpected argument '%1'").arg(arg);
            return std::nullopt;
        }
    }
    if (!options.siteName.empty() && (options.connectAtStart || haveUser)) {
        error = QStringLiteral("--site takes its recorders and users from the site: no --connect "
                               "or --user with it");
        return std::nullopt;
    }
    if ((haveUser || havePassword) && !options.connectAtStart && options.siteName.empty()) {
        error = QStringLiteral("--user and the password options go with --connect or --site");
        return std::nullopt;
    }
    // The session's login fields hold 16 bytes; longer values are refused, never cut.
    if (options.userId.size() > 16 || options.password.size() > 16) {
        error = QStringLiteral("--user and --password hold at most 16 bytes");
        return std::nullopt;
    }
    return options;
}

bool takeProgramPassword(ProgramOptions& options, const char* environment, std::FILE* in,
                         QString& error) {
    if (!options.connectAtStart && options.siteName.empty())
        return true;
    if (options.passwordFromStdin) {
        char line[256];
        if (!in || !std::fgets(line, sizeof line, in)) {
            error = QStringLiteral("--password-stdin: no password on standard input");
            return false;
        }
        std::string password(line);
        while (!password.empty() && (password.back() == '\n' || password.back() == '\r'))
            password.pop_back();
        options.password = std::move(password);
    } else if (!options.passwordGiven && environment) {
        options.password = environment;
    }
    if (options.password.size() > 16) {
        error = QStringLiteral("the password holds at most 16 bytes");
        return false;
    }
    return true;
}

QString programUsage() {
    return QStringLiteral(
        "usage: kalder [--connect HOST[:PORT]... [--user USER] [--password-stdin]]\n"
        "              [--site NAME [--password-stdin]] [--removable] [--trace] [--version]\n"
        "  --connect    connect to the recorder at start instead of opening the connect dialog\n"
        "               (port 2000 when none is given); the password is read from the\n"
        "               environment variable KALDER_PASSWORD, or with --password-stdin from one\n"
        "               line of standard input. Given two to four times, the recorders are\n"
        "               connected as one site and watched together, all with the same user\n"
        "               and password\n"
        "  --site NAME  connect the site of that name from the address book (the sites the\n"
        "               connect dialog's Sites... keeps), each recorder with its own user; the\n"
        "               password, the same for every recorder, is read as for --connect\n"
        "  --password PASSWORD\n"
        "               the password on the command line: every local user can read it in the\n"
        "               process list; prefer KALDER_PASSWORD or --password-stdin\n"
        "  --removable  run as from removable media: no recorder, local files only\n"
        "  --trace      write the protocol trace and the other diagnostics to standard error\n"
        "               (QT_LOGGING_RULES=\"kalder.net.debug=true\" chooses categories)\n"
        "  --version    print the program's version\n");
}

std::optional<SiteRequest>
programSite(const ProgramOptions& options, QSettings& store,
            const std::function<std::string(const std::string&)>& resolve, QString& error) {
    SiteRequest site;
    auto add = [&](const std::string& typed, std::uint16_t port, const std::string& userId) {
        ConnectRequest request;
        request.typedAddress = typed;
        request.address = resolve(typed);
        request.port = port;
        request.userId = userId;
        request.password = options.password;
        site.recorders.push_back(std::move(request));
    };
    if (!options.siteName.empty()) {
        SiteBook book(store);
        book.load();
        const std::optional<std::size_t> index = book.find(options.siteName);
        if (!index) {
            error = QStringLiteral("--site: the address book holds no site named '%1'")
                        .arg(QString::fromStdString(options.siteName));
            return std::nullopt;
        }
        const Site& found = book.sites()[*index];
        std::vector<std::string> others;
        for (const Site& other : book.sites())
            if (&other != &found)
                others.push_back(other.name);
        if (!checkSite(found, others).ok()) {
            error = QStringLiteral("--site: the site '%1' cannot be connected as it is kept; "
                                   "correct it in the connect dialog's Sites window")
                        .arg(QString::fromStdString(found.name));
            return std::nullopt;
        }
        site.name = found.name;
        for (const SiteRecorder& recorder : found.recorders)
            add(recorder.address, static_cast<std::uint16_t>(recorder.port), recorder.userId);
    } else if (options.targets.size() > 1) {
        for (const ProgramTarget& target : options.targets) {
            site.name += (site.name.empty() ? "" : ", ") + target.host;
            add(target.host, target.port, options.userId);
        }
    } else {
        return std::nullopt;
    }
    for (ConnectRequest& request : site.recorders)
        request.siteText = site.name;
    return site;
}

bool operatingSystemSupported() {
    utsname name{};
    return ::uname(&name) == 0 && name.release[0] != '\0';
}

int timeZoneOffsetSeconds(std::time_t now) {
    std::tm utc{};
    std::tm local{};
    if (::gmtime_r(&now, &utc) == nullptr || ::localtime_r(&now, &local) == nullptr)
        return 0;
    // Both broken-down times go back through the local conversion. The conversion decides
    // daylight saving for the UTC one itself: forcing "no daylight saving" there would give the
    // standard offset all summer, an hour off the clock the operator sees.
    utc.tm_isdst = -1;
    const std::time_t fromUtc = std::mktime(&utc);
    const std::time_t fromLocal = std::mktime(&local);
    if (fromUtc == static_cast<std::time_t>(-1) || fromLocal == static_cast<std::time_t>(-1))
        return 0;
    return static_cast<int>(fromLocal - fromUtc);
}

ClientCustomisation loadProgramCustomisation(const QString& workingFolder) {
    return loadClientCustomisation(
        {workingFolder, QString::fromLatin1(kSystemCustomisationFolder)});
}

bool programOnRemovableMedia(const QString& programFile) {
    const QByteArray path = QFile::encodeName(programFile);
    struct statfs fileSystem {};
    if (::statfs(path.constData(), &fileSystem) == 0 &&
        (static_cast<long>(fileSystem.f_type) == kIso9660Magic ||
         static_cast<long>(fileSystem.f_type) == kUdfMagic))
        return true;
    struct stat info {};
    if (::stat(path.constData(), &info) != 0)
        return false;
    return blockDeviceRemovable(info.st_dev);
}
} // namespace kalder
