#pragma once

#include "setup/local/client_customisation.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace kalder {

// What the command line asks of the desktop program.
struct ProgramOptions {
    // --connect HOST[:PORT] --user U --password P: connect at start instead of opening the
    // connect dialog.
    bool connectAtStart = false;
    std::string host;
    std::uint16_t port = 2000;
    std::string userId;
    std::string password;
    // --removable: behave as when started from removable media.
    bool forceRemovable = false;
    // --trace: every "kalder.*" logging category on, the protocol trace on standard error.
    bool trace = false;
    bool help = false;
};

// Parses the arguments after the program name. Nothing (and `error` set) on a bad option.
std::optional<ProgramOptions> parseProgramOptions(const QStringList& arguments, QString& error);
QString programUsage();

// The operating system check: refused only when the kernel version cannot be read.
bool operatingSystemSupported();
inline constexpr const char* kUnsupportedOsText = "Unsupported OS version !";

// Local time minus UTC in seconds at `now`: the current time broken down as UTC and as local
// time, both converted back by the local conversion, subtracted.
int timeZoneOffsetSeconds(std::time_t now);

// "ClientD1.bin": the working folder first, then the system folder /etc/kalder.
inline constexpr const char* kSystemCustomisationFolder = "/etc/kalder";
ClientCustomisation loadProgramCustomisation(const QString& workingFolder);

// The program file lies on removable media: an ISO 9660 or UDF file system, or a block device
// that the kernel marks removable.
bool programOnRemovableMedia(const QString& programFile);

} // namespace kalder
