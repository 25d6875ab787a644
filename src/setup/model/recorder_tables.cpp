#include "setup/model/recorder_tables.h"

#include "wire/byte_reader.h"

#include <algorithm>
#include <cstring>

namespace kalder {

namespace {

const char* const kBuiltInProtocols[] = {"Pelco-P",  "Pelco-D",   "Vista PD",
                                         "Dongyang", "Brisk-900", "Vitek"};
const char* const kBuiltInKeyboards[] = {"Brisk-900", "Vista KBD"};

std::uint8_t byteAt(const std::vector<std::byte>& bytes, std::size_t offset) {
    return offset < bytes.size() ? std::to_integer<std::uint8_t>(bytes[offset]) : 0;
}

std::string textAt(const std::vector<std::byte>& bytes, std::size_t offset, std::size_t width) {
    if (offset >= bytes.size())
        return {};
    return zeroPaddedText(std::span(bytes).subspan(offset, std::min(width, bytes.size() - offset)));
}

} // namespace

std::vector<SerialDeviceType> serialDeviceTypes(const SetupTables& tables, SerialTable which) {
    const bool ptz = which == SerialTable::PtzProtocols;
    std::vector<SerialDeviceType> types;
    types.reserve(kSerialTablePlaces);
    for (std::size_t i = 0; i < kSerialTablePlaces; ++i) {
        SerialDeviceType type;
        if (tables.sysEtcInfoExPresent) {
            type.name = textAt(tables.sysEtcInfoEx, (ptz ? 1024 : 2112) + 16 * i, 16);
            if (type.name.empty())
                continue;
            type.baudCount = byteAt(tables.sysEtcInfoEx, (ptz ? 2048 : 3136) + i);
        } else {
            const std::size_t at = (ptz ? 64 : 192) + 2 * i;
            const unsigned number = byteAt(tables.sysEtcInfo, at);
            if (number == 0)
                continue;
            const auto& names = ptz ? std::span<const char* const>(kBuiltInProtocols)
                                    : std::span<const char* const>(kBuiltInKeyboards);
            type.name = number <= names.size()
                            ? std::string(names[number - 1])
                            : (ptz ? "Protocol " : "Keyboard ") + std::to_string(number);
            type.baudCount = byteAt(tables.sysEtcInfo, at + 1);
        }
        type.baudCount = std::min<unsigned>(type.baudCount, kBaudRateCount);
        types.push_back(std::move(type));
    }
    return types;
}

std::vector<DstRule> regionalDstRules(const SetupTables& tables) {
    std::vector<DstRule> rules;
    if (tables.dstTable.size() < 4)
        return rules;
    std::uint32_t count = 0;
    std::memcpy(&count, tables.dstTable.data(), sizeof count);
    for (std::size_t r = 0; r < kMaxRegionalDstRules && r < count; ++r) {
        const std::size_t at = 4 + 12 * r;
        if (at + 12 > tables.dstTable.size())
            break;
        ByteReader in(std::span(tables.dstTable).subspan(at, 12));
        DstRule rule;
        for (std::uint8_t* field :
             {&rule.startMonth, &rule.startWeek, &rule.startWeekday, &rule.startHour,
              &rule.startMinute, &rule.endMonth, &rule.endWeek, &rule.endWeekday, &rule.endHour,
              &rule.endMinute})
            *field = in.readU8();
        rules.push_back(rule);
    }
    return rules;
}

} // namespace kalder
