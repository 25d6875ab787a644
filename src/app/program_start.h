#pragma once

#include "setup/local/client_customisation.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

namespace kalder {

// What the command line asks of the desktop program.
struct ProgramOptions {
    // --connect HOST[:PORT] --user U: connect at start instead of opening the connect dialog.
    // The password comes from --password-stdin (one line on standard input), else from the
    // environment variable KALDER_PASSWORD, else from --password P, which every local user can
    // read in the process list.
    bool connectAtStart = false;
    std::string host;
    std::uint16_t port = 2000;
    std::string userId;
    std::string password;
    bool passwordGiven = false;     // --password
    bool passwordFromStdin = false; // --password-stdin
    // --removable: behave as when started from removable media.
    bool forceRemovable = false;
    // --trace: every "kalder.*" logging category on, the protocol trace on standard error.
    bool trace = false;
    bool help = false;
};

// Parses the arguments after the program name. Nothing (and `error` set) on a bad option.
std::optional<ProgramOptions> parseProgramOptions(const QStringList& arguments, QString& error);

// Fills in the password of a connect at start: a line of `in` for --password-stdin (its line end
// removed), else `environment` (KALDER_PASSWORD) when set and --password was not given. False
// when standard input gives no line or the password is longer than 16 bytes.
bool takeProgramPassword(ProgramOptions& options, const char* environment, std::FILE* in,
                         QString& error);
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
