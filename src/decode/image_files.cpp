#include "decode/image_files.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <jpeglib.h>
#include <tiffio.h>

namespace kalder {

namespace {

constexpr int kMaxReadSide = 8192;

// A temporary file beside its final name; removed unless committed.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::filesystem::path& target) : m_target(target) {
        std::string pattern =
            (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
        m_fd = ::mkstemp(pattern.data());
        if (m_fd >= 0) {
            m_path = pattern;
            ::fchmod(m_fd, 0644);
        }
    }
    ~TemporaryFile() {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_path.empty())
            ::unlink(m_path.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool valid() const { return m_fd >= 0; }
    // Hands the descriptor to a library that closes it.
    int releaseFd() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    int fd() const { return m_fd; }
    const std::string& path() const { return m_path; }
    // Closes (when still open) and renames into place.
    bool commit(std::string& error, bool durable) {
        if (m_fd >= 0) {
            const int fd = m_fd;
            m_fd = -1;
            const bool synced = !durable || ::fsync(fd) == 0;
            if (::close(fd) != 0 || !synced) {
                error = std::string("cannot finish the file: ") + std::strerror(errno);
                return false;
            }
        }
        if (::rename(m_path.c_str(), m_target.c_str()) != 0) {
            error = std::string("cannot rename into place: ") + std::strerror(errno);
            return false;
        }
        m_path.clear();
        return true;
    }

private:
    std::filesystem::path m_target;
    std::string m_path;
    int m_fd = -1;
};

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void putLe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void putLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    putLe16(out, static_cast<std::uint16_t>(v));
    putLe16(out, static_cast<std::uint16_t>(v >> 16));
}

// libjpeg's errors end in a jump back to the caller instead of ending the program.
struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};
void jpegErrorExit(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->jump, 1);
}
void jpegSilence(j_common_ptr, int) {}

// Writes the JPEG into `file`; false and `error` on any libjpeg error.
bool compressJpeg(std::FILE* file, const RgbImage& image, std::string& error) {
    jpeg_compress_struct info{};
    JpegError jerr{};
    info.err = jpeg_std_error(&jerr.manager);
    jerr.manager.error_exit = jpegErrorExit;
    jerr.manager.emit_message = jpegSilence;
    if (setjmp(jerr.jump)) {
        error = std::string("JPEG: ") + jerr.message;
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    for (int y = 0; y < image.height; ++y) {
        JSAMPROW row = const_cast<JSAMPROW>(image.at(0, y));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

bool writeJpeg(TemporaryFile& file, const RgbImage& image, std::string& error, bool durable) {
    std::FILE* stream = ::fdopen(file.releaseFd(), "wb");
    if (stream == nullptr) {
        error = "cannot open the temporary file";
        return false;
    }
    const bool ok = compressJpeg(stream, image, error);
    const bool flushed = std::fflush(stream) == 0 && (!durable || ::fsync(::fileno(stream)) == 0);
    const bool closed = std::fclose(stream) == 0;
    if (ok && !(flushed && closed))
        error = std::string("cannot write the file: ") + std::strerror(errno);
    return ok && flushed && closed;
}

bool writeTiff(TemporaryFile& file, const RgbImage& image, std::string& error) {
    // Written with the byte order "wb" asks for (big-endian).
    TIFF* tiff = TIFFFdOpen(file.releaseFd(), file.path().c_str(), "wb");
    if (tiff == nullptr) {
        error = "TIFF: cannot open the temporary file";
        return false;
    }
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(image.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(image.height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 1);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_NONE);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    bool ok = true;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width) * 3);
    for (int y = 0; y < image.height && ok; ++y) {
        std::memcpy(row.data(), image.at(0, y), row.size());
        ok = TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) == 1;
    }
    ok = ok && TIFFFlush(tiff) == 1;
    // TIFFClose closes the descriptor without telling whether that worked: the flush above has
    // written everything, and the data reached the disk or failed there.
    TIFFClose(tiff);
    if (!ok)
        error = "TIFF: cannot write the file";
    return ok;
}

