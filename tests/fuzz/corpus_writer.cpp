// kalder-fuzz-corpus DIR: writes the fuzz targets' seed inputs into DIR/<target>/, each made by
// the real writers: the simulator's records (greeting, rights, titles, status, the recorded
// disk's search replies, its log, its configuration record and system tables, its frames), the
// backup writer's sets, and the client's own history, log ring and settings files. Every input
// is framed as its target's comment says. The output is the same on every run.
#include "backup/backup_set_writer.h"
#include "files/connect_history.h"
#include "files/local_log.h"
#include "fuzz_formats.h"
#include "setup/local/client_customisation.h"
#include "setup/local/local_settings.h"
#include "sim/info_replies.h"
#include "sim/live_frame_builder.h"
#include "sim/recorder_log.h"
#include "sim/recorder_model.h"
#include "wire/byte_writer.h"
#include "wire/firmware_records.h"
#include "wire/frame_info.h"
#include "wire/message_catalogue.h"
#include "wire/message_header.h"
#include "wire/playback_records.h"
#include "wire/ptz_records.h"
#include "wire/recorder_time.h"
#include "wire/talk_packet.h"

#include <QSettings>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace kalder;
using Bytes = std::vector<std::byte>;

namespace {

fs::path g_root;

template <typename Range> Bytes bytesOf(const Range& r) {
    return Bytes(std::begin(r), std::end(r));
}

Bytes text(std::string_view s) {
    return Bytes(reinterpret_cast<const std::byte*>(s.data()),
                 reinterpret_cast<const std::byte*>(s.data()) + s.size());
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes byte(std::uint8_t b) {
    return {std::byte{b}};
}

Bytes be16(std::size_t v) {
    return {std::byte(v >> 8), std::byte(v)};
}

Bytes be32(std::uint32_t v) {
    return {std::byte(v >> 24), std::byte(v >> 16), std::byte(v >> 8), std::byte(v)};
}

Bytes readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Bytes(reinterpret_cast<const std::byte*>(s.data()),
                 reinterpret_cast<const std::byte*>(s.data()) + s.size());
}

Bytes slice(const Bytes& b, std::size_t from, std::size_t to) {
    from = std::min(from, b.size());
    to = std::min(to, b.size());
    return Bytes(b.begin() + std::ptrdiff_t(from), b.begin() + std::ptrdiff_t(std::max(from, to)));
}

void put(const std::string& target, const std::string& name, const Bytes& bytes) {
    const fs::path folder = g_root / target;
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + (folder / name).string());
}

// The payloads of a run of messages on the wire, joined: a reassembled reply.
Bytes joinPayloads(const Bytes& wire) {
    Bytes out;
    std::size_t at = 0;
    while (at + kHeaderSize <= wire.size()) {
        const MessageHeader h =
            decodeHeader(std::span<const std::byte, kHeaderSize>(wire.data() + at, kHeaderSize));
        at += kHeaderSize;
        const std::size_t n = std::min<std::size_t>(h.payloadLength, wire.size() - at);
        out.insert(out.end(), wire.begin() + std::ptrdiff_t(at),
                   wire.begin() + std::ptrdiff_t(at + n));
        at += n;
    }
    return out;
}

std::uint32_t recorderTime(int y, int mo, int d, int h, int mi, int s) {
    return static_cast<std::uint32_t>(encodeCivilTime({y, mo, d, h, mi, s}));
}

// A frame as the recorder sends it: the 40-byte block, a small access unit, the sound section.
Bytes frame(std::uint8_t channel, std::uint32_t time, bool key, bool sound) {
    static const std::array<std::uint8_t, 24> video = {
        0,    0, 0, 1, 0x67, 0x42, 0,    0x1e, 0xda, 1,    0x40, 0x16,
        0xe8, 0, 0, 0, 1,    0x65, 0x88, 0x84, 0x21, 0xa0, 0x11, 0x22};
    static const std::array<std::uint8_t, 512> mu = [] {
        std::array<std::uint8_t, 512> a{};
        for (std::size_t i = 0; i < a.size(); ++i)
            a[i] = static_cast<std::uint8_t>(0x80 + (i % 32));
        return a;
    }();
    sim::FrameParts parts;
    parts.channel = channel;
    parts.timeSeconds = time;
    parts.milliseconds = 250;
    parts.key = key;
    parts.video = std::as_bytes(std::span(video));
    if (sound) {
        parts.audioElement = mu;
        parts.audioChannel = channel;
    }
    return sim::buildFrame(parts);
}

