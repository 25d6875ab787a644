#include "cli/counting_decoders.h"

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "decode/decoder_init_error_event.h"
#include "decode/picture_layout.h"

#include <QImage>
#include <QString>

#include <cstdio>
#include <cstring>

namespace kalder::cli {

ChannelPicture takePicture(const PictureStore& pictures, unsigned channel) {
    std::lock_guard lock(pictures.lock(channel));
    ChannelPicture picture{pictures.decoded(channel), pictures.size(channel), {}};
    if (picture.decoded) {
        const std::byte* bytes = pictures.buffer(channel);
        picture.bytes.assign(bytes, bytes + kPictureBufferSize);
    }
    return picture;
}

bool saveSnapshot(const std::filesystem::path& file, unsigned channel,
                  const ChannelPicture& picture) {
    const PictureView view{
        channel, picture.size.width, picture.size.height, PictureLayout::Planar, picture.bytes, 0};
    const std::vector<std::uint8_t> rgb = displayRgb(view);
    if (rgb.empty())
        return false;
    const QImage image(rgb.data(), view.width, view.height, view.width * 3, QImage::Format_RGB888);
    return image.save(QString::fromStdString(file.string()), "PNG");
}

std::string ChannelCounts::lastTitle() const {
    std::lock_guard lock(m_titleMutex);
    return m_title;
}

void ChannelCounts::setLastTitle(std::string title) {
    std::lock_guard lock(m_titleMutex);
    m_title = std::move(title);
}

CountingConsumer::~CountingConsumer() {
    m_decoder->destroy();
    m_counts.decoded += m_decoder->stats().decoded;
}

void CountingConsumer::enqueueFrame(std::unique_ptr<FrameRecord> frame) {
    if (!frame || m_decoder->discardAll())
        return;
    ++m_counts.frames;
    if (frame->descriptor.keyFrame())
        ++m_counts.keyFrames;
    m_counts.bytes += frame->data.size();
    const auto& title = frame->descriptor.title;
    m_counts.setLastTitle(std::string(title.data(), strnlen(title.data(), title.size())));
    m_decoder->enqueueFrame(std::move(frame));
}

std::unique_ptr<FrameConsumer> CountingFactory::createConsumer(unsigned channel) {
    if (channel >= kChannelCount)
        return nullptr;
    return std::make_unique<CountingConsumer>(
        std::make_unique<ChannelDecoder>(channel, m_kind, m_library, m_pictures, m_target, m_host),
        m_counts[channel]);
}

int reportPlayedChannel(CliOutput& output, unsigned channel, const ChannelCounts& counts,
                        const ChannelPicture& picture, const std::string& snapshotDir,
                        const std::string& jsonExtra) {
    const int width = picture.decoded ? picture.size.width : 0;
    const int height = picture.decoded ? picture.size.height : 0;
    const std::string title = counts.lastTitle();
    if (output.json()) {
        output.line("{\"event\":\"channel\",\"channel\":" + std::to_string(channel + 1) +
                    ",\"frames\":" + std::to_string(counts.frames) +
                    ",\"key_frames\":" + std::to_string(counts.keyFrames) + ",\"decoded\":" +
                    std::to_string(counts.decoded) + ",\"width\":" + std::to_string(width) +
                    ",\"height\":" + std::to_string(height) + jsonExtra +
                    ",\"title\":" + jsonString(title) + "}");
    } else {
        output.line("channel " + std::to_string(channel + 1) + ": " +
                    std::to_string(counts.frames) + " frames (" + std::to_string(counts.keyFrames) +
                    " key), " + std::to_string(counts.decoded) + " decoded, " +
                    std::to_string(width) + "x" + std::to_string(height) + ", title \"" + title +
                    "\"");
    }
    return saveChannelPicture(output, snapshotDir, channel, picture);
}

int saveChannelPicture(CliOutput& output, const std::string& snapshotDir, unsigned channel,
                       const ChannelPicture& picture) {
    if (snapshotDir.empty() || !picture.decoded)
        return 0;
    char name[16];
    std::snprintf(name, sizeof name, "ch%02u.png", channel + 1);
    const std::filesystem::path file = std::filesystem::path(snapshotDir) / name;
    if (saveSnapshot(file, channel, picture))
        return 0;
    output.error("cannot write " + file.string());
    return kExitUsage;
}

void DecoderInitNotice::post() {
    CliOutput* output = &m_output;
    m_calls.post([output] { output->error(kDecoderInitErrorText); });
}

bool prepareSnapshotFolder(CliOutput& output, const std::string& snapshotDir) {
    if (snapshotDir.empty())
        return true;
    std::error_code failed;
    std::filesystem::create_directories(snapshotDir, failed);
    if (std::filesystem::is_directory(snapshotDir))
        return true;
    output.error("cannot create the snapshot folder '" + snapshotDir + "'");
    return false;
}

std::unique_ptr<DecoderLibrary> openDecoderLibrary(CliOutput& output) {
    std::unique_ptr<DecoderLibrary> library = DecoderLibrary::openFromProgramFolder();
    if (!library)
        output.error(std::string(DecoderLibrary::kFileName) +
                     " not found beside the program: nothing is decoded");
    return library;
}

} // namespace kalder::cli
