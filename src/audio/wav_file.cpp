#include "audio/wav_file.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace kalder {

namespace {

constexpr std::uint16_t kPcmFormat = 1;
constexpr std::size_t kHeaderBytes = 44;
// A talk file longer than this (about two hours at 8 kHz) is refused before it is read.
constexpr std::uintmax_t kLargestFile = 128u * 1024 * 1024;

std::uint32_t fourCc(const char* text) {
    return std::uint32_t(std::uint8_t(text[0])) | (std::uint32_t(std::uint8_t(text[1])) << 8) |
           (std::uint32_t(std::uint8_t(text[2])) << 16) |
           (std::uint32_t(std::uint8_t(text[3])) << 24);
}

} // namespace

std::optional<WavSound> parseWav(std::span<const std::byte> bytes, std::string& error) {
    ByteReader r(bytes);
    if (r.readLe32() != fourCc("RIFF")) {
        error = "not a RIFF file";
        return std::nullopt;
    }
    r.readLe32(); // RIFF length: not trusted, the chunks are checked one by one
    if (r.readLe32() != fourCc("WAVE") || !r.ok()) {
        error = "not a WAVE file";
        return std::nullopt;
    }
    WavSound sound;
    bool haveFormat = false;
    while (r.remaining() >= 8) {
        const std::uint32_t id = r.readLe32();
        const std::uint32_t length = r.readLe32();
        if (length > r.remaining()) {
            error = "a chunk runs past the end of the file";
            return std::nullopt;
        }
        if (id == fourCc("fmt ")) {
            ByteReader f(r.readBytes(length));
            const std::uint16_t format = f.readLe16();
            sound.channels = f.readLe16();
            sound.sampleRate = f.readLe32();
            f.readLe32(); // bytes per second
            f.readLe16(); // block alignment
            const std::uint16_t bits = f.readLe16();
            if (!f.ok() || format != kPcmFormat || bits != 16 || sound.channels == 0) {
                error = "only 16-bit PCM is taken";
                return std::nullopt;
            }
            haveFormat = true;
        } else if (id == fourCc("data")) {
            if (!haveFormat) {
                error = "data before the format chunk";
                return std::nullopt;
            }
            ByteReader d(r.readBytes(length));
            sound.samples.reserve(length / 2);
            while (d.remaining() >= 2)
                sound.samples.push_back(static_cast<std::int16_t>(d.readLe16()));
            return sound;
        } else {
            r.skip(length);
        }
        if (length % 2 != 0 && r.remaining() > 0)
            r.skip(1); // chunks are padded to even lengths
    }
    error = haveFormat ? "no data chunk" : "no format chunk";
    return std::nullopt;
}

std::optional<WavSound> readWavFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        error = "cannot open " + path;
        return std::nullopt;
    }
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::uintmax_t>(size) > kLargestFile) {
        error = path + " is too large";
        return std::nullopt;
    }
    std::vector<std::byte> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    return parseWav(bytes, error);
}

std::vector<std::byte> encodeWav(std::uint32_t sampleRate, std::span<const std::int16_t> samples) {
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<std::byte> bytes(kHeaderBytes + dataBytes);
    ByteWriter w(bytes);
    w.writeLe32(fourCc("RIFF"));
    w.writeLe32(36 + dataBytes);
    w.writeLe32(fourCc("WAVE"));
    w.writeLe32(fourCc("fmt "));
    w.writeLe32(16);
    w.writeLe16(kPcmFormat);
    w.writeLe16(1);
    w.writeLe32(sampleRate);
    w.writeLe32(sampleRate * 2);
    w.writeLe16(2);
    w.writeLe16(16);
    w.writeLe32(fourCc("data"));
    w.writeLe32(dataBytes);
    for (std::int16_t s : samples)
        w.writeLe16(static_cast<std::uint16_t>(s));
    return bytes;
}

bool writeWavFile(const std::string& path, std::uint32_t sampleRate,
                  std::span<const std::int16_t> samples, std::string& error) {
    const std::vector<std::byte> bytes = encodeWav(sampleRate, samples);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace kalder
