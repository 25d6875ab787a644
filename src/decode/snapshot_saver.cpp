#include "decode/snapshot_saver.h"

#include "decode/picture_layout.h"

#include <cstdio>

namespace kalder {

std::string snapshotFileName(const std::tm& t, unsigned channel, ImageFormat format) {
    char name[64];
    std::snprintf(name, sizeof name, "%04d%02d%02d%02d%02d%02d_00%02u%s", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, channel + 1,
                  imageExtension(format));
    return name;
}

std::tm localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

SnapshotSaver::SnapshotSaver(const PictureView& picture, std::string_view stamp,
                             std::filesystem::path folder, ImageFormat format, Clock clock,
                             Notice finished)
    : m_picture(picture), m_stamp(stamp.substr(0, 259)), m_folder(std::move(folder)),
      m_format(format), m_clock(std::move(clock)), m_finished(std::move(finished)) {
    const std::size_t bytes =
        std::min(picture.bytes.size(), pictureBytes(picture.layout, picture.width, picture.height));
    m_copy.assign(picture.bytes.begin(),
                  picture.bytes.begin() + static_cast<std::ptrdiff_t>(bytes));
    m_picture.bytes = m_copy;
    m_thread = std::thread([this] { run(); });
}

SnapshotSaver::~SnapshotSaver() {
    if (m_thread.joinable())
        m_thread.join();
}

void SnapshotSaver::run() {
    const RgbImage image = snapshotImage(m_picture, m_stamp);
    m_picture.bytes = {};
    std::vector<std::byte>().swap(m_copy);
    if (image.empty()) {
        m_error = "the picture has no size";
    } else {
        std::error_code failed;
        std::filesystem::create_directories(m_folder, failed);
        m_file = m_folder / snapshotFileName(m_clock(), m_picture.channel, m_format);
        m_saved = writeImageFile(m_file, m_format, image, m_error);
    }
    m_done = true;
    // The owner may collect this saver as soon as m_done is set; its destructor waits for
    // this thread, so the notice still runs on a live object.
    if (m_finished)
        m_finished();
}

SnapshotBoard::~SnapshotBoard() {
    std::lock_guard lock(m_mutex);
    m_savers.clear(); // each waits for its thread
}

void SnapshotBoard::setTarget(std::filesystem::path folder, ImageFormat format) {
    std::lock_guard lock(m_mutex);
    m_folder = std::move(folder);
    m_format = format;
}

void SnapshotBoard::setClock(SnapshotSaver::Clock clock) {
    std::lock_guard lock(m_mutex);
    m_clock = std::move(clock);
}

void SnapshotBoard::setFinishedNotice(SnapshotSaver::Notice notice) {
    std::lock_guard lock(m_mutex);
    m_finished = std::move(notice);
}

void SnapshotBoard::request(std::uint16_t mask) {
    {
        std::lock_guard lock(m_mutex);
        m_outstanding |= mask; // before the request is seen, so a saver never precedes it
    }
    m_requests.fetch_or(mask);
}

std::uint16_t SnapshotBoard::outstanding() const {
    std::lock_guard lock(m_mutex);
    return m_outstanding;
}

std::uint16_t SnapshotBoard::withdrawRequests() {
    std::lock_guard lock(m_mutex);
    const std::uint16_t dropped = m_requests.exchange(0);
    m_outstanding = static_cast<std::uint16_t>(m_outstanding & ~dropped);
    return dropped;
}

bool SnapshotBoard::takeRequest(unsigned channel) {
    const auto bit = static_cast<std::uint16_t>(1u << (channel % 16));
    return (m_requests.fetch_and(static_cast<std::uint16_t>(~bit)) & bit) != 0;
}

void SnapshotBoard::start(const PictureView& picture, std::string_view stamp) {
    std::lock_guard lock(m_mutex);
    m_savers.push_back(
        std::make_unique<SnapshotSaver>(picture, stamp, m_folder, m_format, m_clock, m_finished));
}

std::vector<SnapshotResult> SnapshotBoard::collectFinished() {
    std::vector<std::unique_ptr<SnapshotSaver>> finished;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_savers.begin(); it != m_savers.end();) {
            if ((*it)->done()) {
                m_outstanding =
                    static_cast<std::uint16_t>(m_outstanding & ~(1u << ((*it)->channel() % 16)));
                finished.push_back(std::move(*it));
                it = m_savers.erase(it);
            } else {
                ++it;
            }
        }
    }
    std::vector<SnapshotResult> results;
    for (const auto& saver : finished)
        results.push_back({saver->channel(), saver->saved(), saver->file(), saver->error()});
    return results;
}

std::size_t SnapshotBoard::savers() const {
    std::lock_guard lock(m_mutex);
    return m_savers.size();
}

} // namespace kalder