std::optional<RgbImage> readJpeg(const std::filesystem::path& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return std::nullopt;
    jpeg_decompress_struct info{};
    JpegError jerr{};
    info.err = jpeg_std_error(&jerr.manager);
    jerr.manager.error_exit = jpegErrorExit;
    jerr.manager.emit_message = jpegSilence;
    RgbImage image;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_decompress(&info);
        std::fclose(file);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    if (info.image_width == 0 || info.image_height == 0 || info.image_width > kMaxReadSide ||
        info.image_height > kMaxReadSide) {
        jpeg_destroy_decompress(&info);
        std::fclose(file);
        return std::nullopt;
    }
    jpeg_start_decompress(&info);
    image.width = static_cast<int>(info.output_width);
    image.height = static_cast<int>(info.output_height);
    image.pixels.resize(std::size_t(image.width) * image.height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.at(0, static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return image;
}

std::optional<RgbImage> readTiff(const std::filesystem::path& path) {
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr)
        return std::nullopt;
    std::uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    if (width == 0 || height == 0 || width > kMaxReadSide || height > kMaxReadSide) {
        TIFFClose(tiff);
        return std::nullopt;
    }
    std::vector<std::uint32_t> raster(std::size_t(width) * height);
    const bool ok =
        TIFFReadRGBAImageOriented(tiff, width, height, raster.data(), ORIENTATION_TOPLEFT, 0) == 1;
    TIFFClose(tiff);
    if (!ok)
        return std::nullopt;
    RgbImage image{static_cast<int>(width), static_cast<int>(height),
                   std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
    for (std::size_t i = 0; i < raster.size(); ++i) {
        image.pixels[3 * i] = static_cast<std::uint8_t>(TIFFGetR(raster[i]));
        image.pixels[3 * i + 1] = static_cast<std::uint8_t>(TIFFGetG(raster[i]));
        image.pixels[3 * i + 2] = static_cast<std::uint8_t>(TIFFGetB(raster[i]));
    }
    return image;
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8) |
           (std::uint32_t(b[at + 2]) << 16) | (std::uint32_t(b[at + 3]) << 24);
}

std::optional<RgbImage> readBmp(const std::filesystem::path& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0 && bytes.size() < 256u << 20)
        bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(file);
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M')
        return std::nullopt;
    const std::uint32_t offset = le32(bytes, 10);
    const auto width = static_cast<std::int32_t>(le32(bytes, 18));
    const auto rawHeight = static_cast<std::int32_t>(le32(bytes, 22));
    const unsigned bits = bytes[28] | (bytes[29] << 8);
    const std::uint32_t compression = le32(bytes, 30);
    if (bits != 24 || compression != 0 || width <= 0 || width > kMaxReadSide || rawHeight == 0 ||
        rawHeight > kMaxReadSide || rawHeight < -kMaxReadSide)
        return std::nullopt;
    const bool bottomUp = rawHeight > 0;
    const int height = bottomUp ? rawHeight : -rawHeight;
    const std::size_t stride = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
    if (offset > bytes.size() || bytes.size() - offset < stride * height)
        return std::nullopt;
    RgbImage image{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = bytes.data() + offset + stride * (bottomUp ? height - 1 - y : y);
        for (int x = 0; x < width; ++x) {
            std::uint8_t* d = image.at(x, y);
            d[0] = src[3 * x + 2];
            d[1] = src[3 * x + 1];
            d[2] = src[3 * x];
        }
    }
    return image;
}

} // namespace

ImageFormat imageFormatFromSetting(unsigned setting) {
    if (setting == 1)
        return ImageFormat::Bmp;
    if (setting == 2)
        return ImageFormat::Tiff;
    return ImageFormat::Jpeg;
}

const char* imageExtension(ImageFormat format) {
    switch (format) {
    case ImageFormat::Bmp:
        return ".bmp";
    case ImageFormat::Tiff:
        return ".tif";
    case ImageFormat::Jpeg:
        break;
    }
    return ".jpg";
}

std::vector<std::uint8_t> encodeBmp(const RgbImage& image) {
    const std::size_t stride = (std::size_t(image.width) * 3 + 3) & ~std::size_t(3);
    const auto imageBytes = static_cast<std::uint32_t>(stride * image.height);
    std::vector<std::uint8_t> out;
    out.reserve(54 + imageBytes);
    out.push_back('B');
    out.push_back('M');
    putLe32(out, 54 + imageBytes); // file size
    putLe16(out, 0);
    putLe16(out, 0);
    putLe32(out, 54); // offset of the pixels
    putLe32(out, 40); // information header size
    putLe32(out, static_cast<std::uint32_t>(image.width));
    putLe32(out, static_cast<std::uint32_t>(image.height));
    putLe16(out, 1);  // planes
    putLe16(out, 24); // bits a pixel
    putLe32(out, 0);  // no compression
    putLe32(out, imageBytes);
    for (int i = 0; i < 4; ++i)
        putLe32(out, 0); // resolutions, palette counts
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = image.at(x, y);
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
        }
        out.resize(out.size() + (stride - std::size_t(image.width) * 3), 0);
    }
    return out;
}

bool writeImageFile(const std::filesystem::path& path, ImageFormat format, const RgbImage& image,
                    std::string& error, bool durable) {
    if (image.empty()) {
        error = "no picture";
        return false;
    }
    TemporaryFile file(path);
    if (!file.valid()) {
        error = "cannot create a file in '" + path.parent_path().string() +
                "': " + std::strerror(errno);
        return false;
    }
    bool ok = false;
    switch (format) {
    case ImageFormat::Bmp: {
        const std::vector<std::uint8_t> bytes = encodeBmp(image);
        ok = writeAll(file.fd(), bytes.data(), bytes.size());
        if (!ok)
            error = std::string("cannot write the file: ") + std::strerror(errno);
        break;
    }
    case ImageFormat::Jpeg:
        ok = writeJpeg(file, image, error, durable);
        break;
    case ImageFormat::Tiff:
        ok = writeTiff(file, image, error);
        break;
    }
    return ok && file.commit(error, durable);
}

std::optional<RgbImage> readImageFile(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".jpg" || ext == ".jpeg")
        return readJpeg(path);
    if (ext == ".bmp")
        return readBmp(path);
    if (ext == ".tif" || ext == ".tiff")
        return readTiff(path);
    return std::nullopt;
}

} // namespace kalder
