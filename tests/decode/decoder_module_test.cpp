// The decoder module's contract: the context words, the results, and the two picture layouts
// (a field picture's two fields one after the other), checked on lossless clips whose decoded
// pictures are known exactly.

#include "decode/decoder_library.h"
#include "decode/picture_layout.h"
#include "test_clip.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include <malloc.h>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace kalder {
namespace {

using Context = std::array<std::uint32_t, kH264ContextWords>;

std::uint8_t lumaAt(int row, int x) {
    return static_cast<std::uint8_t>(16 + (row * 7 + (x / 32) * 3) % 220);
}
std::uint8_t uAt(int row, int x) {
    return static_cast<std::uint8_t>(16 + (row * 5 + x) % 224);
}
std::uint8_t vAt(int row, int x) {
    return static_cast<std::uint8_t>(240 - (row * 3 + x) % 224);
}

// Rows of distinct content, so that every output row tells which input row it came from.
test::DrawFn rowPattern(int width, int height, bool grey) {
    return [=](int, std::uint8_t* y, int ys, std::uint8_t* u, int us, std::uint8_t* v, int vs) {
        for (int r = 0; r < height; ++r) {
            for (int x = 0; x < width; ++x) {
                y[r * ys + x] = lumaAt(r, x);
            }
        }
        for (int r = 0; r < height / 2; ++r) {
            for (int x = 0; x < width / 2; ++x) {
                u[r * us + x] = grey ? 128 : uAt(r, x);
                v[r * vs + x] = grey ? 128 : vAt(r, x);
            }
        }
    };
}

class DecoderModule : public ::testing::Test {
protected:
    void SetUp() override {
        m_library = DecoderLibrary::open(std::string(KALDER_PROGRAM_DIR) + "/H264_D1.so");
        ASSERT_TRUE(m_library);
        m_entries = m_library->entries();
        ASSERT_TRUE(m_entries);
    }

    Context freshContext(std::uint32_t format) {
        Context context{};
        context[kH264WordOne] = 1;
        context[kH264WordFormat] = format;
        return context;
    }

    // Decodes a one-frame clip and returns the picture buffer.
    std::vector<std::uint8_t> decodeOne(const test::EncodedFrame& frame, std::uint32_t format,
                                        int& result) {
        Context context = freshContext(format);
        EXPECT_EQ(m_entries.init(context.data()), 0);
        std::vector<std::uint8_t> picture(kH264PictureBufferSize, 0xEE);
        result = m_entries.getOneFrame(context.data(),
                                       reinterpret_cast<const std::uint8_t*>(frame.data.data()),
                                       static_cast<int>(frame.data.size()), picture.data());
        m_entries.uninit(context.data());
        return picture;
    }

