#pragma once

#include <QString>
#include <QVariant>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QSettings;

namespace kalder {

struct ClientCustomisation;

// Kinds of windows whose opacity the operator sets (the Opacity subkeys 01-09).
enum class OpacityKind : int {
    ConnectDialog = 0, // also the recording dialog
    RemoteSearch = 1,
    RemoteSetup = 2,
    LocalSearch = 3,
    LocalSetup = 4,
    Ptz = 5,
    FirmwareUpgrade = 6,
    Unused = 7,
    NotificationBox = 8,
};

// The client's own settings, stored per user under LocalSetup/ and LocalSetupEx/ with one
// sub-path per value (LocalSetup/DrawMode/DrawMode, LocalSetup/Opacity/01/01, ...). Values are
// kept as stored; readers that need a range apply it where the value is used.
struct LocalSettings {
    // LocalSetup
    std::uint32_t drawMode = 0;   // 0 planar YUV + accelerated drawing, 1 RGB
    std::uint32_t dateFormat = 0; // 0 Y-M-D, 1 M-D-Y, 2 D-M-Y; other values give empty stamps
    std::uint32_t saveFormat = 0; // 0 JPEG, 1 BMP, 2 TIFF
    QString location;             // the data folder, at most 259 characters
    std::array<std::uint8_t, 9> opacity{255, 255, 255, 255, 255, 255, 255, 255, 255};
    std::array<std::uint8_t, 3> audioBuf{2, 64, 2}; // live, remote playback, local playback
    // LocalSetupEx/ExportKeepSet: 1 keeps the backup set a download-and-export fetched, 0
    // deletes it once the files are exported.
    std::uint32_t exportKeepSet = 1;
    // LocalSetupEx (web export)
    std::uint32_t webActivate = 0;
    std::uint32_t webWidthJpg = 200;
    std::uint32_t webHeightJpg = 160;
    std::uint32_t webWidthWeb = 320;
    std::uint32_t webHeightWeb = 240;
    std::uint32_t webInterval = 5; // images per 10 s per channel, 1-20
    QString webLocation;
    // LocalSetupEx/Reconnect: 1 gets a lost connection back by itself, 0 leaves it lost.
    std::uint32_t reconnect = 1;
    // LocalSetupEx/FasterSmallCells: 1 decodes the channels of cells smaller than half their
    // picture without the deblocking filter, which cannot be seen there; 0 decodes all fully.
    std::uint32_t fasterSmallCells = 1;

    std::uint8_t opacityOf(OpacityKind kind) const { return opacity[static_cast<int>(kind)]; }
    // The interval the web export uses: a stored value outside 1-20 counts as 1.
    std::uint32_t effectiveWebInterval() const {
        return webInterval >= 1 && webInterval <= 20 ? webInterval : 1;
    }
    bool operator==(const LocalSettings&) const = default;
};

// The settings with every value at its default for this customisation: the data folder is the
// user's home folder followed by the customisation folder name.
LocalSettings defaultLocalSettings(const ClientCustomisation& custom, const QString& homeFolder);

// Reads every value; a missing one gives its default.
LocalSettings loadSettings(QSettings& store, const ClientCustomisation& custom,
                           const QString& homeFolder);
// The same from any store: `value` gives the stored value of a key ("LocalSetup/DrawMode/
// DrawMode"), an invalid QVariant when there is none.
using SettingsValue = std::function<QVariant(const QString& key)>;
LocalSettings loadSettings(const SettingsValue& value, const ClientCustomisation& custom,
                           const QString& homeFolder);
// Writes every value (errors are ignored, as the store does).
void saveSettings(QSettings& store, const LocalSettings& settings);

// The per-user store under the organisation and application names of the client.
std::unique_ptr<QSettings> openSettingsStore();

// Creates `dataFolder`/`name` with all missing parents; the path either way.
QString ensureDataSubfolder(const QString& dataFolder, const QString& name);

struct DiskSpace {
    std::uint64_t freeMiB = 0;
    std::uint64_t totalMiB = 0;
};
// Free and total space of the file system holding `folder` (the nearest existing parent), in
// units of 1,048,576 bytes. Nothing for a CD-ROM type (read-only optical) file system or when
// the query fails.
std::optional<DiskSpace> diskSpace(const QString& folder);

} // namespace kalder
