// The picture size read from sequence parameter sets before a frame reaches libavcodec: sets
// written bit by bit for each branch of the layout (profiles with scaling matrices, order count
// types, field coding, escaped bytes), sets cut short, and the sets of real encoded clips.

#include "decoder/parameter_sets.h"
#include "test_clip.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalder::h264 {
namespace {

// Writes a NAL payload bit by bit and escapes it as a recorder would (0x03 after two zeros).
class SpsWriter {
public:
    SpsWriter& bits(std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i)
            m_bits.push_back(((value >> i) & 1u) != 0);
        return *this;
    }
    SpsWriter& ue(std::uint32_t value) {
        const std::uint64_t code = std::uint64_t{value} + 1;
        int length = 0;
        while ((code >> length) > 1)
            ++length;
        bits(0, length);
        for (int i = length; i >= 0; --i)
            m_bits.push_back(((code >> i) & 1u) != 0);
        return *this;
    }
    SpsWriter& se(std::int32_t value) {
        const std::int64_t v = value;
        return ue(static_cast<std::uint32_t>(v > 0 ? 2 * v - 1 : -2 * v));
    }
    std::vector<std::uint8_t> escaped() const {
        std::vector<std::uint8_t> raw((m_bits.size() + 1 + 7) / 8, 0);
        for (std::size_t i = 0; i < m_bits.size(); ++i)
            if (m_bits[i])
                raw[i / 8] |= std::uint8_t(0x80 >> (i % 8));
        raw[m_bits.size() / 8] |= std::uint8_t(0x80 >> (m_bits.size() % 8)); // stop bit
        std::vector<std::uint8_t> out;
        int zeros = 0;
        for (const std::uint8_t b : raw) {
            if (zeros >= 2 && b <= 3) {
                out.push_back(0x03);
                zeros = 0;
            }
            out.push_back(b);
            zeros = b == 0 ? zeros + 1 : 0;
        }
        return out;
    }

private:
    std::vector<bool> m_bits;
};

struct SpsFields {
    std::uint32_t profile = 66;
    std::uint32_t chromaFormat = 1;
    bool scalingMatrices = false;
    std::uint32_t orderType = 2;
    std::uint32_t widthMbs = 44;
    std::uint32_t heightMapUnits = 30;
    bool framesOnly = true;
};

std::vector<std::uint8_t> writeSps(const SpsFields& f) {
    SpsWriter w;
    w.bits(f.profile, 8).bits(0, 8).bits(30, 8).ue(0);
    if (f.profile == 100 || f.profile == 244) {
        w.ue(f.chromaFormat);
        if (f.chromaFormat == 3)
            w.bits(0, 1);
        w.ue(0).ue(0).bits(0, 1).bits(f.scalingMatrices ? 1 : 0, 1);
        if (f.scalingMatrices) {
            const int lists = f.chromaFormat == 3 ? 12 : 8;
            for (int i = 0; i < lists; ++i) {
                w.bits(1, 1);
                // Half a list of deltas, then one that brings the next scale to 0: the rest
                // of the list repeats the last scale and carries no deltas.
                const int size = i < 6 ? 16 : 64;
                int last = 8;
                for (int j = 0; j < size / 2; ++j) {
                    const int delta = j % 2 == 0 ? 3 : -1;
                    w.se(delta);
                    last += delta;
                }
                w.se(-last);
            }
        }
    }
    w.ue(0).ue(f.orderType);
    if (f.orderType == 0) {
        w.ue(2);
    } else if (f.orderType == 1) {
        w.bits(0, 1).se(-2).se(1).ue(3).se(1).se(-1).se(0);
    }
    w.ue(1).bits(0, 1).ue(f.widthMbs - 1).ue(f.heightMapUnits - 1).bits(f.framesOnly ? 1 : 0, 1);
    w.bits(1, 1).bits(0, 1).bits(0, 1); // direct 8x8, no cropping, no VUI
    return w.escaped();
}

std::vector<std::uint8_t>
annexB(std::initializer_list<std::pair<std::uint8_t, std::vector<std::uint8_t>>> units) {
    std::vector<std::uint8_t> out;
    for (const auto& [header, payload] : units) {
        out.insert(out.end(), {0, 0, 0, 1, header});
        out.insert(out.end(), payload.begin(), payload.end());
    }
    return out;
}

TEST(SpsCodedSize, ReadsTheSizeThroughEveryBranchOfTheLayout) {
    struct Case {
        const char* name;
        SpsFields fields;
        std::int64_t width;
        std::int64_t height;
    };
    const Case cases[] = {
        {"baseline D1", {}, 704, 480},
        {"order count type 0", {66, 1, false, 0, 45, 36, true}, 720, 576},
        {"order count type 1 with a cycle", {77, 1, false, 1, 22, 15, true}, 352, 240},
        {"field coding doubles the map units", {77, 1, false, 2, 44, 15, false}, 704, 480},
        {"high profile", {100, 1, false, 0, 512, 270, true}, 8192, 4320},
        {"high profile, scaling matrices", {100, 1, true, 2, 256, 144, true}, 4096, 2304},
        {"4:4:4, twelve scaling matrices", {244, 3, true, 0, 120, 68, true}, 1920, 1088},
    };
    for (const Case& c : cases) {
        const auto size = parseSpsCodedSize(writeSps(c.fields));
        ASSERT_TRUE(size) << c.name;
        EXPECT_EQ(size->width, c.width) << c.name;
        EXPECT_EQ(size->height, c.height) << c.name;
    }
}

