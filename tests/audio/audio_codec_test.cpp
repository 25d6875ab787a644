// mu-law and the WAV files of the command-line front end.
#include "audio/mu_law.h"
#include "audio/wav_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace kalder {
namespace {

TEST(MuLaw, KnownCodesAndRoundTripWithinTheStep) {
    EXPECT_EQ(muLawToLinear(0xFF), 0);
    EXPECT_EQ(muLawToLinear(0x7F), 0);
    EXPECT_EQ(muLawToLinear(0x00), -32124);
    EXPECT_EQ(muLawToLinear(0x80), 32124);
    EXPECT_EQ(linearToMuLaw(0), 0xFF);
    for (int code = 0; code < 256; ++code) {
        SCOPED_TRACE(code);
        const std::int16_t value = muLawToLinear(static_cast<std::uint8_t>(code));
        // Every code but the negative zero comes back as itself.
        if (code != 0x7F) {
            EXPECT_EQ(linearToMuLaw(value), code);
        }
    }
    for (int v = -32768; v <= 32767; v += 97) {
        const int back = muLawToLinear(linearToMuLaw(static_cast<std::int16_t>(v)));
        // The step grows with the magnitude: at most 1/16 of it, plus the bias near zero.
        EXPECT_LE(std::abs(back - std::clamp(v, -32635, 32635)), std::abs(v) / 16 + 8) << v;
    }
}

TEST(Wav, WrittenBytesParseBackAndForeignChunksAreSkipped) {
    const std::vector<std::int16_t> samples{0, 1, -1, 32767, -32768, 1234};
    std::vector<std::byte> bytes = encodeWav(8000, samples);
    ASSERT_EQ(bytes.size(), 44u + 12u);
    std::string error;
    auto sound = parseWav(bytes, error);
    ASSERT_TRUE(sound) << error;
    EXPECT_EQ(sound->sampleRate, 8000u);
    EXPECT_EQ(sound->channels, 1);
    EXPECT_EQ(sound->samples, samples);

    // A "LIST" chunk of odd length (padded) before the data.
    std::vector<std::byte> withList(bytes.begin(), bytes.begin() + 36);
    for (char c : std::string("LIST\x03\0\0\0abc\0", 12))
        withList.push_back(std::byte(c));
    withList.insert(withList.end(), bytes.begin() + 36, bytes.end());
    sound = parseWav(withList, error);
    ASSERT_TRUE(sound) << error;
    EXPECT_EQ(sound->samples, samples);
}

TEST(Wav, DamagedOrForeignFilesAreRefused) {
    const std::vector<std::int16_t> samples(100, 5);
    const std::vector<std::byte> good = encodeWav(8000, samples);
    std::string error;

    // The data chunk claims more bytes than the file holds.
    std::vector<std::byte> cut(good.begin(), good.end() - 10);
    EXPECT_FALSE(parseWav(cut, error));
    // 8-bit samples.
    std::vector<std::byte> eightBit = good;
    eightBit[34] = std::byte{8};
    EXPECT_FALSE(parseWav(eightBit, error));
    // Not RIFF, or nothing at all.
    std::vector<std::byte> notRiff = good;
    notRiff[0] = std::byte{'X'};
    EXPECT_FALSE(parseWav(notRiff, error));
    EXPECT_FALSE(parseWav({}, error));
    // Data before the format.
    std::vector<std::byte> noFormat(good.begin(), good.begin() + 12);
    noFormat.insert(noFormat.end(), good.begin() + 36, good.end());
    EXPECT_FALSE(parseWav(noFormat, error));
}

} // namespace
} // namespace kalder
