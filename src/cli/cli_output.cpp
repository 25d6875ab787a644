#include "cli/cli_output.h"

#include "resources/resource_library.h"
#include "wire/notification_table.h"

#include <ctime>

namespace kalder::cli {

namespace {

// Length of the UTF-8 sequence that starts at `i`, or 0 when the bytes there do not form one.
std::size_t utf8Length(std::string_view s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
    if (n == 0 || i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 0;
    return n;
}

std::string version(unsigned major, unsigned minor) {
    return std::to_string(major) + "." + std::to_string(minor);
}

std::string macText(const std::array<std::uint8_t, 6>& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

unsigned featureBits(const HelloRecord& hello) {
    return hello.flags & 0x03u;
}

std::string utcText(std::uint32_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return text;
}

} // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            if (const std::size_t n = utf8Length(text, i)) {
                out.append(text.substr(i, n));
                i += n;
            } else {
                out.push_back(static_cast<char>(0xC0 | (c >> 6)));
                out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
                ++i;
            }
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", c);
                out += esc;
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
        ++i;
    }
    out.push_back('"');
    return out;
}

std::string helloJson(const HelloRecord& h) {
    std::string s = "{\"event\":\"hello\"";
    s += ",\"protocol_version\":" + jsonString(version(h.protocol_major_ver, h.protocol_minor_ver));
    s += ",\"product_number\":" + std::to_string(h.product_number);
    s += ",\"product_version\":" + jsonString(version(h.product_major_ver, h.product_minor_ver));
    s +=
        ",\"sub_product\":" + jsonString(version(h.sub_product_num_major, h.sub_product_num_minor));
    s += ",\"channels\":" + std::to_string(h.channel_num);
    s += ",\"account\":" + std::to_string(h.account);
    s += ",\"mac\":" + jsonString(macText(h.mac));
    s += ",\"feature_bits\":" + std::to_string(featureBits(h));
    s += ",\"firmware\":[";
    bool first = true;
    for (std::size_t slot = 0; slot < kFirmwareSlots; ++slot) {
        if (h.firmName[slot].empty() && h.firmVer[slot] == 0)
            continue;
        if (!first)
            s += ",";
        first = false;
        s += "{\"slot\":" + std::to_string(slot) + ",\"name\":" + jsonString(h.firmName[slot]) +
             ",\"build_time\":" + std::to_string(h.firmVer[slot]) + "}";
    }
    s += "]}";
    return s;
}

std::string helloText(const HelloRecord& h) {
    std::string s = "recorder: protocol " + version(h.protocol_major_ver, h.protocol_minor_ver) +
                    ", product " + std::to_string(h.product_number) + " version " +
                    version(h.product_major_ver, h.product_minor_ver) + ", sub-product " +
                    version(h.sub_product_num_major, h.sub_product_num_minor) + ", " +
                    std::to_string(h.channel_num) + " channels, account " +
                    std::to_string(h.account) + ", MAC " + macText(h.mac) + ", feature bits " +
                    std::to_string(featureBits(h));
    for (std::size_t slot = 0; slot < kFirmwareSlots; ++slot) {
        if (h.firmName[slot].empty() && h.firmVer[slot] == 0)
            continue;
        s += "\nfirmware slot " + std::to_string(slot) + ": " + h.firmName[slot] + ", built " +
             utcText(h.firmVer[slot]);
    }
    return s;
}

std::string notificationJson(Notification n, std::string_view text) {
    return "{\"event\":\"notification\",\"category\":" + std::to_string(n.category) +
           ",\"detail\":" + std::to_string(n.detail) + ",\"text\":" + jsonString(text) + "}";
}

std::string notificationText(Notification n, std::string_view text) {
    return "notification " + std::to_string(n.category) + "," + std::to_string(n.detail) + ": " +
           std::string(text);
}

std::string notificationResourceText(Notification notification) {
    const NotificationEntry* entry = findNotificationEntry(notification);
    if (!entry)
        return {};
    QStringList texts;
    for (std::uint16_t id : notificationLines(*entry))
        texts << resourceText(id);
    return texts.join(QLatin1Char(' ')).toStdString();
}

void CliOutput::hello(const HelloRecord& hello) {
    line(m_json ? helloJson(hello) : helloText(hello));
}

void CliOutput::notification(Notification n) {
    const std::string text = notificationResourceText(n);
    line(m_json ? notificationJson(n, text) : notificationText(n, text));
}

void CliOutput::line(const std::string& text) {
    std::fprintf(m_out, "%s\n", text.c_str());
    std::fflush(m_out);
}

void CliOutput::error(const std::string& text) {
    std::fprintf(m_err, "kalder-cli: %s\n", text.c_str());
    std::fflush(m_err);
}

} // namespace kalder::cli