void messageRecords(sim::RecorderModel& model, std::uint32_t now) {
    const std::string t = "message_records";
    put(t, "header",
        concat({byte(0), bytesOf(encodeHeader(makeHeader(MessageId::LIVE_DATA, 1400)))}));
    put(t, "nack", concat({byte(1), be32(87), be32(1024), be32(2048)}));
    put(t, "hello", concat({byte(2), bytesOf(encodeHelloPayload({"admin", "1111"}))}));
    put(t, "hello-ack", concat({byte(3), bytesOf(encodeHelloRecord(model.helloRecord(0)))}));
    put(t, "titles", concat({byte(4), bytesOf(encodeChannelConfigRecord(model.channelConfig()))}));
    put(t, "live-rights", concat({byte(5), bytesOf(encodeLiveViewRights(model.liveViewRights()))}));
    put(t, "rights", concat({byte(6), bytesOf(encodeUserRightsTable(model.rightsTable()))}));
    put(t, "rec-status", concat({byte(7), bytesOf(encodeRecStatus(model.recStatus()))}));
    put(t, "recorder-time", concat({byte(8), be32(now)}));
    const auto config = model.config();
    put(t, "status-info", concat({byte(9), sim::statusInfoPayload(config.statusInfo, 16, true)}));
    auto shortInfo = config.statusInfo;
    shortInfo.diskDetails = false;
    put(t, "status-info-short", concat({byte(9), sim::statusInfoPayload(shortInfo, 4, false)}));
    Bytes sound(kTalkSoundSize, std::byte{0xFF});
    put(t, "talk", concat({byte(10), bytesOf(encodeTalkPacket(sound))}));
    put(t, "ptz",
        concat({byte(11), bytesOf(encodePtzCommand(
                              {ptzMoveCommand(PtzMode::PanTilt, PtzDirection::Up), 0x0102}))}));
    put(t, "fw-update",
        concat({byte(12), bytesOf(encodeFwUpdateRequest({1717200000u, 3, "kernel"}))}));
    put(t, "day-query", concat({byte(13), bytesOf(encodeDayQuery(2026, 12, 9))}));
    put(t, "frame", concat({byte(14), frame(3, recorderTime(2026, 12, 9, 12, 0, 0), true, true)}));
    put(t, "times", concat({byte(15), be32(0), be32(0x7FFFFFFF), be32(0xFFFFFFFF)}));
}

void searchRecords(const sim::RecorderModel& model) {
    const std::string t = "search_records";
    const sim::RecordedDisk& disk = model.disk();
    Bytes years{std::byte{0}};
    for (const YearAvailability& y : disk.yearAvailability()) {
        const auto b = encodeYearAvailability(y);
        years.insert(years.end(), b.begin(), b.end());
    }
    put(t, "month", years);
    const CivilTime last = decodeRecorderTime(disk.lastTime());
    Bytes day{std::byte{1}};
    for (const DaySegment& s : disk.daySegments(last.year, last.month, last.day)) {
        const auto b = encodeDaySegment(s);
        day.insert(day.end(), b.begin(), b.end());
    }
    put(t, "day", day);
    Bytes events{std::byte{2}};
    for (std::size_t i = 0; i < disk.events().size() && i < 64; ++i) {
        const auto b = encodeEventEntry(disk.events()[i]);
        events.insert(events.end(), b.begin(), b.end());
    }
    put(t, "events", events);
}

