#include "wire/firmware_records.h"

#include "wire/byte_reader.h"
#include "wire/byte_writer.h"
#include "wire/message_catalogue.h"

#include <cstring>
#include <string_view>

namespace kalder {

namespace {

constexpr int kRowSlots[kUpgradeRows] = {0, 3, 4, 5, 6};

// Decimal digits from `pos` on, as a C library's atoi reads them (leading blanks skipped); reads
// never go past the bytes there are.
int readNumber(std::span<const std::byte> bytes, std::size_t pos) {
    while (pos < bytes.size() && std::to_integer<char>(bytes[pos]) == ' ')
        ++pos;
    long value = 0;
    while (pos < bytes.size()) {
        const char c = std::to_integer<char>(bytes[pos]);
        if (c < '0' || c > '9' || value > 100000000)
            break;
        value = value * 10 + (c - '0');
        ++pos;
    }
    return static_cast<int>(value);
}

std::string textUpToZero(std::span<const std::byte> bytes) {
    std::string text;
    for (std::byte b : bytes) {
        if (b == std::byte{0})
            break;
        text.push_back(std::to_integer<char>(b));
    }
    return text;
}

} // namespace

int GetIdxToType(int row) {
    if (row < 0 || row >= static_cast<int>(kUpgradeRows))
        return -1;
    return kRowSlots[row];
}

int GetTypeToIdx(int slot) {
    for (int row = 0; row < static_cast<int>(kUpgradeRows); ++row)
        if (kRowSlots[row] == slot)
            return row;
    return -1;
}

std::array<std::byte, kFwUpdateRequestSize> encodeFwUpdateRequest(const FwUpdateRequest& r) {
    std::array<std::byte, kFwUpdateRequestSize> bytes{};
    ByteWriter w(bytes);
    w.writeZeros(4);
    w.writeBe32(r.buildTime);
    w.writeZeros(8);
    w.writeU8(r.componentType);
    w.writeZeros(4);
    w.writeText(r.componentName, kFwComponentNameSize);
    w.writeZeros(3);
    return bytes;
}

std::optional<FwUpdateRequest> decodeFwUpdateRequest(std::span<const std::byte> payload) {
    if (payload.size() != kFwUpdateRequestSize)
        return std::nullopt;
    ByteReader r(payload);
    FwUpdateRequest request;
    r.skip(4);
    request.buildTime = r.readBe32();
    r.skip(8);
    request.componentType = r.readU8();
    r.skip(4);
    request.componentName = r.readText(kFwComponentNameSize);
    if (!r.ok())
        return std::nullopt;
    return request;
}

MessageHeader makeFwDataHeader(std::uint16_t length, bool last) {
    MessageHeader header = makeHeader(MessageId::FW_DATA, length);
    header.fragmentFlags = last ? kFragmentLast : 0;
    return header;
}

std::optional<FirmwareTrailer> decodeFirmwareTrailer(std::span<const std::byte> trailer) {
    if (trailer.size() < kFwTrailerSize)
        return std::nullopt;
    ByteReader r(trailer);
    FirmwareTrailer t;
    r.seek(8);
    t.buildTime = r.readBe32();
    r.seek(32);
    t.componentName = r.readText(kFwComponentNameSize);
    if (!r.ok())
        return std::nullopt;
    return t;
}

bool trailerAtEnd(std::span<const std::byte> head) {
    ByteReader r(head);
    const std::uint32_t first = r.readLe32();
    return r.ok() && first == kTrailerAtEndMagic;
}

bool isBootImage(std::span<const std::byte> head) {
    static constexpr std::string_view kMark = "VBoot";
    if (head.size() < 3 + kMark.size())
        return false;
    return std::memcmp(head.data() + 3, kMark.data(), kMark.size()) == 0;
}

std::optional<BootImageInfo> decodeBootImageHead(std::span<const std::byte> head) {
    if (head.size() > kFwImageHeadSize)
        head = head.first(kFwImageHeadSize);
    if (!isBootImage(head) || head.size() < 15)
        return std::nullopt;
    BootImageInfo info;
    info.idText = textUpToZero(head.subspan(4, 11));
    info.sentName.assign(reinterpret_cast<const char*>(head.data()), 15);

    std::size_t open = 0;
    while (open < head.size() && std::to_integer<char>(head[open]) != '(')
        ++open;
    if (open + 4 > head.size())
        return std::nullopt; // no '(' or no room for a month after it
    static constexpr std::string_view kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::string_view month(reinterpret_cast<const char*>(head.data()) + open + 1, 3);
    int monthNumber = 0;
    for (int m = 0; m < 12; ++m)
        if (kMonths[m] == month)
            monthNumber = m + 1;
    if (monthNumber == 0)
        return std::nullopt;
    info.buildTime.month = monthNumber;
    info.buildTime.day = readNumber(head, open + 5);
    info.buildTime.year = readNumber(head, open + 8);
    info.buildTime.hour = readNumber(head, open + 15);
    info.buildTime.minute = readNumber(head, open + 18);
    info.buildTime.second = readNumber(head, open + 21);
    return info;
}

} // namespace kalder
