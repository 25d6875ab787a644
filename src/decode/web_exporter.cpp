#include "decode/web_exporter.h"

#include "decode/image_files.h"
#include "decode/picture_layout.h"

#include <algorithm>

namespace kalder {

int webLabelFontHeight(std::uint32_t widthJpg, std::uint32_t widthWeb) {
    if (widthWeb == 0)
        return 11; // no announced width: the label keeps the default size
    const double height = static_cast<double>(widthJpg) / static_cast<double>(widthWeb) * 18.0;
    return std::clamp(static_cast<int>(height), 1, 200);
}

WebExportSettings makeWebExportSettings(bool active, std::string folder, std::uint32_t interval,
                                        std::uint32_t widthJpg, std::uint32_t heightJpg,
                                        std::uint32_t widthWeb) {
    WebExportSettings s;
    s.active = active;
    s.folder = std::move(folder);
    s.interval = (interval < 1 || interval > 20) ? 1 : static_cast<int>(interval);
    s.width = static_cast<int>(std::clamp<std::uint32_t>(widthJpg, 16, 2048));
    s.height = static_cast<int>(std::clamp<std::uint32_t>(heightJpg, 16, 2048));
    s.labelFontHeight = webLabelFontHeight(widthJpg, widthWeb);
    return s;
}

WebExporter::WebExporter(unsigned channel, WebExportSettings settings)
    : m_channel(channel), m_settings(std::move(settings)) {
    m_thread = std::thread([this] { run(); });
}

WebExporter::~WebExporter() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool WebExporter::submit(const PictureView& picture) {
    {
        std::lock_guard lock(m_mutex);
        if (m_pending || m_stop)
            return false;
        const std::size_t bytes = std::min(
            picture.bytes.size(), pictureBytes(picture.layout, picture.width, picture.height));
        m_copy.assign(picture.bytes.begin(),
                      picture.bytes.begin() + static_cast<std::ptrdiff_t>(bytes));
        m_picture = picture;
        m_picture.bytes = m_copy;
        m_pending = true;
    }
    m_wake.notify_one();
    return true;
}

void WebExporter::setSettings(WebExportSettings settings) {
    std::lock_guard lock(m_mutex);
    m_settings = std::move(settings);
}

std::string WebExporter::lastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

void WebExporter::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_pending; });
        if (m_stop)
            return;
        // The decode thread does not touch the copy while it is pending: work on it unlocked.
        const WebExportSettings settings = m_settings;
        const PictureView picture = m_picture;
        lock.unlock();
        const RgbImage image =
            webImage(picture, settings.width, settings.height, settings.labelFontHeight);
        std::string error;
        const bool ok = !settings.folder.empty() &&
                        writeImageFile(settings.folder / (std::to_string(m_channel + 1) + ".jpg"),
                                       ImageFormat::Jpeg, image, error, false);
        lock.lock();
        if (ok) {
            ++m_written;
        } else {
            ++m_failed;
            m_lastError = error;
        }
        m_pending = false;
    }
}

WebExportBoard::~WebExportBoard() {
    std::lock_guard lock(m_mutex);
    for (auto& exporter : m_exporters)
        exporter.reset();
}

void WebExportBoard::setSettings(WebExportSettings settings) {
    std::lock_guard lock(m_mutex);
    m_settings = std::move(settings);
    for (auto& exporter : m_exporters)
        if (exporter)
            exporter->setSettings(m_settings);
}

std::optional<int> WebExportBoard::interval() const {
    std::lock_guard lock(m_mutex);
    if (!m_settings.active || m_settings.folder.empty())
        return std::nullopt;
    return m_settings.interval;
}

void WebExportBoard::exportPicture(const PictureView& picture) {
    std::lock_guard lock(m_mutex);
    if (!m_settings.active || m_settings.folder.empty() || picture.channel >= m_exporters.size())
        return;
    auto& exporter = m_exporters[picture.channel];
    if (!exporter)
        exporter = std::make_unique<WebExporter>(picture.channel, m_settings);
    exporter->submit(picture);
}

void WebExportBoard::channelEnded(unsigned channel) {
    std::unique_ptr<WebExporter> ended;
    {
        std::lock_guard lock(m_mutex);
        if (channel < m_exporters.size())
            ended = std::move(m_exporters[channel]);
    }
}

std::uint64_t WebExportBoard::written(unsigned channel) const {
    std::lock_guard lock(m_mutex);
    return channel < m_exporters.size() && m_exporters[channel] ? m_exporters[channel]->written()
                                                                : 0;
}

} // namespace kalder