void logRecords(const sim::SimConfig& base, std::uint32_t now) {
    for (unsigned size : {184u, 200u}) {
        sim::SimConfig config = base;
        config.logRecords = 40;
        config.logRecordSize = size;
        const Bytes reply = joinPayloads(sim::answerLogRequest(config, now).wire);
        put("log_records", "log-" + std::to_string(size), reply);
        put("log_reply", "log-" + std::to_string(size), reply);
    }
}

void configRecord(const sim::SimConfig& base) {
    const auto etc = sim::buildSysEtcInfo();
    const auto ex = sim::buildSysEtcInfoEx();
    const auto dst = sim::buildDstTable();
    const Bytes tables = concat({bytesOf(etc), bytesOf(ex), bytesOf(dst)});
    const Bytes lengths = concat({be16(etc.size()), be16(ex.size()), be16(dst.size())});
    for (const auto& [major, minor, length] : {std::tuple{5, 0, 8176}, std::tuple{4, 2, 6800}}) {
        const Bytes record = sim::buildFactoryRecord(
            base, {std::uint8_t(major), std::uint8_t(minor)}, std::size_t(length));
        const Bytes payload = sealConfigTransfer(record, record.size() + kConfigCrcSize);
        const std::string name = "record-" + std::to_string(major) + "." + std::to_string(minor);
        // Choices bits 6-7: every field, or one of the three groups of pages.
        put("config_record", name, concat({byte(0x0E), lengths, tables, payload}));
        for (int group = 1; group <= 3; ++group)
            put("config_record", name + "-pages-" + std::to_string(group),
                concat({byte(std::uint8_t(0x0E | group << 6)), lengths, tables, payload}));
    }
    // A short record without tables, as bare bytes.
    put("config_record", "bare-short",
        concat({byte(0x01), be16(0), be16(0), be16(0),
                slice(sim::buildFactoryRecord(base, {5, 0}, 8176), 0, 600)}));
}

void playbackRecords(std::uint32_t t0) {
    const std::string t = "playback_records";
    put(t, "play-on", bytesOf(encodePlayOnRequest({0xFFFF, kPlayKindAll, t0, t0 + 3600})));
    put(t, "position", bytesOf(encodePlayPosition({0x000F, 2, t0 + 60})));
    RecordingFrameHeader header;
    header.frameTime = t0;
    header.segmentKey = 7;
    header.recordingParams = {1, 2, 3, 4};
    header.titlePresent = 1;
    header.title = "CAM 1";
    put(t, "recording-header",
        concat({bytesOf(encodeRecordingFrameHeader(header)), frame(0, t0, true, false)}));
}

void firmwareFiles() {
    const std::string t = "firmware_files";
    Bytes boot(600, std::byte{0});
    const std::string text = "\x01\x02\x03VBoot-2.1.0 rel (Jan 05 2027 - 10:20:30)";
    std::memcpy(boot.data(), text.data(), text.size());
    put(t, "boot", concat({byte(0), boot}));
    for (bool atEnd : {false, true}) {
        Bytes image(400, std::byte{0x5A});
        const std::size_t at = atEnd ? image.size() - kFwTrailerSize : 0;
        std::fill_n(image.begin() + std::ptrdiff_t(at), kFwTrailerSize, std::byte{0});
        ByteWriter w(std::span<std::byte>(image).subspan(at + 8, 4));
        w.writeBe32(1800000000u);
        const std::string_view name = fuzz::kFirmwareNames[atEnd ? 5 : 1];
        std::memcpy(image.data() + at + 32, name.data(), name.size());
        if (atEnd) {
            ByteWriter m(std::span<std::byte>(image).first(4));
            m.writeLe32(kTrailerAtEndMagic);
        }
        put(t, atEnd ? "component-trailer-last" : "component-trailer-first",
            concat({byte(0x03), image}));
    }
}

