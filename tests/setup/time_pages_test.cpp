// The PTZ and time pages' rules without widgets: addresses, protocol and baud lists, PTZ levels,
// daylight-saving days and the leaving question, the zone list and the clock preview, and what
// each page leaves alone in the record.
#include "net/time_protocol.h"
#include "setup/model/dst_setup_page.h"
#include "setup/model/ntp_setup_page.h"
#include "setup/model/ptz_setup_page.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kalder {
namespace {

ConfigRecord patternedRecord(std::uint8_t major = 4, std::uint8_t minor = 8) {
    std::vector<std::byte> bytes(8176);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = std::byte(static_cast<std::uint8_t>(i * 7 + 3));
    bytes[0] = std::byte{major};
    bytes[1] = std::byte{minor};
    return ConfigRecord::fromRecordBytes(bytes);
}

// Every byte outside `owned` is as in `before`.
void expectOnlyOwnedChanged(const ConfigRecord& before, const ConfigRecord& after,
                            std::initializer_list<const ConfigField*> owned) {
    for (std::size_t i = 0; i < before.bytes().size(); ++i) {
        bool mine = false;
        for (const ConfigField* f : owned)
            mine = mine || (i >= f->offset && i < f->end());
        if (!mine) {
            ASSERT_EQ(before.bytes()[i], after.bytes()[i]) << "byte " << i;
        }
    }
}

// Tables as the recorder sends them: protocols at SYS_ETC_INFO 64.., names in SYS_ETC_INFO_EX.
SetupTables tablesWith(std::vector<std::pair<std::uint8_t, std::uint8_t>> protocols,
                       std::vector<std::string> exNames = {},
                       std::vector<std::uint8_t> exBauds = {}) {
    SetupTables t;
    t.sysEtcInfo.assign(320, std::byte{0});
    for (std::size_t i = 0; i < protocols.size(); ++i) {
        t.sysEtcInfo[64 + 2 * i] = std::byte{protocols[i].first};
        t.sysEtcInfo[65 + 2 * i] = std::byte{protocols[i].second};
    }
    if (!exNames.empty()) {
        t.sysEtcInfoExPresent = true;
        t.sysEtcInfoEx.assign(3200, std::byte{0});
        for (std::size_t i = 0; i < exNames.size(); ++i) {
            std::memcpy(t.sysEtcInfoEx.data() + 1024 + 16 * i, exNames[i].data(),
                        exNames[i].size());
            t.sysEtcInfoEx[2048 + i] = std::byte{exBauds[i]};
        }
    }
    return t;
}

TEST(PtzSetupPage, AddressListCountsDownToOffAndUpTo255) {
    struct Case {
        unsigned entry, current, stored;
    } cases[] = {
        {0, 17, 0},    {3, 17, 3},    {5, 0, 5},     // entries 0 .. 5 are the address
        {6, 1, 0},     {6, 0, 0},     {6, 2, 1},     // "-1": below 2 becomes off
        {6, 200, 199}, {7, 254, 255}, {7, 255, 255}, // "+1" stops at 255
    };
    for (const Case& c : cases)
        EXPECT_EQ(addressAfterChoice(c.entry, c.current), c.stored)
            << "entry " << c.entry << " on " << c.current;
    EXPECT_EQ(addressEntries().size(), 8u);
    EXPECT_EQ(addressText(0), "Off");
    EXPECT_EQ(addressText(12), "12");
}

TEST(PtzSetupPage, ProtocolListFollowsTheTablesAndBaudIndexFollowsTheProtocol) {
    // Built-in numbers when no SYS_ETC_INFO_EX came; places with number 0 are skipped.
    const SetupTables builtIn = tablesWith({{2, 3}, {0, 6}, {6, 5}, {9, 9}});
    const auto types = serialDeviceTypes(builtIn, SerialTable::PtzProtocols);
    ASSERT_EQ(serialTypeEntries(types),
              (std::vector<std::string>{"Pelco-D", "Vitek", "Protocol 9"}));
    EXPECT_EQ(types[2].baudCount, 6u); // a count above the six known rates is cut
    EXPECT_EQ(baudEntries(types, 0),
              (std::vector<std::string>{"2400 bps", "4800 bps", "9600 bps"}));
    // With SYS_ETC_INFO_EX its names win; an empty name is no entry.
    const SetupTables named = tablesWith({{1, 3}}, {"Alpha", "", "Gamma"}, {2, 0, 0});
    const auto namedTypes = serialDeviceTypes(named, SerialTable::PtzProtocols);
    ASSERT_EQ(serialTypeEntries(namedTypes), (std::vector<std::string>{"Alpha", "Gamma"}));

    ConfigRecord r = patternedRecord();
    const ConfigRecord before = r;
    r.setValue(configField("ptz_baud"), 1, 5);
    r.setValue(configField("ptz_baud"), 2, 1);
    // Channels 1 and 2 checked: choosing list position 0 (3 rates) pulls baud 5 down to 2.
    std::array<bool, kPtzChannels> checked{};
    checked[1] = checked[2] = true;
    const auto set = changedChannels(2, checked, 4);
    ASSERT_EQ(set, (std::vector<std::size_t>{1, 2}));
    chooseSerialType(r, kPtzFields, types, set, 0);
    EXPECT_EQ(r.value(configField("ptz_protocol"), 1), 0u);
    EXPECT_EQ(r.value(configField("ptz_baud"), 1), 2u);
    EXPECT_EQ(r.value(configField("ptz_baud"), 2), 1u); // offered: kept
    // A protocol offering no rate stores index 0, never count - 1 wrapped round.
    chooseSerialType(r, kPtzFields, namedTypes, {1}, 1);
    EXPECT_EQ(r.value(configField("ptz_baud"), 1), 0u);
    // A list position the table does not have writes nothing.
    chooseSerialType(r, kPtzFields, types, {3}, 3);
    EXPECT_EQ(r.value(configField("ptz_protocol"), 3),
              before.value(configField("ptz_protocol"), 3));
    expectOnlyOwnedChanged(before, r, {&kPtzFields.protocol, &kPtzFields.baud});
}

TEST(PtzSetupPage, ListsHoldAtMost31EntriesAndRowsBeyondTheChannelCountStay) {
    std::vector<std::pair<std::uint8_t, std::uint8_t>> many(64, {1, 2});
    const auto types = serialDeviceTypes(tablesWith(many), SerialTable::PtzProtocols);
    EXPECT_EQ(types.size(), 64u);
    EXPECT_EQ(serialTypeEntries(types).size(), 31u);
    EXPECT_TRUE(baudEntries(types, 40).empty());
    EXPECT_EQ(serialTypeText(types, 40), "-");

    std::array<bool, kPtzChannels> all{};
    all.fill(true);
    EXPECT_EQ(changedChannels(0, all, 4).size(), 4u);
    EXPECT_TRUE(changedChannels(5, all, 4).empty());
    std::array<bool, kPtzChannels> none{};
    EXPECT_EQ(changedChannels(3, none, 4), (std::vector<std::size_t>{3}));
}

TEST(PtzSetupPage, LevelsStorePositionMinusOneAndControllerEditsTheKeyboardOnly) {
    ConfigRecord r = patternedRecord();
    const ConfigRecord before = r;
    struct Case {
        unsigned position, stored, shown;
    } cases[] = {{0, 0, 1}, {1, 0, 1}, {7, 6, 7}, {10, 9, 10}, {11, 9, 10}};
    for (const Case& c : cases) {
        EXPECT_EQ(writePtzLevel(r, 2, {0, 3}, c.position), c.shown);
        EXPECT_EQ(r.value(configField("tilt_low"), 3), c.stored) << c.position;
        EXPECT_EQ(levelPosition(c.stored), c.shown);
    }
    EXPECT_EQ(levelPosition(40), 10u);
    writeSerialAddress(r, kPtzFields, {0}, 300);
    EXPECT_EQ(r.value(configField("ptz_id"), 0), 255u);
    expectOnlyOwnedChanged(before, r, {&configField("tilt_low"), &kPtzFields.id});

    // The controller uses the keyboard table and the first byte of its three fields.
    SetupTables t;
    t.sysEtcInfo.assign(320, std::byte{0});
    t.sysEtcInfo[192] = std::byte{2};
    t.sysEtcInfo[193] = std::byte{4};
    const auto keyboards = serialDeviceTypes(t, SerialTable::Keyboards);
    ASSERT_EQ(serialTypeEntries(keyboards), (std::vector<std::string>{"Vista KBD"}));
    ConfigRecord k = patternedRecord();
    const ConfigRecord kBefore = k;
    k.setValue(configField("keyboard_baud"), 0, 5);
    chooseSerialType(k, kKeyboardFields, keyboards, {0}, 0);
    writeSerialAddress(k, kKeyboardFields, {0}, addressAfterChoice(7, readPtzController(k).id));
    EXPECT_EQ(k.value(configField("keyboard_baud")), 3u);
    EXPECT_EQ(k.value(configField("keyboard_protocol")), 0u);
    EXPECT_EQ(k.value(configField("keyboard_id")),
              std::min(kBefore.value(configField("keyboard_id")) + 1, 255u));
    expectOnlyOwnedChanged(kBefore, k,
                           {&kKeyboardFields.id, &kKeyboardFields.protocol, &kKeyboardFields.baud});
    EXPECT_EQ(k.bytes()[3157], kBefore.bytes()[3157]); // the 15 bytes after are not the page's
}

TEST(DstSetupPage, WeekdayRuleGivesTheDayOfTheMonth) {
    struct Case {
        int year;
        unsigned month, week, weekday, day;
    } cases[] = {
        {2024, 9, 4, 6, 27}, // last Sunday of October 2024
        {2024, 2, 1, 6, 10}, // second Sunday of March 2024
        {2024, 0, 0, 0, 1},  // first Monday of January 2024
        {2024, 1, 4, 3, 29}, // last Thursday of February 2024 (a leap day)
        {2023, 1, 4, 3, 23}, // ... and of February 2023
        {2024, 8, 3, 0, 23}, // fourth Monday of September 2024
    };
    for (const Case& c : cases)
        EXPECT_EQ(weekdayInMonth(c.year, c.month, c.week, c.weekday), c.day)
            << c.year << "/" << c.month << " week " << c.week << " weekday " << c.weekday;
    EXPECT_EQ(lastDayOfMonth(2024, 1), 29u);
    EXPECT_EQ(lastDayOfMonth(2100, 1), 28u);
}

TEST(DstSetupPage, FormsStoreTheDayAndOnlyTheDstBytesChange) {
    ConfigRecord r = patternedRecord();
    const ConfigRecord before = r;
    setDstMode(r, 1);
    setDstForm(r, DstForm::Week, 2024);
    setDstMonth(r, DstEdge::End, 9, 2024);
    setDstWeek(r, DstEdge::End, 4, 2024);
    setDstWeekday(r, DstEdge::End, 6, 2024);
    EXPECT_EQ(r.bytes()[3215], std::byte{26}); // day 27, stored minus one
    setDstMonth(r, DstEdge::Start, 2, 2024);
    setDstWeek(r, DstEdge::Start, 1, 2024);
    setDstWeekday(r, DstEdge::Start, 6, 2024);
    EXPECT_EQ(r.bytes()[3209], std::byte{9});

    // Date form: a month change keeps the day inside the month of the page's year.
    setDstForm(r, DstForm::Date, 2024);
    setDstMonth(r, DstEdge::Start, 0, 2024);
    setDstDay(r, DstEdge::Start, 30, 2024);
    setDstMonth(r, DstEdge::Start, 1, 2024);
    EXPECT_EQ(readDst(r).start.day, 28u); // 29 February 2024
    setDstMonth(r, DstEdge::Start, 3, 2023);
    EXPECT_EQ(readDst(r).start.day, 28u); // 29 April: inside the month, kept
    setDstDay(r, DstEdge::Start, 30, 2023);
    EXPECT_EQ(readDst(r).start.day, 29u); // 30 April
    setDstTime(r, DstEdge::Start, 2, 30);
    setDstShift(r, 1, 0);
    setDstInForce(r, true);
    const DstSettings d = readDst(r);
    EXPECT_EQ(dstTimeText(d.start.hour, d.start.minute), "02 : 30");
    EXPECT_TRUE(d.inForce);
    EXPECT_EQ(d.shiftSeconds(), 3600);
    expectOnlyOwnedChanged(before, r, {&configField("dst")});
}

TEST(DstSetupPage, RecorderClockIsClampedAndZeroIgnored) {
    EXPECT_EQ(recorderClockForPage(0, 3600), std::nullopt);
    EXPECT_EQ(recorderClockForPage(100, 3600), 3600u);
    EXPECT_EQ(recorderClockForPage(100, -18000), 100u);
    EXPECT_EQ(recorderClockForPage(1730000000, 3600), 1730000000u);
    EXPECT_EQ(recorderClockForPage(2114380801, 0), 2114380800u);
    EXPECT_EQ(recorderClockForPage(0xFFFFFFFFu, 0), 2114380800u);
}

TEST(DstSetupPage, LeavingAsksOnlyWithinOneShiftBeforeTheEnd) {
    DstSettings dst;
    dst.mode = 1;
    dst.end = {9, 4, 6, 26, 3, 0}; // 27 October, 03:00
    dst.shiftHours = 1;
    const CivilTime at0230{2024, 10, 27, 2, 30, 0};
    const CivilTime at0130{2024, 10, 27, 1, 30, 0};
    const CivilTime at0300{2024, 10, 27, 3, 0, 0};
    const CivilTime at0301{2024, 10, 27, 3, 1, 0};
    EXPECT_TRUE(dstQuestionNeeded(dst, true, at0230));   // 30 minutes before
    EXPECT_FALSE(dstQuestionNeeded(dst, true, at0130));  // 90 minutes before
    EXPECT_TRUE(dstQuestionNeeded(dst, true, at0300));   // at the end itself
    EXPECT_FALSE(dstQuestionNeeded(dst, true, at0301));  // after it
    EXPECT_FALSE(dstQuestionNeeded(dst, false, at0230)); // nothing changed on the page
    dst.mode = 2;
    EXPECT_FALSE(dstQuestionNeeded(dst, true, at0230)); // a regional rule: no question
}

TEST(NtpSetupPage, ZoneListByRecordVersionAndZoneOffsets) {
    const auto newer = zoneListOrder({4, 2});
    ASSERT_EQ(newer.size(), 25u);
    EXPECT_EQ(newer[10], 10u);
    EXPECT_EQ(newer[11], 24u); // the +9:30 zone
    EXPECT_EQ(newer[12], 11u);
    EXPECT_EQ(newer[24], 23u);
    const auto older = zoneListOrder({4, 1});
    ASSERT_EQ(older.size(), 24u);
    EXPECT_EQ(older[23], 23u);
    struct Case {
        unsigned zone;
        int seconds;
        const char* text;
    } cases[] = {{0, 0, "Off"},
                 {1, 0, "GMT+00:00"},
                 {10, 9 * 3600, "GMT+09:00"},
                 {13, 12 * 3600, "GMT+12:00"},
                 {14, -11 * 3600, "GMT-11:00"},
                 {23, -2 * 3600, "GMT-02:00"},
                 {24, 34200, "GMT+09:30"}};
    for (const Case& c : cases) {
        EXPECT_EQ(zoneOffsetSeconds(c.zone), c.seconds) << c.zone;
        EXPECT_EQ(zoneText(c.zone), c.text);
    }
    EXPECT_EQ(zoneEntries({4, 2})[11], "GMT+09:30");
}

TEST(NtpSetupPage, PreviewAddsZoneAndShiftInsideTheRule) {
    // RFC 868 counts from 1900: 3939926400 is 2024-11-07 00:00:00 UTC.
    EXPECT_EQ(unixFromRfc868(3939926400u), 1730937600u);
    EXPECT_EQ(unixFromRfc868(0x10000000u), 0x10000000u + 2085978496u);

    DstSettings own; // 31 March 02:00 .. 27 October 03:00, one hour
    own.mode = 1;
    own.start = {2, 4, 6, 30, 2, 0};
    own.end = {9, 4, 6, 26, 3, 0};
    own.shiftHours = 1;
    const std::vector<DstRule> rules = {
        {2, 4, 6, 1, 0, 9, 4, 6, 1, 0}, // last Sunday of March .. last Sunday of October
        {9, 0, 6, 2, 0, 3, 0, 6, 3, 0}, // first Sunday of October .. first Sunday of April
    };
    DstSettings regional = own;
    regional.mode = 2;
    DstSettings southern = own;
    southern.mode = 3;
    DstSettings missing = own;
    missing.mode = 9;
    struct Case {
        const char* utc;
        unsigned zone;
        const DstSettings* dst;
        const char* shown;
    } cases[] = {
        {"2024-07-01 12:00:00", 2, &own, "2024-07-01  14:00:00"}, // +1 and the shift
        {"2024-01-15 12:00:00", 2, &own, "2024-01-15  13:00:00"}, // winter: +1 only
        {"2024-10-27 01:59:59", 2, &own, "2024-10-27  03:59:59"}, // 02:59:59 < end
        {"2024-10-27 02:00:00", 2, &own, "2024-10-27  03:00:00"}, // end reached
        {"2024-07-01 12:00:00", 2, &regional, "2024-07-01  14:00:00"},
        {"2024-01-10 00:00:00", 24, &southern, "2024-01-10  10:30:00"}, // wraps the year end
        {"2024-06-10 00:00:00", 24, &southern, "2024-06-10  09:30:00"},
        {"2024-07-01 12:00:00", 14, &missing, "2024-07-01  01:00:00"}, // rule not in the table
    };
    for (const Case& c : cases) {
        const auto t = parseCivilTime(c.utc);
        ASSERT_TRUE(t);
        const auto wall =
            previewTime(static_cast<std::uint32_t>(encodeCivilTime(*t)), c.zone, *c.dst, rules);
        ASSERT_TRUE(wall);
        EXPECT_EQ(formatPreview(*wall, 0), c.shown) << c.utc << " zone " << c.zone;
    }
    EXPECT_EQ(previewTime(1730937600u, 0, own, rules), std::nullopt); // no zone, no preview
    EXPECT_EQ(formatPreview(1730937600, 1), "11-07-2024  00:00:00");
    EXPECT_EQ(formatPreview(1730937600, 2), "07-11-2024  00:00:00");
}

TEST(NtpSetupPage, ServerWritesAndTheServerListSetting) {
    ConfigRecord r = patternedRecord();
    const ConfigRecord before = r;
    chooseZone(r, 24);
    chooseZone(r, 25); // no such zone: kept
    setNtpEnabled(r, true);
    setNtpServerChoice(r, 1);
    setNtpServerChoice(r, 3);
    setNtpServerName(r, std::string(40, 'n'));
    setNtpServerName(r, "ntp.local");
    setNtpAddress(r, {10, 0, 0, 7});
    const NtpState s = readNtp(r);
    EXPECT_EQ(s.zone, 24u);
    EXPECT_TRUE(s.enabled);
    EXPECT_EQ(s.serverChoice, 1u);
    EXPECT_EQ(s.server, "ntp.local");
    EXPECT_EQ(r.bytes()[4184 + 20], std::byte{0}); // the whole name field was cleared
    EXPECT_EQ(s.address, (std::array<std::uint8_t, 4>{10, 0, 0, 7}));
    expectOnlyOwnedChanged(before, r,
                           {&configField("time_zone"), &configField("ntp_enable"),
                            &configField("ntp_server_choice"), &configField("ntp_address"),
                            &configField("ntp_server")});

    EXPECT_EQ(
        parseTimeServers("127.0.0.1:3737, time.example.org ,:5,bad:0,x:99999,,h:37"),
        (std::vector<TimeServerAddress>{{"127.0.0.1", 3737}, {"time.example.org", 0}, {"h", 37}}));
}

// A loopback listener that answers one connection with `bytes`, as a time server would.
class OneShotTimeServer {
public:
    explicit OneShotTimeServer(std::vector<unsigned char> bytes) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof addr;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            ::listen(m_fd, 1) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0)
            port = ntohs(addr.sin_port);
        m_thread = std::thread([this, bytes] {
            const int client = ::accept(m_fd, nullptr, nullptr);
            if (client < 0)
                return;
            (void)::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            ::close(client);
        });
    }
    ~OneShotTimeServer() {
        ::shutdown(m_fd, SHUT_RDWR); // ends an accept that nobody answered
        m_thread.join();
        ::close(m_fd);
    }
    std::uint16_t port = 0;

