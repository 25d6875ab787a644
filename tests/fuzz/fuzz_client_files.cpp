// The client's own small files, which another local user may have written: the customisation
// file "ClientD1.bin" (first byte even) and the settings store (first byte odd). The settings are
// read from an INI file through QSettings when the first byte's bits 1-3 are all set; otherwise
// the store's values are the input's lines, handed out in the order the reader asks for keys (an
// empty line: no value; a line starting with 0x01: a list of its comma-separated parts), so that
// most inputs test the reader without the file's system calls. The customisation's folder name
// must stay one plain component; the settings' folders stay within their length.
#include "fuzz_input.h"
#include "setup/local/client_customisation.h"
#include "setup/local/local_settings.h"

#include <QSettings>
#include <QStringList>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>

using namespace kalder;

namespace {

void checkSettings(const LocalSettings& s) {
    if (s.location.size() > 259 || s.webLocation.size() > 259)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t pick = in.u8();
    const std::span<const std::byte> rest = in.rest();
    const QByteArray contents(reinterpret_cast<const char*>(rest.data()), qsizetype(rest.size()));
    if ((pick & 1) == 0) {
        const ClientCustomisation custom = parseClientCustomisation(contents);
        if (!isPlainFolderName(custom.oemFolderName))
            std::abort();
        (void)custom.defaultDateFormat();
        (void)custom.defaultDrawMode();
        return 0;
    }
    const QString home = QStringLiteral("/home/operator");
    if ((pick & 0x0E) == 0x0E) {
        static const std::filesystem::path file = fuzz::scratchFolder() / "settings.ini";
        fuzz::setFileContents(file, rest);
        // QSettings reads a file again only when its size or modification time changed: each
        // input's file gets a time of its own, or an input of the last one's size could be
        // checked against the last one's values.
        static std::int64_t stamp = 1000000000;
        const timespec times[2] = {{0, UTIME_OMIT}, {++stamp, 0}};
        if (::utimensat(AT_FDCWD, file.c_str(), times, 0) != 0)
            std::abort();
        QSettings store(QString::fromStdString(file.string()), QSettings::IniFormat);
        checkSettings(loadSettings(store, ClientCustomisation(), home));
        return 0;
    }
    const QList<QByteArray> lines = contents.split('\n');
    qsizetype next = 0;
    const SettingsValue value = [&](const QString&) -> QVariant {
        const QByteArray line = next < lines.size() ? lines[next] : QByteArray();
        ++next;
        if (line.isEmpty())
            return {};
        if (line.front() == '\x01')
            return QString::fromUtf8(line.mid(1)).split(QLatin1Char(','));
        return QString::fromUtf8(line);
    };
    checkSettings(loadSettings(value, ClientCustomisation(), home));
    return 0;
}