void assemblers(std::uint32_t t0) {
    // A frame in three fragments, kept, then a reply in two with the buffer cleared first.
    const Bytes f = frame(1, t0, true, true);
    const std::size_t third = f.size() / 3;
    Bytes run;
    const std::size_t cuts[] = {0, third, 2 * third, f.size()};
    for (int i = 0; i < 3; ++i) {
        const Bytes piece = slice(f, cuts[i], cuts[i + 1]);
        run = concat({run, byte(std::uint8_t(2 | (i == 2 ? 1 : 0) | (i == 0 ? 4 : 0))),
                      be16(piece.size()), piece});
    }
    put("assemblers", "frame-in-three", run);
    put("assemblers", "overflow",
        concat({byte(2), be16(65535), byte(2), be16(65535), byte(3), be16(65535)}));
}

// Writes one transfer with the real backup writer; returns the set's three files' bytes.
std::array<Bytes, 3> backupSet(const fs::path& folder, std::uint32_t t0) {
    fs::remove_all(folder);
    BackupWriterLimits limits;
    limits.now = [] { return 0x5F000000u; };
    BackupSetWriter writer(folder, limits);
    if (!writer.start())
        throw std::runtime_error("backup writer: " + writer.error());
    for (std::uint32_t s = 0; s < 6; ++s) {
        for (std::uint8_t ch = 0; ch < 2; ++ch) {
            RecordingFrameHeader header;
            header.frameTime = t0 + s;
            header.segmentKey = s < 3 ? 1 : 2;
            header.recordingParams = {1, 0, std::uint8_t(ch), 0};
            header.titlePresent = 1;
            header.title = "CAM " + std::to_string(ch + 1);
            const Bytes body = frame(ch, t0 + s, s % 3 == 0, ch == 0);
            BackupItem item;
            item.channel = ch;
            const auto block = decodeFrameInfoBlock(body);
            item.videoLength = block->videoLength;
            item.audioLength = block->audioLength;
            item.bytes = concat({bytesOf(encodeRecordingFrameHeader(header)), body});
            if (writer.write(item) != BackupSetWriter::Outcome::Written)
                throw std::runtime_error("backup writer: " + writer.error());
        }
    }
    if (!writer.finish())
        throw std::runtime_error("backup writer: " + writer.error());
    const fs::path base = folder / writer.sets().front();
    return {readAll(fs::path(base) += ".idx"), readAll(fs::path(base) += ".vih"),
            readAll(fs::path(base) += ".vid")};
}

void backupSets(const fs::path& scratch, std::uint32_t t0) {
    const auto [idx, vih, vid] = backupSet(scratch / "set", t0);
    put("backup_set_records", "file-header", concat({byte(0), slice(idx, 0, 64)}));
    put("backup_set_records", "file-trailer",
        concat({byte(1), slice(idx, idx.size() - 64, idx.size())}));
    put("backup_set_records", "summary", concat({byte(2), slice(idx, 64, 192)}));
    put("backup_set_records", "segment", concat({byte(3), slice(idx, 192, 448)}));
    put("backup_set_records", "time-record",
        concat({byte(4), slice(idx, kTimeRecordsOffset, kTimeRecordsOffset + 8)}));
    put("backup_set_records", "frame-header", concat({byte(5), slice(vih, 64, 256)}));
    put("backup_set_records", "set-name", concat({byte(6), text("5f000000.idx")}));

    // The index's head up to its last used segment slot, then its time records and trailer.
    const auto summary = decodeSetSummary(slice(idx, 64, 192));
    const std::size_t headEnd = 192 + 256 * (summary ? summary->segmentCount : 1);
    const Bytes head = slice(idx, 0, headEnd);
    const Bytes times = slice(idx, kTimeRecordsOffset, idx.size());
    for (const auto& [name, choices, start, end] :
         {std::tuple{"play-from-start", 0, t0, 0u}, std::tuple{"play-period", 4, t0 + 1, t0 + 4},
          std::tuple{"exact-segment-two-sets", 2 | 8 | 1, t0 + 3, t0 + 5}}) {
        put("backup_set_folder", name,
            concat({byte(std::uint8_t(choices)), be32(start), be32(end), be16(head.size()),
                    be16(times.size()), be16(vih.size()), head, times, vih, vid}));
    }
    // The player reads the same inputs; bits 5-7 of the choices pick its speed.
    for (const auto& [name, choices, start, end] :
         {std::tuple{"forward-from-start", 0, t0, 0u},
          std::tuple{"fast-period", 0x20 | 4, t0 + 1, t0 + 4},
          std::tuple{"reverse-two-sets", 0x80 | 8 | 1, t0, 0u}}) {
        put("local_player_reads", name,
            concat({byte(std::uint8_t(choices)), be32(start), be32(end), be16(head.size()),
                    be16(times.size()), be16(vih.size()), head, times, vih, vid}));
    }
}

