#include "setup/local/local_settings.h"

#include "setup/local/client_customisation.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <sys/statvfs.h>
#include <sys/vfs.h>

namespace kalder {

namespace {

constexpr int kMaxFolderLength = 259;
// statfs magic numbers of optical-disc file systems.
constexpr long kIso9660Magic = 0x9660;
constexpr long kUdfMagic = 0x15013346;

// "group/name/name" and "group/name/NN/NN": each value sits in a key of its own name, as the
// client has always stored them. Built in one string (formatting with arguments cost more than
// the lookup itself).
QString valuePath(const char* group, QLatin1StringView name) {
    const QLatin1StringView g(group);
    QString path;
    path.reserve(g.size() + 2 * name.size() + 2);
    path.append(g).append(u'/').append(name).append(u'/').append(name);
    return path;
}
QString numberedPath(const char* group, const char* name, int index) {
    const char digits[] = {char('0' + index / 10 % 10), char('0' + index % 10)};
    const QLatin1StringView g(group), n(name), number(digits, 2);
    QString path;
    path.reserve(g.size() + n.size() + 7);
    path.append(g).append(u'/').append(n).append(u'/').append(number).append(u'/').append(number);
    return path;
}

std::uint32_t readDword(const SettingsValue& value, const char* group, const char* name,
                        std::uint32_t fallback) {
    const QVariant v = value(valuePath(group, QLatin1String(name)));
    bool ok = false;
    const qulonglong n = v.toULongLong(&ok);
    return ok ? static_cast<std::uint32_t>(n) : fallback;
}
std::uint8_t readByte(const SettingsValue& value, const QString& path, std::uint8_t fallback) {
    const QVariant v = value(path);
    bool ok = false;
    const uint n = v.toUInt(&ok);
    return ok && n <= 255 ? static_cast<std::uint8_t>(n) : fallback;
}
QString readText(const SettingsValue& value, const char* group, const char* name,
                 const QString& fallback) {
    const QVariant v = value(valuePath(group, QLatin1String(name)));
    return v.isValid() ? v.toString().left(kMaxFolderLength) : fallback;
}

} // namespace

LocalSettings defaultLocalSettings(const ClientCustomisation& custom, const QString& homeFolder) {
    LocalSettings s;
    s.drawMode = static_cast<std::uint32_t>(custom.defaultDrawMode());
    s.dateFormat = static_cast<std::uint32_t>(custom.defaultDateFormat());
    s.location = QDir(homeFolder).filePath(custom.oemFolderName).left(kMaxFolderLength);
    return s;
}

LocalSettings loadSettings(QSettings& store, const ClientCustomisation& custom,
                           const QString& homeFolder) {
    return loadSettings([&store](const QString& key) { return store.value(key); }, custom,
                        homeFolder);
}

LocalSettings loadSettings(const SettingsValue& store, const ClientCustomisation& custom,
                           const QString& homeFolder) {
    const LocalSettings d = defaultLocalSettings(custom, homeFolder);
    LocalSettings s = d;
    s.drawMode = readDword(store, "LocalSetup", "DrawMode", d.drawMode);
    s.dateFormat = readDword(store, "LocalSetup", "DateFormat", d.dateFormat);
    s.saveFormat = readDword(store, "LocalSetup", "SaveFormat", d.saveFormat);
    s.location = readText(store, "LocalSetup", "Location", d.location);
    for (int i = 0; i < 9; ++i)
        s.opacity[i] = readByte(store, numberedPath("LocalSetup", "Opacity", i + 1), d.opacity[i]);
    for (int i = 0; i < 3; ++i)
        s.audioBuf[i] =
            readByte(store, numberedPath("LocalSetup", "AudioBuf", i + 1), d.audioBuf[i]);
    s.exportKeepSet = readDword(store, "LocalSetupEx", "ExportKeepSet", d.exportKeepSet);
    s.webActivate = readDword(store, "LocalSetupEx", "WebActivate", d.webActivate);
    s.webWidthJpg = readDword(store, "LocalSetupEx", "WebWidthJpg", d.webWidthJpg);
    s.webHeightJpg = readDword(store, "LocalSetupEx", "WebHeightJpg", d.webHeightJpg);
    s.webWidthWeb = readDword(store, "LocalSetupEx", "WebWidthWeb", d.webWidthWeb);
    s.webHeightWeb = readDword(store, "LocalSetupEx", "WebHeightWeb", d.webHeightWeb);
    s.webInterval = readDword(store, "LocalSetupEx", "WebInterval", d.webInterval);
    s.webLocation = readText(store, "LocalSetupEx", "WebLocation", d.webLocation);
    s.reconnect = readDword(store, "LocalSetupEx", "Reconnect", d.reconnect);
    s.fasterSmallCells =
        readDword(store, "LocalSetupEx", "FasterSmallCells", d.fasterSmallCells);
    return s;
}

void saveSettings(QSettings& store, const LocalSettings& s) {
    auto put = [&store](const char* group, const char* name, const QVariant& v) {
        store.setValue(valuePath(group, QLatin1String(name)), v);
    };
    put("LocalSetup", "DrawMode", s.drawMode);
    put("LocalSetup", "DateFormat", s.dateFormat);
    put("LocalSetup", "SaveFormat", s.saveFormat);
    put("LocalSetup", "Location", s.location.left(kMaxFolderLength));
    for (int i = 0; i < 9; ++i)
        store.setValue(numberedPath("LocalSetup", "Opacity", i + 1), uint(s.opacity[i]));
    for (int i = 0; i < 3; ++i)
        store.setValue(numberedPath("LocalSetup", "AudioBuf", i + 1), uint(s.audioBuf[i]));
    put("LocalSetupEx", "ExportKeepSet", s.exportKeepSet);
    put("LocalSetupEx", "WebActivate", s.webActivate);
    put("LocalSetupEx", "WebWidthJpg", s.webWidthJpg);
    put("LocalSetupEx", "WebHeightJpg", s.webHeightJpg);
    put("LocalSetupEx", "WebWidthWeb", s.webWidthWeb);
    put("LocalSetupEx", "WebHeightWeb", s.webHeightWeb);
    put("LocalSetupEx", "WebInterval", s.webInterval);
    put("LocalSetupEx", "WebLocation", s.webLocation.left(kMaxFolderLength));
    put("LocalSetupEx", "Reconnect", s.reconnect);
    put("LocalSetupEx", "FasterSmallCells", s.fasterSmallCells);
    store.sync();
}

std::unique_ptr<QSettings> openSettingsStore() {
    return std::make_unique<QSettings>(QStringLiteral("Tarsel"), QStringLiteral("Kalder"));
}

QString ensureDataSubfolder(const QString& dataFolder, const QString& name) {
    const QString path = QDir(dataFolder).filePath(name);
    QDir().mkpath(path);
    return path;
}

std::optional<DiskSpace> diskSpace(const QString& folder) {
    // The folder may not exist yet: ask about the nearest existing parent.
    QDir dir(folder);
    QString probe = dir.absolutePath();
    while (!QFileInfo::exists(probe) && probe != QDir::rootPath())
        probe = QFileInfo(probe).absolutePath();
    const QByteArray path = QFile::encodeName(probe);
    struct statfs fs {};
    if (::statfs(path.constData(), &fs) != 0)
        return std::nullopt;
    if (fs.f_type == kIso9660Magic || fs.f_type == kUdfMagic)
        return std::nullopt;
    struct statvfs vfs {};
    if (::statvfs(path.constData(), &vfs) != 0)
        return std::nullopt;
    constexpr std::uint64_t kMiB = 1048576;
    DiskSpace space;
    space.freeMiB = std::uint64_t(vfs.f_bavail) * vfs.f_frsize / kMiB;
    space.totalMiB = std::uint64_t(vfs.f_blocks) * vfs.f_frsize / kMiB;
    return space;
}

} // namespace kalder
