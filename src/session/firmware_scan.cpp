#include "session/firmware_scan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <limits>
#include <system_error>
#include <vector>

namespace kalder {

namespace {

// The first bytes of a file and, when its trailer sits at the end, its last 64 bytes.
struct ImageHead {
    std::vector<std::byte> head;
    std::vector<std::byte> trailer;
};

bool readAt(int fd, std::vector<std::byte>& into, std::size_t count, off_t offset) {
    into.resize(count);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(fd, into.data() + done, count - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    into.resize(done);
    return true;
}

std::optional<ImageHead> readImage(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    ImageHead image;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok)
        ok = readAt(fd, image.head, std::min<std::size_t>(kFwImageHeadSize, st.st_size), 0);
    if (ok && trailerAtEnd(image.head)) {
        ok = st.st_size >= static_cast<off_t>(kFwTrailerSize) &&
             readAt(fd, image.trailer, kFwTrailerSize, st.st_size - kFwTrailerSize) &&
             image.trailer.size() == kFwTrailerSize;
    } else if (ok && image.head.size() >= kFwTrailerSize) {
        image.trailer.assign(image.head.begin(), image.head.begin() + kFwTrailerSize);
    }
    ::close(fd);
    if (!ok)
        return std::nullopt;
    return image;
}

} // namespace

bool FirmwareScanResult::anySelected() const {
    for (const UpgradeCandidate& c : rows)
        if (c.selected)
            return true;
    return false;
}

std::optional<std::uint32_t> bootImageBuildTime(const BootImageTime& written,
                                                int timeZoneOffsetSeconds) {
    std::tm tm{};
    tm.tm_year = written.year - 1900;
    tm.tm_mon = written.month - 1;
    tm.tm_mday = written.day;
    tm.tm_hour = written.hour;
    tm.tm_min = written.minute;
    tm.tm_sec = written.second;
    tm.tm_isdst = 0; // standard time
    const std::time_t local = std::mktime(&tm);
    if (local == static_cast<std::time_t>(-1))
        return std::nullopt;
    const long long time = static_cast<long long>(local) + timeZoneOffsetSeconds;
    if (time < 0 || time > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(time);
}

FirmwareScanResult scanUpgradeFolder(const std::filesystem::path& folder, const HelloRecord& hello,
                                     int timeZoneOffsetSeconds) {
    FirmwareScanResult result;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error)
        return result;
    for (const auto& entry : it) {
        const auto image = readImage(entry.path());
        if (!image)
            continue;
        int slot = -1;
        std::uint32_t buildTime = 0;
        std::string name;
        if (isBootImage(image->head)) {
            const auto boot = decodeBootImageHead(image->head);
            if (!boot || boot->idText != hello.firmName[0].substr(0, 11))
                continue;
            const auto time = bootImageBuildTime(boot->buildTime, timeZoneOffsetSeconds);
            if (!time)
                continue;
            slot = 0;
            buildTime = *time;
            name = boot->sentName;
        } else {
            const auto trailer = decodeFirmwareTrailer(image->trailer);
            if (!trailer)
                continue;
            for (std::size_t i = 0; i < kFirmwareEntries && slot < 0; ++i)
                if (hello.firmName[i] == trailer->componentName)
                    slot = static_cast<int>(i);
            buildTime = trailer->buildTime;
            name = trailer->componentName;
        }
        const int row = GetTypeToIdx(slot);
        if (row < 0)
            continue;
        UpgradeCandidate& candidate = result.rows[static_cast<std::size_t>(row)];
        if (buildTime <= hello.firmVer[static_cast<std::size_t>(slot)] ||
            buildTime <= candidate.buildTime)
            continue;
        candidate.selected = true;
        candidate.path = entry.path().string();
        candidate.buildTime = buildTime;
        candidate.componentType = static_cast<std::uint8_t>(slot);
        candidate.componentName = name;
        ++result.taken;
    }
    return result;
}

} // namespace kalder