    std::unique_ptr<DecoderLibrary> m_library;
    DecoderEntries m_entries;
};

TEST_F(DecoderModule, ContextWordsFollowTheDecoderLifetime) {
    Context zeroed{};
    EXPECT_EQ(m_entries.uninit(zeroed.data()), 0); // a fresh context holds no decoder
    EXPECT_EQ(zeroed, Context{});

    Context first = freshContext(kH264FormatPlanar);
    Context second = freshContext(kH264FormatBgr);
    ASSERT_EQ(m_entries.init(first.data()), 0);
    ASSERT_EQ(m_entries.init(second.data()), 0);
    EXPECT_NE(first[kH264WordDecoder], 0u);
    EXPECT_NE(second[kH264WordDecoder], 0u);
    EXPECT_NE(first[kH264WordDecoder], second[kH264WordDecoder]);
    EXPECT_EQ(first[kH264WordOne], 1u);
    EXPECT_EQ(second[kH264WordFormat], kH264FormatBgr);

    m_entries.uninit(first.data());
    EXPECT_EQ(first[kH264WordDecoder], 0u);
    std::vector<std::uint8_t> picture(kH264PictureBufferSize);
    const std::uint8_t video[8] = {0, 0, 0, 1, 0x65, 0x88, 0x84, 0x00};
    const int afterUninit = m_entries.getOneFrame(first.data(), video, 8, picture.data());
    EXPECT_NE(afterUninit, kH264Picture);
    EXPECT_NE(afterUninit, kH264CallAgain);
    EXPECT_NE(afterUninit, kH264Rebuild);
    m_entries.uninit(first.data()); // twice is harmless
    m_entries.uninit(second.data());
}

TEST_F(DecoderModule, RefusesAnUnknownOutputFormat) {
    Context context = freshContext(1);
    EXPECT_NE(m_entries.init(context.data()), 0);
    EXPECT_EQ(context[kH264WordDecoder], 0u);
}

TEST_F(DecoderModule, GarbageIsDroppedWithoutAPicture) {
    Context context = freshContext(kH264FormatPlanar);
    ASSERT_EQ(m_entries.init(context.data()), 0);
    std::vector<std::uint8_t> garbage(5000);
    std::srand(7);
    std::generate(garbage.begin(), garbage.end(), [] { return std::rand() & 0xFF; });
    std::vector<std::uint8_t> picture(kH264PictureBufferSize);
    for (int i = 0; i < 5; ++i) {
        const int result = m_entries.getOneFrame(context.data(), garbage.data(),
                                                 static_cast<int>(garbage.size()), picture.data());
        EXPECT_NE(result, kH264Picture);
        EXPECT_NE(result, kH264CallAgain);
    }
    m_entries.uninit(context.data());
}

TEST_F(DecoderModule, RefusesAPictureLargerThanTheBuffer) {
    const auto clip = test::encodeClip({1280, 720, 1, 1, false, {}});
    ASSERT_EQ(clip.size(), 1u);
    for (const std::uint32_t format : {kH264FormatPlanar, kH264FormatBgr}) {
        Context context = freshContext(format);
        ASSERT_EQ(m_entries.init(context.data()), 0);
        // One byte more than the buffer would be written past its end.
        std::vector<std::uint8_t> picture(kH264PictureBufferSize + 1, 0xEE);
        const int result = m_entries.getOneFrame(
            context.data(), reinterpret_cast<const std::uint8_t*>(clip[0].data.data()),
            static_cast<int>(clip[0].data.size()), picture.data());
        EXPECT_EQ(result, kH264TooLarge);
        EXPECT_TRUE(std::all_of(picture.begin(), picture.end(), [](auto b) { return b == 0xEE; }));
        m_entries.uninit(context.data());
    }
}

// A recorder that announces a huge picture must not make the module allocate for it: the size is
// refused from the sequence parameter set, before libavcodec sizes its per-macroblock tables
// (some 4 MB for 4096 x 2304, 11 MB for 8192 x 4320) or its pictures, so the heap does not grow
// at all; the answer is "too large", and the next picture of a usable size decodes normally.
TEST_F(DecoderModule, RefusesAHugePictureBeforeAllocatingIt) {
    const auto huge = test::encodeClip({4096, 2304, 1, 1, false, {}});
    const auto normal = test::encodeClip({704, 480, 1, 1, false, {}});
    ASSERT_EQ(huge.size(), 1u);
    ASSERT_EQ(normal.size(), 1u);
    const auto heapInUse = [] {
        const struct mallinfo2 m = mallinfo2();
        return m.uordblks + m.hblkhd;
    };
    Context context = freshContext(kH264FormatPlanar);
    ASSERT_EQ(m_entries.init(context.data()), 0);
    std::vector<std::uint8_t> picture(kH264PictureBufferSize, 0);
    const std::size_t before = heapInUse();
    const int refused = m_entries.getOneFrame(
        context.data(), reinterpret_cast<const std::uint8_t*>(huge[0].data.data()),
        static_cast<int>(huge[0].data.size()), picture.data());
    const std::size_t grown = heapInUse() - std::min(before, heapInUse());
    const int decoded = m_entries.getOneFrame(
        context.data(), reinterpret_cast<const std::uint8_t*>(normal[0].data.data()),
        static_cast<int>(normal[0].data.size()), picture.data());
    m_entries.uninit(context.data());
    EXPECT_EQ(refused, kH264TooLarge);
    EXPECT_LT(grown, std::size_t(256 * 1024));
    EXPECT_TRUE(decoded == kH264Picture || decoded == kH264PictureAlt) << decoded;
}

// The frames that follow a refused parameter set belong to the refused stream and are refused
// with it, until a key frame of a usable size starts a stream again; the usable stream's own
// frames after that decode.
TEST_F(DecoderModule, RefusesTheFramesOfAHugeStreamUntilAUsableKeyFrame) {
    const auto huge = test::encodeClip({2048, 1152, 3, 3, false, {}});
    const auto normal = test::encodeClip({704, 480, 2, 2, false, {}});
    ASSERT_EQ(huge.size(), 3u);
    ASSERT_EQ(normal.size(), 2u);
    Context context = freshContext(kH264FormatPlanar);
    ASSERT_EQ(m_entries.init(context.data()), 0);
    std::vector<std::uint8_t> picture(kH264PictureBufferSize, 0xEE);
    const auto decode = [&](const test::EncodedFrame& frame) {
        return m_entries.getOneFrame(context.data(),
                                     reinterpret_cast<const std::uint8_t*>(frame.data.data()),
                                     static_cast<int>(frame.data.size()), picture.data());
    };
    for (const auto& frame : huge) {
        EXPECT_EQ(decode(frame), kH264TooLarge);
    }
    EXPECT_TRUE(std::all_of(picture.begin(), picture.end(), [](auto b) { return b == 0xEE; }));
    for (const auto& frame : normal) {
        const int result = decode(frame);
        EXPECT_TRUE(result == kH264Picture || result == kH264PictureAlt) << result;
    }
    EXPECT_EQ(context[kH264WordWidth], 704u);
    EXPECT_EQ(context[kH264WordHeight], 480u);
    m_entries.uninit(context.data());
}

struct SizeCase {
    int width;
    int height;
};

class DecoderLayout : public DecoderModule, public ::testing::WithParamInterface<SizeCase> {};

// Row of the decoded (interleaved) picture that lands in output row `row` of a plane of `rows`.
int sourceRow(int row, int rows, bool fields) {
    if (!fields) {
        return row;
    }
    return row < rows / 2 ? 2 * row : 2 * (row - rows / 2) + 1;
}

TEST_P(DecoderLayout, PlanarHoldsTheFieldsOneAfterTheOther) {
    const auto [width, height] = GetParam();
    const auto clip =
        test::encodeClip({width, height, 1, 1, true, rowPattern(width, height, false)});
    ASSERT_EQ(clip.size(), 1u);
    int result = -1;
    const auto picture = decodeOne(clip[0], kH264FormatPlanar, result);
    ASSERT_EQ(result, kH264Picture);
    const bool fields = isFieldPicture(height);
    const std::uint8_t* u = picture.data() + width * height;
    const std::uint8_t* v = u + (width / 2) * (height / 2);
    int wrong = 0;
    for (int r = 0; r < height; ++r) {
        const int s = sourceRow(r, height, fields);
        for (int x = 0; x < width; ++x) {
            wrong += picture[static_cast<std::size_t>(r) * width + x] != lumaAt(s, x);
        }
    }
    for (int r = 0; r < height / 2; ++r) {
        const int s = sourceRow(r, height / 2, fields);
        for (int x = 0; x < width / 2; ++x) {
            wrong += u[r * (width / 2) + x] != uAt(s, x);
            wrong += v[r * (width / 2) + x] != vAt(s, x);
        }
    }
    EXPECT_EQ(wrong, 0);
    // Nothing is written behind the picture.
    EXPECT_EQ(picture[width * height * 3 / 2], 0xEE);
}

TEST_P(DecoderLayout, BgrHoldsTheFieldsOneAfterTheOtherTopRowFirst) {
    const auto [width, height] = GetParam();
    const auto clip =
        test::encodeClip({width, height, 1, 1, true, rowPattern(width, height, true)});
    ASSERT_EQ(clip.size(), 1u);
    int result = -1;
    const auto picture = decodeOne(clip[0], kH264FormatBgr, result);
    ASSERT_EQ(result, kH264Picture);
    const bool fields = isFieldPicture(height);
    int wrong = 0;
    for (int r = 0; r < height; ++r) {
        const int s = sourceRow(r, height, fields);
        for (int x = 0; x < width; ++x) {
            const int grey = std::clamp((lumaAt(s, x) - 16) * 255 / 219, 0, 255);
            const std::uint8_t* pixel =
                picture.data() + (static_cast<std::size_t>(r) * width + x) * 3;
            for (int c = 0; c < 3; ++c) {
                wrong += std::abs(pixel[c] - grey) > 2;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(picture[static_cast<std::size_t>(width) * height * 3], 0xEE);
}

// Format 4 is format 3 as the software painter draws it: bottom row first, and for field
// pictures the second field alone, each row shown twice.
TEST_P(DecoderLayout, BottomUpBgrIsTheDrawnOrderOfBgr) {
    const auto [width, height] = GetParam();
    const auto clip =
        test::encodeClip({width, height, 1, 1, true, rowPattern(width, height, true)});
    ASSERT_EQ(clip.size(), 1u);
    int topDownResult = -1;
    int bottomUpResult = -1;
    const auto topDown = decodeOne(clip[0], kH264FormatBgr, topDownResult);
    const auto bottomUp = decodeOne(clip[0], kH264FormatBgrBottomUp, bottomUpResult);
    ASSERT_EQ(topDownResult, kH264Picture);
    ASSERT_EQ(bottomUpResult, kH264Picture);
    const bool fields = isFieldPicture(height);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    int wrong = 0;
    for (int stored = 0; stored < height; ++stored) {
        const int display = height - 1 - stored;
        const int source = fields ? height / 2 + display / 2 : display;
        wrong += std::memcmp(bottomUp.data() + stored * rowBytes,
                             topDown.data() + source * rowBytes, rowBytes) != 0;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(bottomUp[rowBytes * height], 0xEE);
}

INSTANTIATE_TEST_SUITE_P(Sizes, DecoderLayout,
                         ::testing::Values(SizeCase{704, 480}, SizeCase{704, 576},
                                           SizeCase{352, 240}, SizeCase{352, 288},
                                           SizeCase{704, 240}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

TEST_F(DecoderModule, FrameThreadsDeliverTheSamePicturesLater) {
    const auto clip = test::encodeClip({352, 240, 12, 6, false, {}});
    ASSERT_EQ(clip.size(), 12u);
    Context single = freshContext(kH264FormatPlanar);
    Context threaded = freshContext(kH264FormatPlanar);
    threaded[kH264WordThreads] = 2;
    ASSERT_EQ(m_entries.init(single.data()), 0);
    ASSERT_EQ(m_entries.init(threaded.data()), 0);
    std::vector<std::uint8_t> picture(kH264PictureBufferSize);
    int singlePictures = 0;
    int threadedPictures = 0;
    for (const auto& frame : clip) {
        const auto* video = reinterpret_cast<const std::uint8_t*>(frame.data.data());
        const int length = static_cast<int>(frame.data.size());
        singlePictures +=
            m_entries.getOneFrame(single.data(), video, length, picture.data()) == kH264Picture;
        threadedPictures +=
            m_entries.getOneFrame(threaded.data(), video, length, picture.data()) == kH264Picture;
    }
    EXPECT_EQ(singlePictures, 12); // one thread: a picture for every frame at once
    EXPECT_GT(threadedPictures, 0);
    EXPECT_LE(threadedPictures, 12);
    m_entries.uninit(single.data());
    m_entries.uninit(threaded.data());
}

// One context through small frames, a frame far larger than any before it (the input buffers
// have to grow) and small frames again: every frame gives its picture, the large one intact.
TEST_F(DecoderModule, FramesOfAnySizeFollowEachOtherInOneContext) {
    const auto small = test::encodeClip({352, 240, 4, 4, false, {}});
    const auto large = test::encodeClip({704, 480, 1, 1, true, rowPattern(704, 480, false)});
    ASSERT_EQ(small.size(), 4u);
    ASSERT_EQ(large.size(), 1u);
    ASSERT_GT(large[0].data.size(), 4 * small[0].data.size());
    Context context = freshContext(kH264FormatPlanar);
    ASSERT_EQ(m_entries.init(context.data()), 0);
    std::vector<std::uint8_t> picture(kH264PictureBufferSize);
    const auto decode = [&](const test::EncodedFrame& frame) {
        return m_entries.getOneFrame(context.data(),
                                     reinterpret_cast<const std::uint8_t*>(frame.data.data()),
                                     static_cast<int>(frame.data.size()), picture.data());
    };
    for (const auto& frame : small)
        EXPECT_EQ(decode(frame), kH264Picture);
    ASSERT_EQ(decode(large[0]), kH264Picture);
    int wrong = 0;
    for (int r = 0; r < 480; ++r) {
        const int s = sourceRow(r, 480, true);
        for (int x = 0; x < 704; ++x)
            wrong += picture[static_cast<std::size_t>(r) * 704 + x] != lumaAt(s, x);
    }
    EXPECT_EQ(wrong, 0);
    for (const auto& frame : small)
        EXPECT_EQ(decode(frame), kH264Picture);
    m_entries.uninit(context.data());
}

} // namespace
} // namespace kalder

namespace kalder {
namespace {

// Context word 10 skips the deblocking filter: the pictures differ from fully decoded ones
// (the knob works), but only by what a cell a quarter of the picture's size cannot show.
TEST(DecoderModuleDeblocking, SkippedFilterStaysCloseToTheFullPicture) {
    const auto library = DecoderLibrary::open(std::string(KALDER_PROGRAM_DIR) + "/H264_D1.so");
    ASSERT_TRUE(library);
    const DecoderEntries entries = library->entries();
    const auto clip = test::encodeClip({704, 480, 30, 10, false, {}, true});
    ASSERT_EQ(clip.size(), 30u);
    Context full{};
    Context skipped{};
    for (Context* context : {&full, &skipped}) {
        (*context)[kH264WordOne] = 1;
        (*context)[kH264WordFormat] = kH264FormatPlanar;
        ASSERT_EQ(entries.init(context->data()), 0);
    }
    skipped[kH264WordSkipLoopFilter] = 1;
    std::vector<std::uint8_t> a(kH264PictureBufferSize), b(kH264PictureBufferSize);
    const std::size_t luma = 704 * 480;
    double worst = 1e9, sum = 0, cellWorst = 1e9, cellSum = 0;
    int differing = 0;
    for (const auto& frame : clip) {
        const auto* video = reinterpret_cast<const std::uint8_t*>(frame.data.data());
        const int length = static_cast<int>(frame.data.size());
        ASSERT_EQ(entries.getOneFrame(full.data(), video, length, a.data()), kH264Picture);
        ASSERT_EQ(entries.getOneFrame(skipped.data(), video, length, b.data()), kH264Picture);
        double squares = 0;
        for (std::size_t i = 0; i < luma; ++i) {
            const double d = double(a[i]) - double(b[i]);
            squares += d * d;
        }
        const double mse = squares / double(luma);
        const double psnr = mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
        differing += mse != 0;
        worst = std::min(worst, psnr);
        sum += psnr;
        // As a cell of the 16-cell layout shows it: a quarter of the size both ways.
        double cellSquares = 0;
        for (int y = 0; y < 480; y += 4) {
            for (int x = 0; x < 704; x += 4) {
                double d = 0;
                for (int r = 0; r < 4; ++r)
                    for (int c = 0; c < 4; ++c) {
                        const std::size_t at = std::size_t(y + r) * 704 + std::size_t(x + c);
                        d += double(a[at]) - double(b[at]);
                    }
                cellSquares += (d / 16) * (d / 16);
            }
        }
        const double cellMse = cellSquares / (176.0 * 120.0);
        const double cellPsnr = cellMse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / cellMse);
        cellWorst = std::min(cellWorst, cellPsnr);
        cellSum += cellPsnr;
    }
    entries.uninit(full.data());
    entries.uninit(skipped.data());
    std::printf("deblocking skipped: luma PSNR against full decoding, mean %.1f dB, worst %.1f dB "
                "over %zu frames\n",
                sum / double(clip.size()), worst, clip.size());
    std::printf("  in a quarter-size cell: mean %.1f dB, worst %.1f dB\n",
                cellSum / double(clip.size()), cellWorst);
    EXPECT_GT(differing, 0) << "the filter was not skipped";
    EXPECT_GT(worst, 30.0);
}

} // namespace
} // namespace kalder