private:
    int m_fd = -1;
    std::thread m_thread;
};

TEST(TimeProtocol, AsksTheSecondServerOnlyWhenTheFirstNameDoesNotResolve) {
    // 3939926400 since 1900: 2024-11-07 00:00:00 UTC.
    {
        OneShotTimeServer server({0xEA, 0xD6, 0x81, 0x80});
        ASSERT_NE(server.port, 0);
        EXPECT_EQ(queryTimeServers({{"", 0}, {"127.0.0.1", server.port}}, 2000), 1730937600u);
    }
    {
        // The first server resolves but refuses: no fallback, no time.
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof addr;
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length), 0);
        const std::uint16_t refused = ntohs(addr.sin_port);
        OneShotTimeServer second({0xEA, 0xD6, 0x81, 0x80});
        EXPECT_EQ(queryTimeServers({{"127.0.0.1", refused}, {"127.0.0.1", second.port}}, 2000),
                  std::nullopt);
        ::close(fd);
    }
    {
        OneShotTimeServer shortAnswer({0xEA, 0xD6});
        EXPECT_EQ(queryTimeServers({{"127.0.0.1", shortAnswer.port}}, 2000), std::nullopt);
    }
    EXPECT_EQ(queryTimeServers({}, 100), std::nullopt);
}

} // namespace
} // namespace kalder
