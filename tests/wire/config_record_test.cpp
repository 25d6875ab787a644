#include "wire/config_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace kalder {
namespace {

std::vector<std::byte> bytesOf(std::string_view text) {
    std::vector<std::byte> v;
    for (char c : text)
        v.push_back(static_cast<std::byte>(c));
    return v;
}

// A record of `length` bytes whose byte i is a function of i, so that any moved, lost or
// swapped byte shows.
std::vector<std::byte> patternRecord(std::size_t length, std::uint8_t seed = 7) {
    std::vector<std::byte> r(length);
    for (std::size_t i = 0; i < length; ++i)
        r[i] = static_cast<std::byte>((i * 31 + seed + (i >> 8)) & 0xFF);
    return r;
}

std::vector<std::byte> transferOf(const std::vector<std::byte>& record) {
    return sealConfigTransfer(record, record.size() + kConfigCrcSize, {});
}

TEST(ConfigCrc, IsTheIsoHdlcCrc) {
    EXPECT_EQ(configCrc32(bytesOf("123456789")), 0xCBF43926u);
    EXPECT_EQ(configCrc32({}), 0u);
}

TEST(ConfigFieldTable, FieldsAreOrderedDisjointAndInsideTheWorkingCopy) {
    std::size_t previousEnd = 0;
    std::set<std::string_view> names;
    for (const ConfigField& f : configFields()) {
        EXPECT_GE(f.offset, previousEnd) << f.name;
        EXPECT_LE(f.end(), kConfigRecordCapacity) << f.name;
        EXPECT_TRUE(names.insert(f.name).second) << f.name;
        const std::size_t width = f.kind == FieldClass::Be16   ? 2
                                  : f.kind == FieldClass::Be32 ? 4
                                  : f.kind == FieldClass::Byte ? 1
                                                               : f.width;
        EXPECT_EQ(f.width, width) << f.name;
        previousEnd = f.end();
    }
    // The last field ends where the shortest record that holds every field ends.
    EXPECT_EQ(previousEnd, 6776u);
    EXPECT_EQ(configField("account_name").offset, 5696);
    EXPECT_EQ(findConfigField("link_value"), &configField("link_value"));
    EXPECT_EQ(findConfigField("no_such_field"), nullptr);
}

// The conversion list and the field table name the same multi-byte elements, byte for byte.
TEST(ConfigFieldTable, ByteOrderRunsAreExactlyTheMultiByteFields) {
    std::set<std::pair<std::size_t, std::size_t>> fromFields, fromRuns;
    for (const ConfigField& f : configFields())
        if (f.kind == FieldClass::Be16 || f.kind == FieldClass::Be32)
            for (std::size_t i = 0; i < f.count; ++i)
                fromFields.insert({f.offset + i * f.width, f.width});
    for (const ByteOrderRun& r : configByteOrderRuns())
        for (std::size_t i = 0; i < r.count; ++i)
            fromRuns.insert({r.offset + i * r.width, r.width});
    EXPECT_EQ(fromFields, fromRuns);
}

TEST(ConfigByteOrder, HostOrderSwapsOnlyTheListedFieldsAndComesBackUnchanged) {
    const std::vector<std::byte> received = patternRecord(kConfigRecordCapacity);
    std::vector<std::byte> copy = received;
    configToHostOrder(copy);
    if constexpr (std::endian::native == std::endian::little) {
        // dvr_time at 4 and a u16 of the PTZ arrays are reversed; a byte field is not.
        EXPECT_EQ(copy[4], received[7]);
        EXPECT_EQ(copy[7], received[4]);
        EXPECT_EQ(copy[4320], received[4321]);
        EXPECT_EQ(copy[6527], received[6526]);
        EXPECT_EQ(copy[88], received[88]);
        EXPECT_EQ(copy[5623], received[5622]);
        EXPECT_EQ(copy[5624], received[5624]);
    }
    configToNetworkOrder(copy);
    EXPECT_EQ(copy, received);

    // A record too short for a run leaves that run alone instead of touching bytes it lacks.
    std::vector<std::byte> shortRecord = patternRecord(650);
    const std::vector<std::byte> shortReceived = shortRecord;
    configToHostOrder(shortRecord);
    EXPECT_EQ(shortRecord[649], shortReceived[648]); // 648 fits
    configToNetworkOrder(shortRecord);
    EXPECT_EQ(shortRecord, shortReceived);
}

TEST(ConfigTransfer, VerifyAcceptsTheSealAndRejectsAnyChangedByte) {
    const std::vector<std::byte> payload = transferOf(patternRecord(6776));
    EXPECT_TRUE(verifyConfigTransfer(payload));
    std::vector<std::byte> bad = payload;
    bad[100] ^= std::byte{1};
    EXPECT_FALSE(verifyConfigTransfer(bad));
    bad = payload;
    bad[0] ^= std::byte{0x80};
    EXPECT_FALSE(verifyConfigTransfer(bad));
    EXPECT_FALSE(verifyConfigTransfer(std::span(payload).first(3)));
    EXPECT_FALSE(ConfigRecord::fromTransfer(bad).has_value());
}

// Records of the lengths recorders send: shorter than every field, the usual 8176, and longer
// than the working copy.
TEST(ConfigTransfer, UpdateHasTheReceivedLengthAndCarriesEveryByteBack) {
    for (std::size_t length : {std::size_t(1000), std::size_t(6000), std::size_t(8176),
                               std::size_t(8177), std::size_t(9000)}) {
        SCOPED_TRACE(length);
        const std::vector<std::byte> payload = transferOf(patternRecord(length));
        const auto record = ConfigRecord::fromTransfer(payload);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->transferLength(), payload.size());
        EXPECT_EQ(record->seal(), payload);
    }
}

