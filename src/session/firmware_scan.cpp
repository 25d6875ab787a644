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

bool readAt(int fd, std::vector<std::byte>& into, std::size_t count, std::uint64_t offset) {
    into.resize(count);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(fd, into.data() + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    into.resize(done);
    return true;
}

std::optional<FirmwareImageBytes> readImage(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<FirmwareImageBytes> image;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        image = readFirmwareImage(
            static_cast<std::uint64_t>(st.st_size),
            [fd](std::vector<std::byte>& into, std::size_t count, std::uint64_t offset) {
                return readAt(fd, into, count, offset);
            });
    ::close(fd);
    return image;
}

} // namespace

std::optional<FirmwareImageBytes> readFirmwareImage(std::uint64_t size,
                                                    const FirmwareImageRead& readAt) {
    FirmwareImageBytes image;
    if (!readAt(image.head, std::min<std::uint64_t>(kFwImageHeadSize, size), 0))
        return std::nullopt;
    if (trailerAtEnd(image.head)) {
        if (size < kFwTrailerSize ||
            !readAt(image.trailer, kFwTrailerSize, size - kFwTrailerSize) ||
            image.trailer.size() != kFwTrailerSize)
            return std::nullopt;
    } else if (image.head.size() >= kFwTrailerSize) {
        image.trailer.assign(image.head.begin(), image.head.begin() + kFwTrailerSize);
    }
    return image;
}

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
        if (const auto image = readImage(entry.path()))
            offerUpgradeImage(result, entry.path().string(), *image, hello, timeZoneOffsetSeconds);
    }
    return result;
}

void offerUpgradeImage(FirmwareScanResult& result, const std::string& path,
                       const FirmwareImageBytes& image, const HelloRecord& hello,
                       int timeZoneOffsetSeconds) {
    int slot = -1;
    std::uint32_t buildTime = 0;
    std::string name;
    if (isBootImage(image.head)) {
        const auto boot = decodeBootImageHead(image.head);
        if (!boot || boot->idText != hello.firmName[0].substr(0, 11))
            return;
        const auto time = bootImageBuildTime(boot->buildTime, timeZoneOffsetSeconds);
        if (!time)
            return;
        slot = 0;
        buildTime = *time;
        name = boot->sentName;
    } else {
        const auto trailer = decodeFirmwareTrailer(image.trailer);
        if (!trailer)
            return;
        for (std::size_t i = 0; i < kFirmwareEntries && slot < 0; ++i)
            if (hello.firmName[i] == trailer->componentName)
                slot = static_cast<int>(i);
        buildTime = trailer->buildTime;
        name = trailer->componentName;
    }
    const int row = GetTypeToIdx(slot);
    if (row < 0)
        return;
    UpgradeCandidate& candidate = result.rows[static_cast<std::size_t>(row)];
    if (buildTime <= hello.firmVer[static_cast<std::size_t>(slot)] ||
        buildTime <= candidate.buildTime)
        return;
    candidate.selected = true;
    candidate.path = path;
    candidate.buildTime = buildTime;
    candidate.componentType = static_cast<std::uint8_t>(slot);
    candidate.componentName = name;
    ++result.taken;
}

} // namespace kalder