void clientFiles(const fs::path& scratch) {
    ConnectHistory history(scratch / "ConnectInfo100.log");
    history.record("192.168.1.20", 9010, "Shop", 1700000000);
    history.record("dvr.example", 9010, "Home", 1700000100);
    history.record("10.0.0.7", 9011, "", 1700000200);
    const Bytes historyBytes = readAll(history.file());
    // The pick (its remainder by 3: record, remove, site text), the fill, the file.
    put("connect_history", "three", concat({byte(0), byte(0), historyBytes}));
    put("connect_history", "three-remove", concat({byte(4), byte(0), historyBytes})); // entry 1
    // Three entries over a full history of generated ones: a connect to a new port replaces
    // the least recently used entry; a new site text rewrites all 100.
    put("connect_history", "full-record", concat({byte(0x81), byte(0x80 | 100), historyBytes}));
    put("connect_history", "full-site", concat({byte(2), byte(0x80 | 100), historyBytes}));

    const fs::path logFile = scratch / "Kalder.log";
    for (int i = 0; i < 4; ++i) {
        LocalLogRecord r;
        r.kind = i == 0 ? kLogKindProgram : kLogKindLogon;
        r.event = i == 0 ? kLogEventProgramStart : kLogEventLogon;
        r.time = 1700000000u + std::uint32_t(i) * 60;
        if (i > 0) {
            r.address = "192.168.1.20";
            r.userId = "admin";
        }
        appendLocalLogRecord(logFile, r);
    }
    const Bytes ring = readAll(logFile);
    // The first byte's bits 0-3 name the slot the rest of the input lands at: here slot 0, so
    // the header and the records lie as written.
    put("local_log", "four", concat({byte(0), ring}));

    put("client_files", "customisation",
        concat({byte(0), text("Kalder\r\nKalder\r\nDD-MM-YYYY\r\nRGB\r\n")}));
    const fs::path ini = scratch / "settings.ini";
    {
        QSettings store(QString::fromStdString(ini.string()), QSettings::IniFormat);
        saveSettings(store,
                     defaultLocalSettings(ClientCustomisation(), QStringLiteral("/home/op")));
    }
    // Through the INI file (bits 1-3 set), and as the values in the order they are read.
    put("client_files", "settings", concat({byte(0x0F), readAll(ini)}));
    put("client_files", "settings-values",
        concat({byte(1), text("1\n2\n0\n/home/op/Kalder\n255\n128\n0\n\n\n\n\n\n\n10\n20\n"
                              "30\n1\n640\n480\n320\n240\n5\n\x01/srv/web,x\n")}));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kalder-fuzz-corpus DIR\n");
        return 2;
    }
    g_root = argv[1];
    const fs::path scratch = g_root / ".scratch";
    try {
        fs::create_directories(scratch);
        sim::SimConfig config = sim::defaultConfig();
        const std::uint32_t now = recorderTime(2026, 12, 9, 12, 0, 0);
        config.diskDays = 3;
        config.diskEnd = now;
        sim::RecorderModel model(config);
        messageRecords(model, now);
        searchRecords(model);
        logRecords(config, now);
        configRecord(config);
        playbackRecords(now - 600);
        firmwareFiles();
        assemblers(now);
        backupSets(scratch, now - 3600);
        clientFiles(scratch);
        fs::remove_all(scratch);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kalder-fuzz-corpus: %s\n", e.what());
        return 1;
    }
    return 0;
}
