// The client's own small files, which another local user may have written: the customisation
// file "ClientD1.bin" (first byte even) and the settings store read through QSettings from an
// INI file (first byte odd). The customisation's folder name must stay one plain component.
#include "fuzz_input.h"
#include "setup/local/client_customisation.h"
#include "setup/local/local_settings.h"

#include <QSettings>
#include <cstdlib>

using namespace kalder;

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
    static const std::filesystem::path file = fuzz::scratchFolder() / "settings.ini";
    fuzz::setFileContents(file, rest);
    QSettings store(QString::fromStdString(file.string()), QSettings::IniFormat);
    (void)loadSettings(store, ClientCustomisation(), QStringLiteral("/home/operator"));
    return 0;
}