TEST(ConfigTransfer, WorkingCopyKeepsAtMostTheFirst8176Bytes) {
    const std::vector<std::byte> record = patternRecord(9000);
    const auto r = ConfigRecord::fromTransfer(transferOf(record));
    ASSERT_TRUE(r);
    ASSERT_EQ(r->bytes().size(), kConfigRecordCapacity);
    EXPECT_TRUE(std::equal(r->bytes().begin(), r->bytes().end(), record.begin()));
}

// A short record: edits of fields beyond its end are not sent (the update keeps the length).
TEST(ConfigTransfer, ShortRecordSendsNothingBeyondItsLength) {
    const std::vector<std::byte> record = patternRecord(700);
    auto r = ConfigRecord::fromTransfer(transferOf(record));
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->setValue(configField("smart_value"), 0, 42)); // offset 6529
    ASSERT_TRUE(r->setValue(configField("spot_mode"), 0, 3));    // offset 600
    const std::vector<std::byte> sent = r->seal();
    ASSERT_EQ(sent.size(), 704u);
    EXPECT_TRUE(verifyConfigTransfer(sent));
    EXPECT_EQ(sent[4 + 600], std::byte{3});
}

TEST(ConfigRecordAccess, TypedValuesReadAndWriteBigEndian) {
    ConfigRecord r = ConfigRecord::fromRecordBytes(std::vector<std::byte>(8176));
    ASSERT_TRUE(r.setValue(configField("dvr_time"), 0, 0x11223344u));
    ASSERT_TRUE(r.setValue(configField("pan_high"), 3, 0xA1B2));
    ASSERT_TRUE(r.setValue(configField("hue"), 15, 50));
    EXPECT_EQ(r.bytes()[4], std::byte{0x11});
    EXPECT_EQ(r.bytes()[7], std::byte{0x44});
    EXPECT_EQ(r.bytes()[4352 + 6], std::byte{0xA1});
    EXPECT_EQ(r.value(configField("pan_high"), 3), 0xA1B2u);
    EXPECT_EQ(r.value(configField("hue"), 15), 50u);
    // Out of range: nothing written, zero read.
    EXPECT_FALSE(r.setValue(configField("hue"), 16, 1));
    EXPECT_FALSE(r.setValue(configField("hue"), 0, 256));
    EXPECT_FALSE(r.setValue(configField("rec_time_2"), 0, 0x10000));
    EXPECT_FALSE(r.setValue(configField("camera_title"), 0, 1));
    EXPECT_EQ(r.value(configField("hue"), 16), 0u);
    EXPECT_EQ(r.bytes()[24], std::byte{0}); // saturation[0] untouched

    EXPECT_TRUE(r.setRight(3, 1, true));
    EXPECT_EQ(r.bytes()[5624 + 8 + 3], std::byte{1});
    EXPECT_TRUE(r.right(3, 1));
    EXPECT_FALSE(r.right(2, 1));
    EXPECT_FALSE(r.setRight(8, 0, true));
}

TEST(ConfigRecordAccess, TextFillModesKeepOrClearTheRestOfTheField) {
    std::vector<std::byte> bytes(8176, std::byte{'x'});
    ConfigRecord r = ConfigRecord::fromRecordBytes(bytes);
    const ConfigField& title = configField("camera_title");
    ASSERT_TRUE(r.setText(title, 2, "Gate", TextFill::Terminate));
    EXPECT_EQ(r.text(title, 2), "Gate");
    EXPECT_EQ(r.bytes()[88 + 64 + 5], std::byte{'x'}); // after the NUL: as it was
    EXPECT_EQ(r.text(title, 1).size(), 32u);           // an unterminated field reads whole

    const ConfigField& pass = configField("archive_pass");
    ASSERT_TRUE(r.setText(pass, 0, "1234", TextFill::ClearField));
    for (std::size_t i = 4; i < 32; ++i)
        EXPECT_EQ(r.bytes()[6540 + i], std::byte{0}) << i;

    // A text longer than its field is cut so that it stays terminated inside the field.
    ASSERT_TRUE(r.setText(title, 0, std::string(40, 'T'), TextFill::Terminate));
    EXPECT_EQ(r.text(title, 0), std::string(31, 'T'));
    EXPECT_EQ(r.bytes()[88 + 32], std::byte{'x'}); // the next title is untouched
    EXPECT_FALSE(r.setText(title, 16, "no", TextFill::Terminate));
    EXPECT_FALSE(r.setText(configField("hue"), 0, "no", TextFill::Terminate));
}

TEST(ConfigRecordAccess, VersionGatesCompareAsPairs) {
    std::vector<std::byte> bytes(8176);
    bytes[0] = std::byte{4};
    bytes[1] = std::byte{8};
    const RecordVersion v = ConfigRecord::fromRecordBytes(bytes).version();
    EXPECT_TRUE(v.above(4, 7));
    EXPECT_FALSE(v.above(4, 8));
    EXPECT_FALSE((RecordVersion{5, 0}).above(5, 0));
    EXPECT_TRUE((RecordVersion{5, 0}).above(4, 9));
}

} // namespace
} // namespace kalder
