#pragma once

#include "connect/site_request.h"
#include "setup/local/client_customisation.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QSettings;

namespace kalder {

// One recorder named on the command line (--connect HOST[:PORT]).
struct ProgramTarget {
    std::string host;
    std::uint16_t port = 2000;

    bool operator==(const ProgramTarget&) const = default;
};

// At most this many --connect: the recorders of one site.
inline constexpr std::size_t kMaxProgramTargets = 4;

// What the command line asks of the desktop program.
struct ProgramOptions {
    // --connect HOST[:PORT] --user U: connect at start instead of opening the connect dialog.
    // The password comes from --password-stdin (one line on standard input), else from the
    // environment variable KALDER_PASSWORD, else from --password P, which every local user can
    // read in the process list.
    // --connect may be given up to four times (the same user and password for all): the
    // recorders are connected as one site, shown together. host and port are the first's.
    bool connectAtStart = false;
    std::string host;
    std::uint16_t port = 2000;
    std::vector<ProgramTarget> targets; // every --connect in order
    // --site NAME: connect the site of that name from the address book (its recorders' own
    // user ids, the password as above for every recorder). Not with --connect or --user.
    std::string siteName;
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

// The site the command line connects at start: --connect given two to four times (named by the
// addresses joined), or --site NAME from the address book in `store`, each recorder's address
// resolved by `resolve` (an empty result: that recorder's connect fails on its own) and the
// password of `options` for every one. Nothing for a single --connect or none, and for a --site
// that the book does not hold or that breaks the site rules (`error` then says why).
std::optional<SiteRequest>
programSite(const ProgramOptions& options, QSettings& store,
            const std::function<std::string(const std::string&)>& resolve, QString& error);

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
