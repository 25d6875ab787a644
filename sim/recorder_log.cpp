#include "sim/recorder_log.h"

#include "wire/message_catalogue.h"
#include "sim/live_frame_builder.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

namespace kalder::sim {

namespace {

struct Template {
    std::uint32_t kind;
    int subKind;     // bit number; -1: none
    int variant = 0; // camera-recording profile, or another value set
};

// One of each kind and sub-kind, the camera-recording entry once per profile, plus a few
// variants (a profile-2 entry whose area did not change, a zero-kind record).
std::vector<Template> templates() {
    std::vector<Template> t;
    for (int b = 0; b < 3; ++b)
        t.push_back({LogKind::Power, b});
    for (int b = 0; b < 5; ++b)
        t.push_back({LogKind::Record, b});
    for (int b = 0; b < 17; ++b)
        t.push_back({LogKind::Operation, b});
    for (int profile : {0, 1, 2, 3, 4, 5, 0x80})
        t.push_back({LogKind::Operation, LogOperation::CameraRecording, profile});
    t.push_back({LogKind::Operation, LogOperation::CameraRecording, 0x102}); // area unchanged
    for (int b = 0; b < 8; ++b)
        t.push_back({LogKind::Client, b});
    for (int b = 0; b < 5; ++b)
        t.push_back({LogKind::Event, b});
    // Events are what a recorder logs most.
    for (int b = 0; b < 3; ++b)
        t.push_back({LogKind::Event, b, 1});
    return t;
}

template <typename... Args> std::string format(const char* pattern, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

void putText(std::array<std::uint8_t, kLogValueBlockSize>& block, const std::string& text) {
    std::memcpy(block.data(), text.data(), std::min(text.size(), kLogValueBlockWire - 1));
}

void fillOperation(LogRecord& r, const Template& t, std::size_t i, const SimConfig& config) {
    auto& o = r.oldValue;
    auto& n = r.newValue;
    const unsigned channels = config.channelCount ? config.channelCount : 16;
    const std::uint8_t camera = static_cast<std::uint8_t>(i % channels + 1);
    switch (t.subKind) {
    case LogOperation::SetupChange:
        r.text = "Setup changed";
        r.extra = {static_cast<std::uint8_t>(0x3F >> (i % 3)),
                   static_cast<std::uint8_t>(0xFF >> (i % 5)),
                   0xFF,
                   0x0F,
                   0x1F,
                   0,
                   0,
                   0};
        break;
    case LogOperation::Archive:
        r.text = "Archive";
        r.extra = {static_cast<std::uint8_t>(i % 11),
                   static_cast<std::uint8_t>(i % 2),
                   0x05,
                   static_cast<std::uint8_t>(channels > 8 ? 0x81 : 0),
                   0,
                   0,
                   0,
                   0};
        r.archiveStart = r.time - 7200;
        r.archiveEnd = r.time - 3600;
        break;
    case LogOperation::CameraTitle:
        r.channelValue = camera;
        putText(o, format("CH%u", camera));
        putText(n, format("Camera %u", camera));
        break;
    case LogOperation::Streaming:
        o = {1, 15, 0, 2};
        n = {0, 30, 2, static_cast<std::uint8_t>(camera - 1)};
        break;
    case LogOperation::ScheduleChange:
        // Old: recording every hour of every day; new: office hours only.
        for (std::size_t b = 0; b < kLogValueBlockWire; ++b)
            o[b] = config.subProductMajor == 3 || config.subProductMajor == 4 ? 0x55 : 0xFF;
        for (int hour = 8; hour < 18; ++hour)
            for (int day = 1; day < 6; ++day) {
                const int k = hour * 7 + day;
                if (config.subProductMajor == 3 || config.subProductMajor == 4) {
                    if (k / 4 < 32)
                        n[k / 4] = static_cast<std::uint8_t>(n[k / 4] | (2 << (2 * (k % 4))));
                } else {
                    n[k / 8] = static_cast<std::uint8_t>(n[k / 8] | (1 << (k % 8)));
                }
            }
        break;
    case LogOperation::RecordingModes:
        o = {0, 1, 2, 3, 4};
        n = {6, 5, 4, 3, 2};
        break;
    case LogOperation::CameraRecording: {
        r.channelValue = camera;
        const int profile = t.variant & 0xFF;
        o[0] = static_cast<std::uint8_t>(profile);
        if (profile == 0x80) {
            o[1] = 10, o[2] = 200, o[3] = 20, o[4] = 150; // left, right, top, bottom
            n[0] = 16, n[1] = 220, n[2] = 32, n[3] = 160;
            break;
        }
        o[1] = 0, o[2] = 30, o[3] = 1; // resolution, rate, audio
        n[0] = 2, n[1] = 15, n[2] = 0;
        if (profile == 1) {
            const std::uint8_t oldEntries[16] = {3, 0, 5, 0, 0, 1, 7, 0, 4, 1, 0x2C, 0x01};
            const std::uint8_t newEntries[16] = {3, 1, 9, 0, 5, 0, 12, 0};
            std::memcpy(&o[4], oldEntries, 16);
            std::memcpy(&n[3], newEntries, 16);
        } else if (profile == 2 || profile == 4) {
            o[4] = 0, n[3] = 2; // quality
            for (int b = 0; b < 13; ++b)
                o[5 + b] = n[4 + b] = static_cast<std::uint8_t>(0x0F << (b % 4));
            if (t.variant == 2)
                n[4] = 0xF0, n[8] = 0x81;
        } else if (profile == 5) {
            o[4] = 3, n[3] = 7; // sensitivity
            o[5] = 0, n[4] = 1; // motion recording
        }
        break;
    }
    default:
        r.text = format("Operation %d", t.subKind);
        break;
    }
}

} // namespace

std::vector<LogRecord> buildRecorderLog(const SimConfig& config, std::uint32_t now) {
    std::vector<Template> kinds;
    for (const Template& t : templates())
        if (t.kind & config.logKinds)
            kinds.push_back(t);
    if (kinds.empty())
        kinds.push_back({0, -1}); // nothing but kind-less entries
    const std::size_t count = config.logRecords;
    std::vector<LogRecord> log(count);
    const std::uint32_t step = 317; // seconds between entries
    for (std::size_t i = 0; i < count; ++i) {
        LogRecord& r = log[i];
        const Template& t = kinds[i % kinds.size()];
        r.sequence = static_cast<std::uint32_t>((i + 1) % 100000);
        r.size = config.logRecordSize;
        const std::uint32_t back = static_cast<std::uint32_t>(count - 1 - i) * step;
        r.time = now > back ? now - back : 0;
        if (i % 97 == 96) {
            r.text = "damaged entry";
            continue; // no kind bit
        }
        if (t.kind == 0)
            continue;
        r.kindBits = t.kind;
        r.subKindBits = 1u << t.subKind;
        r.source = i % 3 == 0 ? "ADMIN" : format("192.168.1.%zu", 10 + i % 40);
        switch (t.kind) {
        case LogKind::Power:
            r.text = t.subKind == 1 ? "Shut down by the operator" : "";
            break;
        case LogKind::Record:
            r.text = format("Disk %zu", i % 4 + 1);
            break;
        case LogKind::Operation:
            fillOperation(r, t, i, config);
            break;
        case LogKind::Client:
            r.text = format("Remote client 10.0.0.%zu", i % 200 + 1);
            break;
        case LogKind::Event: {
            const unsigned channels = config.channelCount ? config.channelCount : 16;
            r.channelValue = (1u << (i % channels)) | (t.variant ? 1u << ((i + 5) % channels) : 0);
            break;
        }
        default:
            break;
        }
    }
    return log;
}

LogAnswer answerLogRequest(const SimConfig& config, std::uint32_t now) {
    LogAnswer answer;
    if (config.logRefusal != 0) {
        answer.refusal = config.logRefusal;
        return answer;
    }
    std::vector<std::byte> payload;
    for (const LogRecord& r : buildRecorderLog(config, now)) {
        const std::vector<std::byte> one = encodeLogRecord(r, config.logRecordSize);
        payload.insert(payload.end(), one.begin(), one.end());
    }
    answer.wire =
        buildFragmentedMessages(payload, MessageId::LOG_INFO_ACK, 0, 0, 0, config.logFragmentBytes);
    return answer;
}

} // namespace kalder::sim