// Found by the fuzz target: the largest counts an Exp-Golomb code holds overflowed the pixel count.
TEST(SpsCodedSize, TheLargestCountsGiveAHugeSizeNotAnOverflow) {
    const auto sps = writeSps({77, 1, false, 2, 0xFFFFFFFFu, 0xFFFFFFFFu, false});
    const auto size = parseSpsCodedSize(sps);
    ASSERT_TRUE(size);
    EXPECT_GT(size->pixels(), std::int64_t{8192} * 4320);
    const std::vector<std::uint8_t> unit = [&] {
        std::vector<std::uint8_t> u = {0, 0, 1, 0x67};
        u.insert(u.end(), sps.begin(), sps.end());
        return u;
    }();
    EXPECT_GT(largestAnnouncedPicture(unit).value_or(0), std::int64_t{8192} * 4320);
}

// Found by the fuzz target as well: a scaling delta far outside -128..127 overflowed the scale.
TEST(SpsCodedSize, AScalingDeltaOfAnySizeWrapsLikeTheScale) {
    SpsWriter w;
    w.bits(100, 8).bits(0, 8).bits(40, 8).ue(0).ue(1).ue(0).ue(0).bits(0, 1).bits(1, 1);
    w.bits(1, 1).se(2147483647); // the first list: 8 + 2^31 - 1 wraps to 7, not 0
    for (int j = 1; j < 16; ++j)
        w.se(0);
    w.bits(0, 7); // the other seven lists absent
    w.ue(0).ue(2).ue(1).bits(0, 1).ue(44 - 1).ue(30 - 1).bits(1, 1).bits(1, 1).bits(0, 2);
    const auto size = parseSpsCodedSize(w.escaped());
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, 704);
    EXPECT_EQ(size->height, 480);
}

TEST(SpsCodedSize, ASetCutShortOrWithOverlongCodesHasNoSize) {
    const auto whole = writeSps({100, 1, true, 1, 512, 270, true});
    ASSERT_TRUE(parseSpsCodedSize(whole));
    // Cut anywhere before the field coding flag: no size, never a guess.
    for (std::size_t cut = 0; cut + 2 < whole.size(); ++cut) {
        const std::vector<std::uint8_t> part(whole.begin(), whole.begin() + cut);
        EXPECT_FALSE(parseSpsCodedSize(part)) << cut;
    }
    // A baseline set whose parameter set id is a run of 40 zero bits.
    const std::vector<std::uint8_t> overlong = {66, 0, 30, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xFF};
    EXPECT_FALSE(parseSpsCodedSize(overlong));
}

TEST(AnnouncedPicture, TheLargestSetOfAnAccessUnitCounts) {
    const auto small = writeSps({});
    const auto huge = writeSps({100, 1, false, 0, 512, 270, true});
    const std::vector<std::uint8_t> slice = {0x88, 0x84, 0x00, 0x01, 0x02};
    EXPECT_EQ(largestAnnouncedPicture(annexB({{0x67, small}, {0x68, {0xCE}}, {0x65, slice}})),
              704 * 480);
    // A second set behind the first picture's slice is read as well.
    EXPECT_EQ(largestAnnouncedPicture(annexB({{0x67, small}, {0x65, slice}, {0x27, huge}})),
              8192 * 4320);
    // Three-byte start codes, no set at all, bytes without any start code.
    std::vector<std::uint8_t> three = {0, 0, 1, 0x67};
    three.insert(three.end(), small.begin(), small.end());
    EXPECT_EQ(largestAnnouncedPicture(three), 704 * 480);
    EXPECT_FALSE(largestAnnouncedPicture(annexB({{0x41, slice}})));
    EXPECT_FALSE(largestAnnouncedPicture(std::vector<std::uint8_t>{0x67, 0x42, 0x00, 0x1E}));
    EXPECT_FALSE(largestAnnouncedPicture({}));
}

TEST(AnnouncedPicture, EncodedKeyFramesAnnounceTheirOwnSize) {
    for (const bool lossless : {false, true}) { // baseline, and High 4:4:4 for lossless
        const auto clip = test::encodeClip({1280, 720, 2, 2, lossless, {}});
        ASSERT_EQ(clip.size(), 2u);
        const auto bytes = [](const test::EncodedFrame& f) {
            return std::span(reinterpret_cast<const std::uint8_t*>(f.data.data()), f.data.size());
        };
        EXPECT_EQ(largestAnnouncedPicture(bytes(clip[0])), 1280 * 720) << lossless;
        EXPECT_FALSE(largestAnnouncedPicture(bytes(clip[1]))) << lossless;
    }
}

} // namespace
} // namespace kalder::h264
