// The simulator's device side: firmware upload replies per knob, restart rights, PTZ log.
#include "sim/device_commands.h"
#include "sim/firmware_receiver.h"
#include "sim/recorder_model.h"

#include "wire/firmware_records.h"
#include "wire/message_catalogue.h"
#include "wire/ptz_records.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalder::sim {
namespace {

std::vector<std::uint16_t> ids(const FirmwareReceiver::Outcome& out) {
    std::vector<std::uint16_t> v;
    for (const auto& r : out.replies)
        v.push_back(r.id);
    return v;
}

// Announce, then 8000 + 1 bytes: each knob turns exactly one answer negative.
TEST(SimFirmwareReceiver, RepliesFollowTheKnobs) {
    using namespace MessageId;
    struct Case {
        FirmwareReceiver::Codes codes;
        std::vector<std::uint16_t> afterRequest;
        std::vector<std::uint16_t> afterLast;
        bool flashed;
    };
    const Case cases[] = {
        {{0, 0, 0}, {FW_UPDATE_ACK}, {FW_DATA_RX_DONE, FW_UPDATE_DONE}, true},
        {{17, 0, 0}, {FW_UPDATE_NACK}, {}, false},
        {{0, 5, 0}, {FW_UPDATE_ACK}, {FW_DATA_RX_FAIL}, false},
        {{0, 0, 9}, {FW_UPDATE_ACK}, {FW_DATA_RX_DONE, FW_UPDATE_FAIL}, false},
    };
    const auto request = encodeFwUpdateRequest({1234, 3, "app"});
    const std::vector<std::byte> chunk(8000), tail(1);
    for (const Case& c : cases) {
        FirmwareReceiver receiver;
        auto out = receiver.handle(makeHeader(FW_UPDATE_REQ, 56), request, c.codes);
        ASSERT_TRUE(out);
        EXPECT_EQ(ids(*out), c.afterRequest);
        out = receiver.handle(makeFwDataHeader(8000, false), chunk, c.codes);
        ASSERT_TRUE(out);
        EXPECT_TRUE(out->replies.empty());
        out = receiver.handle(makeFwDataHeader(1, true), tail, c.codes);
        ASSERT_TRUE(out);
        EXPECT_EQ(ids(*out), c.afterLast);
        EXPECT_EQ(out->flashed.has_value(), c.flashed);
        if (c.codes.updateNack == 0) {
            EXPECT_NE(out->logLine.find("bytes 8001 messages 2"), std::string::npos)
                << out->logLine;
        }
    }
}

TEST(SimDeviceRequests, RestartNeedsTheRightAndAppliesFlashedFirmware) {
    SimConfig config = defaultConfig();
    config.accounts[1].rights[7] = false; // USER: no restart right
    RecorderModel model(config);
    DeviceRequests requests(model.device(), model);
    std::vector<std::uint16_t> sent;
    int closes = 0;
    const DeviceRequests::Replies replies{
        [&](std::uint16_t id, std::span<const std::byte>) { sent.push_back(id); },
        [&] { ++closes; }};

    // Flash app (slot 3, recorder entry 2) with a newer time.
    const auto request = encodeFwUpdateRequest({2000000000u, 3, "app"});
    requests.handle(0, makeHeader(MessageId::FW_UPDATE_REQ, 56), request, replies);
    const std::vector<std::byte> image(10);
    requests.handle(0, makeFwDataHeader(10, true), image, replies);
    EXPECT_NE(model.helloRecord(0).firmVer[2], 2000000000u); // not before the restart

    EXPECT_TRUE(requests.handle(1, makeHeader(MessageId::REBOOT_REQ), {}, replies));
    EXPECT_EQ(sent.back(), MessageId::REBOOT_NACK);
    EXPECT_EQ(closes, 0);
    EXPECT_TRUE(requests.handle(0, makeHeader(MessageId::REBOOT_REQ), {}, replies));
    EXPECT_EQ(sent.back(), MessageId::REBOOT_ACK);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(model.helloRecord(0).firmVer[2], 2000000000u);

    // PTZ: the channel without a camera answers 0 and its commands are logged as ignored.
    model.device().setPtzAvailable(4, false);
    requests.handle(0, makeHeader(MessageId::PTZ_CHANNEL_REQ, 4),
                    encodePtzChannelRequest({4, PtzMode::PanTilt}), replies);
    requests.handle(0, makeHeader(MessageId::PTZ_MOVE_REQ, 4), encodePtzCommand({2, 0}), replies);
    const auto log = model.device().logLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "ptz-channel 4 mode 0 available 0");
    EXPECT_EQ(log.back(), "ptz-move 2 0 ch 4 ignored");
    EXPECT_FALSE(requests.handle(0, makeHeader(MessageId::LIVE_REQ, 4), request, replies));
}

} // namespace
} // namespace kalder::sim
