#pragma once

#include "wire/hello_record.h"
#include "wire/status_info_record.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kalder {

// Texts of the information views by resource id. The rows are built from ids so that the views
// and kalder-cli show the same wording.
namespace InfoText {
enum : int {
    TotalSpace = 6400,
    UsedSpace = 6401,
    FreeSpace = 6402,
    Channel = 6403,
    NoValue = 6404,
    Disk = 6405,
    DiskValue = 6406,
    DiskState = 6407,
    DiskUnit = 6408,
    ModeFirst = 6410,  // six recording modes, 6410..6415
    StateFirst = 6420, // three disk states, 6420..6422
    Address = 6430,
    Port = 6431,
    Name = 6432,
    Mac = 6433,
    FirmwareFirst = 6434, // five firmware component labels, 6434..6438
    StatusTitle = 6440,
    SystemTitle = 6441,
};
} // namespace InfoText

using InfoTextLookup = std::function<std::string(int id)>;

// A size in MB as the information views print it: below 1024 "%5d MByte", then whole
// gigabytes "%5d GByte" up to 1023, then "%6.2f TByte" of those gigabytes / 1024.
std::string sizeText(std::uint32_t megabytes);

// One row of a list: column 0 | column 1 (| column 2, the system view's names). A cell holds
// at most 127 characters.
struct InfoRow {
    std::string label;
    std::string value;
    std::string name;
};

// The status view: the disk quantities, an empty row, one row per channel (`channelCount`
// channels), and with the disks' details an empty row and two rows per present disk.
std::vector<InfoRow> statusRows(const StatusInfoRecord& status, unsigned channelCount,
                                const InfoTextLookup& text);

// What the system view knows of the connection and the recorder's greeting (after the client's
// rearranging of the firmware table into its seven slots).
struct SystemFacts {
    std::string address;
    std::uint16_t port = 0;
    std::string siteText;
    HelloRecord hello;
};
std::vector<InfoRow> systemRows(const SystemFacts& facts, const InfoTextLookup& text);

// A firmware build time (seconds since 1970, UTC; a negative value counts as 0) as
// "YYYY  MMDD  hhmm".
std::string firmwareBuildText(std::uint32_t buildTime);

} // namespace kalder
