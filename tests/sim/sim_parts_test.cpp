// The simulator's parts without sockets: configuration, frame building, audio, loop cache.

#include "wire/frame_info.h"
#include "wire/message_catalogue.h"
#include "wire/message_header.h"
#include "sim/bitmap_font.h"
#include "sim/live_frame_builder.h"
#include "sim/media_source.h"
#include "sim/recorder_model.h"
#include "sim/sim_config.h"
#include "sim/video_loop.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace kalder::sim {
namespace {

std::string tempDir(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("kalder-sim-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

TEST(SimConfig, DefaultsMakeAUsefulRecorder) {
    const SimConfig c = defaultConfig();
    EXPECT_EQ(c.port, 2000);
    EXPECT_EQ(c.channelCount, 16u);
    EXPECT_FALSE(c.pal);
    EXPECT_EQ(c.productNumber, 4);
    EXPECT_EQ(c.protocolMajor, 1);
    EXPECT_EQ(c.protocolMinor, 2);
    EXPECT_EQ(c.channels[15].title, "CH16");
    EXPECT_EQ(c.channels[0].resolution, Resolution::D1);
    EXPECT_EQ(framesPerSecondOf(c, 0), 30u);
    SimConfig pal = c;
    pal.pal = true;
    EXPECT_EQ(framesPerSecondOf(pal, 0), 25u) << "PAL runs at 25 frames a second";
    pal.channels[0].framesPerSecond = 12;
    EXPECT_EQ(framesPerSecondOf(pal, 0), 12u);
    EXPECT_EQ(c.audioChannel, 1u);
    EXPECT_EQ(c.accounts[0].name, "ADMIN");
    EXPECT_EQ(c.accounts[1].password, "1111");
    const std::array<bool, 8> user = {false, false, true, true, false, true, true, false};
    EXPECT_EQ(c.accounts[1].rights, user);
}

TEST(SimConfig, CommandLineOptions) {
    struct Case {
        std::vector<std::string> args;
        std::function<bool(const SimConfig&)> check;
    };
    const Case cases[] = {
        {{"--port", "0"}, [](const SimConfig& c) { return c.port == 0; }},
        {{"--port=2100"}, [](const SimConfig& c) { return c.port == 2100; }},
        {{"--admin-port", "0"}, [](const SimConfig& c) { return c.adminPort == 0; }},
        {{"--pal", "--channels", "8"},
         [](const SimConfig& c) { return c.pal && c.channelCount == 8; }},
        {{"--resolution", "cif", "--fps", "12"},
         [](const SimConfig& c) {
             return c.channels[9].resolution == Resolution::Cif &&
                    c.channels[0].framesPerSecond == 12;
         }},
        {{"--title", "3=Back door"},
         [](const SimConfig& c) { return c.channels[2].title == "Back door"; }},
        {{"--account", "2=Guard:pw:3:search,ptz"},
         [](const SimConfig& c) {
             const auto& a = c.accounts[2];
             return a.name == "Guard" && a.password == "pw" && a.level == 3 && a.rights[2] &&
                    a.rights[4] && !a.rights[6];
         }},
        {{"--protocol-version", "2.5", "--sub-product", "3.4", "--flags", "0x3"},
         [](const SimConfig& c) {
             return c.protocolMajor == 2 && c.protocolMinor == 5 && c.subProductMajor == 3 &&
                    c.subProductMinor == 4 && c.flags == 3;
         }},
        {{"--mac", "02:00:5e:10:aa:FF"},
         [](const SimConfig& c) { return c.mac[0] == 2 && c.mac[4] == 0xAA && c.mac[5] == 0xFF; }},
        {{"--set", "channel16.covert=yes", "--set", "account0.live_view=1-4,9"},
         [](const SimConfig& c) {
             return c.channels[15].covert && c.accounts[0].liveViewMask == 0x010F;
         }},
        {{"--set", "firmware3.name=front", "--set", "firmware3.build_time=1234"},
         [](const SimConfig& c) {
             return c.firmware[3].name == "front" && c.firmware[3].buildTime == 1234;
         }},
        {{"--bye-after-login", "36"}, [](const SimConfig& c) { return c.byeAfterLogin == 36; }},
    };
    for (const Case& tc : cases) {
        SimConfig c = defaultConfig();
        bool help = false;
        const auto error = parseCommandLine(c, tc.args, help);
        EXPECT_FALSE(error) << tc.args[0] << ": " << error.value_or("");
        EXPECT_TRUE(tc.check(c)) << tc.args[0];
    }
}

TEST(SimConfig, BadOptionsAreRefused) {
    const std::vector<std::vector<std::string>> cases = {
        {"--port"},
        {"--port", "70000"},
        {"--channels", "5"},
        {"--standard", "secam"},
        {"--resolution", "4k"},
        {"--fps", "0"},
        {"--title", "17=x"},
        {"--account", "8=a:b"},
        {"--mac", "00:11:22"},
        {"--set", "nosection"},
        {"--set", "channel1.colour=red"},
        {"--frobnicate"},
        {"--set", "account0.rights=search,fly"},
        {"--config", "/nonexistent/kalder.ini"},
    };
    for (const auto& args : cases) {
        SimConfig c = defaultConfig();
        bool help = false;
        EXPECT_TRUE(parseCommandLine(c, args, help))
            << args[0] << " " << (args.size() > 1 ? args[1] : "");
    }
}

TEST(SimConfig, IniFileIsReadAndOptionsOverrideIt) {
    const std::string dir = tempDir("ini");
    const std::string path = dir + "/recorder.ini";
    std::ofstream(path) << "; a recorder\n"
                           "[recorder]\n"
                           "port = 2200\n"
                           "standard = PAL\n"
                           "channels = 4\n"
                           "product_version = 1.3\n"
                           "[channel2]\n"
                           "title = Gate\n"
                           "resolution = halfd1\n"
                           "video_loss = 1\n"
                           "[account3]\n"
                           "name = Night\n"
                           "password = owl\n"
                           "level = 2\n"
                           "rights = login, search\n";
    SimConfig c = defaultConfig();
    bool help = false;
    ASSERT_FALSE(parseCommandLine(c, {"--port", "0", "--config", path}, help));
    EXPECT_EQ(c.port, 0) << "the command line wins over the file";
    EXPECT_TRUE(c.pal);
    EXPECT_EQ(c.channelCount, 4u);
    EXPECT_EQ(c.productMinor, 3);
    EXPECT_EQ(c.channels[1].title, "Gate");
    EXPECT_EQ(c.channels[1].resolution, Resolution::HalfD1);
    EXPECT_TRUE(c.channels[1].videoLoss);
    EXPECT_EQ(c.accounts[3].name, "Night");
    EXPECT_TRUE(c.accounts[3].rights[6]);
    EXPECT_TRUE(c.accounts[3].rights[2]);
    EXPECT_FALSE(c.accounts[3].rights[0]);

    std::ofstream(path) << "[recorder]\nport = many\n";
    c = defaultConfig();
    const auto error = loadIniFile(c, path);
    ASSERT_TRUE(error);
    EXPECT_NE(error->find(":2:"), std::string::npos) << *error;
    std::filesystem::remove_all(dir);
}

TEST(SimConfig, FrameSizes) {
    EXPECT_EQ(frameSizeFor(Resolution::D1, false).height, 480u);
    EXPECT_EQ(frameSizeFor(Resolution::D1, true).height, 576u);
    EXPECT_EQ(frameSizeFor(Resolution::HalfD1, true).width, 704u);
    EXPECT_EQ(frameSizeFor(Resolution::HalfD1, true).height, 288u);
    EXPECT_EQ(frameSizeFor(Resolution::Cif, false).width, 352u);
    // The codes the frames carry give the same sizes on the client's side.
    for (bool pal : {false, true})
        for (Resolution r : {Resolution::D1, Resolution::HalfD1, Resolution::Cif}) {
            const auto size = pictureSizeFor(static_cast<std::uint8_t>(r), pal);
            EXPECT_EQ(size.width, frameSizeFor(r, pal).width);
            EXPECT_EQ(size.height, frameSizeFor(r, pal).height);
        }
}

TEST(LiveFrameBuilder, FrameHoldsBlockVideoAndAudioSection) {
    std::vector<std::byte> video(1000, std::byte{0x42});
    std::array<std::uint8_t, 512> element;
    element.fill(0x55);
    FrameParts parts;
    parts.channel = 7;
    parts.resolutionCode = 5;
    parts.pal = true;
    parts.timeSeconds = 1700000000;
    parts.milliseconds = 999;
    parts.key = true;
    parts.video = video;
    parts.audioElement = element;
    parts.audioChannel = 7;
    const auto frame = buildFrame(parts);
    ASSERT_EQ(frame.size(), 40u + 1000u + 2048u);
    const auto block = decodeFrameInfoBlock(frame);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->frameMagic, kFrameMagic);
    EXPECT_EQ(block->channel, 7);
    EXPECT_EQ(block->audioChannelNibble, 7);
    EXPECT_EQ(block->resolutionCode, 5);
    EXPECT_TRUE(block->lineStandard625);
    EXPECT_EQ(block->totalLength, frame.size());
    EXPECT_EQ(block->infoWord, 1700000000u);
    EXPECT_EQ(block->infoHalf, 999);
    EXPECT_EQ(block->videoLength, 1000u);
    EXPECT_EQ(block->audioLength, 2048u);
    EXPECT_NE(block->audioMarker, 0);
    EXPECT_EQ(block->frameType, kFrameTypeKey);
    // The element the client plays sits 1536 bytes into the audio data; silence before it.
    EXPECT_EQ(std::to_integer<int>(frame[40 + 1000]), kMuLawSilence);
    EXPECT_EQ(std::to_integer<int>(frame[40 + 1000 + 1535]), kMuLawSilence);
    EXPECT_EQ(std::to_integer<int>(frame[40 + 1000 + 1536]), 0x55);

    parts.audioElement = {};
    parts.key = false;
    parts.badMagic = true;
    const auto plain = buildFrame(parts);
    EXPECT_EQ(plain.size(), 1040u);
    const auto plainBlock = decodeFrameInfoBlock(plain);
    EXPECT_NE(plainBlock->frameMagic, kFrameMagic);
    EXPECT_EQ(plainBlock->audioLength, 0u);
    EXPECT_EQ(plainBlock->audioMarker, 0);
    EXPECT_EQ(plainBlock->frameType, 0);
}

TEST(LiveFrameBuilder, FragmentsReassembleWithTheLastFlagOnTheLastOnly) {
    std::vector<std::byte> item(150001);
    for (std::size_t i = 0; i < item.size(); ++i)
        item[i] = static_cast<std::byte>(i * 31);
    struct Case {
        std::size_t maxFragment;
        std::size_t messages;
    };
    for (const Case c : {Case{65535, 3}, Case{1000, 151}, Case{150001, 3}, Case{1, 150001}}) {
        const auto wire = buildFragmentedMessages(item, MessageId::LIVE_DATA, kCodeAudioFlag, 9,
                                                  0xA1B2C3D4, c.maxFragment);
        std::vector<std::byte> joined;
        std::size_t at = 0;
        std::size_t count = 0;
        while (at < wire.size()) {
            const MessageHeader h = decodeHeader(std::span(wire).subspan(at).first<kHeaderSize>());
            at += kHeaderSize;
            ++count;
            EXPECT_EQ(h.messageId(), MessageId::LIVE_DATA);
            EXPECT_TRUE(h.audioFlag());
            EXPECT_EQ(h.headerWord3, 0xA1B2C3D4u);
            EXPECT_EQ(h.fragmentChannel(), 9u);
            EXPECT_LE(h.payloadLength, std::min<std::size_t>(c.maxFragment, 65535));
            joined.insert(joined.end(), wire.begin() + at, wire.begin() + at + h.payloadLength);
            at += h.payloadLength;
            EXPECT_EQ(h.lastFragment(), at == wire.size()) << "message " << count;
        }
        EXPECT_EQ(count, c.messages) << c.maxFragment;
        EXPECT_EQ(joined, item) << c.maxFragment;
    }
}

TEST(MediaSource, MuLawOfKnownSamples) {
    // G.711 reference points.
    EXPECT_EQ(linearToMuLaw(0), 0xFF);
    EXPECT_EQ(linearToMuLaw(-1), 0x7F);
    EXPECT_EQ(linearToMuLaw(32767), 0x80);
    EXPECT_EQ(linearToMuLaw(-32768), 0x00);
    EXPECT_EQ(linearToMuLaw(1000), 0xCE);
}

TEST(MediaSource, ChannelsSoundDifferentAndContinue) {
    std::array<std::uint8_t, 512> a, b, next;
    MediaSource::fillAudioElement(0, 0, a);
    MediaSource::fillAudioElement(5, 0, b);
    MediaSource::fillAudioElement(0, 512, next);
    EXPECT_NE(a, b);
    EXPECT_NE(a, next);
    int loud = 0;
    for (std::uint8_t v : a)
        loud += (v & 0x7F) < 0x50; // well away from silence
    EXPECT_GT(loud, 50);
}

// Regression: the wobble once scaled time itself, so the pitch drifted further the longer the
// recorder ran. Ten minutes in, channel 0 still sounds at about 300 Hz (about 38 zero crossings
// in one 64 ms element taken at the start of a burst).
TEST(MediaSource, TheToneKeepsItsPitchOverTime) {
    std::array<std::uint8_t, 512> element;
    MediaSource::fillAudioElement(0, 600ull * 8000, element);
    int crossings = 0;
    int previousSign = 0;
    for (std::uint8_t v : element) {
        if ((v & 0x7F) >= 0x7C)
            continue; // too near silence to tell its sign
        const int sign = (v & 0x80) ? 1 : -1;
        if (previousSign != 0 && sign != previousSign)
            ++crossings;
        previousSign = sign;
    }
    EXPECT_GE(crossings, 32);
    EXPECT_LE(crossings, 45);
}

TEST(BitmapFont, DrawsDigitsAndClipsAtTheEdges) {
    std::vector<std::uint8_t> plane(20 * 10, 0);
    BitmapFont::drawText(plane.data(), 20, 20, 10, 0, 0, 1, "1", 9);
    // The "1" glyph: its stem is column 2, all seven rows.
    for (int row = 0; row < 7; ++row)
        EXPECT_EQ(plane[row * 20 + 2], 9) << row;
    EXPECT_EQ(plane[9 * 20 + 2], 0);
    // Partly outside: no write past the plane (ASan would tell).
    BitmapFont::drawText(plane.data(), 20, 20, 10, 17, 6, 2, "88", 1);
    BitmapFont::drawText(plane.data(), 20, 20, 10, -8, -8, 3, "W", 1);
    EXPECT_EQ(BitmapFont::textWidth("CH16", 2), 48);
}

TEST(VideoLoop, EncodesCachesAndRejectsOtherParameters) {
    LoopParams p;
    p.width = 352;
    p.height = 240;
    p.framesPerSecond = 10;
    p.keyIntervalFrames = 5;
    p.frameCount = 10;
    p.bitrateKbps = 300;
    p.channel = 3;
    p.title = "TEST";
    const std::string dir = tempDir("loop");
    bool fromCache = true;
    std::string error;
    auto loop = obtainVideoLoop(p, dir, fromCache, error);
    ASSERT_TRUE(loop) << error;
    EXPECT_FALSE(fromCache);
    ASSERT_EQ(loop->frames.size(), 10u);
    for (std::size_t i = 0; i < loop->frames.size(); ++i)
        EXPECT_EQ(loop->frames[i].key, i % 5 == 0) << "frame " << i;

    auto again = obtainVideoLoop(p, dir, fromCache, error);
    ASSERT_TRUE(again);
    EXPECT_TRUE(fromCache);
    for (std::size_t i = 0; i < loop->frames.size(); ++i)
        EXPECT_EQ(again->frames[i].data, loop->frames[i].data);

    // Another title is another loop; a file that lies about its parameters is not taken.
    LoopParams other = p;
    other.title = "OTHER";
    EXPECT_NE(loopCachePath(dir, other), loopCachePath(dir, p));
    std::filesystem::copy_file(loopCachePath(dir, p), loopCachePath(dir, other));
    EXPECT_FALSE(loadVideoLoop(other, loopCachePath(dir, other)));

    // A truncated file is not taken either.
    const auto path = loopCachePath(dir, p);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 7);
    EXPECT_FALSE(loadVideoLoop(p, path));
    std::filesystem::remove_all(dir);
}

TEST(RecorderModel, LoginChecksNamePasswordAndLoginRight) {
    SimConfig c = defaultConfig();
    c.accounts[2] = {"Locked", "pw", 1, {}, 0xFFFF};
    RecorderModel model(c);
    struct Case {
        const char* user;
        const char* password;
        std::optional<std::size_t> account;
        std::int32_t reason;
    };
    const Case cases[] = {
        {"admin", "1234", 0, 0},        {"ADMIN", "1234", 0, 0},
        {"user", "1111", 1, 0},         {"admin", "1111", std::nullopt, 2},
        {"ghost", "", std::nullopt, 2}, {"locked", "pw", std::nullopt, 37},
    };
    for (const Case& tc : cases) {
        const LoginResult r = model.authenticate(tc.user, tc.password);
        EXPECT_EQ(r.account, tc.account) << tc.user;
        if (!tc.account) {
            EXPECT_EQ(r.byeReason, tc.reason) << tc.user;
        }
    }
    // Withdrawing the login right, or the level, closes the door.
    model.setRight(1, 6, 0);
    EXPECT_FALSE(model.authenticate("user", "1111").account);
    model.setRight(0, 8, 0);
    EXPECT_FALSE(model.authenticate("admin", "1234").account);
}

TEST(RecorderModel, ChangesReachListenersWithTheirKind) {
    RecorderModel model(defaultConfig());
    unsigned seen = 0;
    const int id = model.addListener([&](unsigned changes) { seen |= changes; });
    model.setTitle(0, "Door");
    model.setRecording(false);
    EXPECT_EQ(seen, ModelChange::Channels | ModelChange::Recording);
    EXPECT_EQ(model.channelConfig().titles[0], "Door");
    EXPECT_FALSE(model.recStatus().recording());
    model.removeListener(id);
    seen = 0;
    model.setVideoLoss(3, true);
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(model.videoLossMask(), 0x0008);
    EXPECT_FALSE(model.setVideoLoss(16, true));
}

TEST(RecorderModel, FixedTables) {
    const auto dst = buildDstTable();
    EXPECT_EQ(std::to_integer<int>(dst[3]), 5) << "rule count";
    EXPECT_EQ(std::to_integer<int>(dst[4]), 2) << "first rule starts in March (months from 0)";
    const auto ex = buildSysEtcInfoEx();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ex.data()), 7), "English");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ex.data() + 1024), 7), "Pelco-P");
    const auto etc = buildSysEtcInfo();
    EXPECT_EQ(std::to_integer<int>(etc[64]), 1) << "first PTZ protocol built in as number 1";
}

} // namespace
} // namespace kalder::sim
