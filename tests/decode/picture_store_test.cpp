// The picture store: zeroed buffers at fixed addresses, sizes per channel, decoded flags that
// readers see without the lock and the owner clears between streams.

#include "decode/picture_store.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace kalder {
namespace {

bool allZero(const PictureStore& pictures, unsigned channel) {
    const std::byte* bytes = pictures.buffer(channel);
    return std::all_of(bytes, bytes + kPictureBufferSize,
                       [](std::byte b) { return b == std::byte{0}; });
}

TEST(PictureStore, ChannelsKeepTheirOwnPictureSizeAndDecodedFlag) {
    PictureStore pictures;
    std::vector<const std::byte*> addresses;
    for (unsigned ch = 0; ch < kChannelCount; ++ch) {
        std::lock_guard lock(pictures.lock(ch));
        EXPECT_TRUE(allZero(pictures, ch)) << ch;
        EXPECT_FALSE(pictures.decoded(ch));
        addresses.push_back(pictures.buffer(ch));
    }
    std::sort(addresses.begin(), addresses.end());
    for (std::size_t i = 1; i < addresses.size(); ++i)
        EXPECT_GE(addresses[i] - addresses[i - 1], static_cast<std::ptrdiff_t>(kPictureBufferSize))
            << "buffers overlap";

    {
        std::lock_guard lock(pictures.lock(5));
        std::fill_n(pictures.buffer(5), kPictureBufferSize, std::byte{0x7f});
        pictures.setSize(5, 704, 480);
        pictures.markDecoded(5);
    }
    EXPECT_EQ(pictures.decodedChannels(), 1u << 5);
    EXPECT_TRUE(pictures.decoded(5));
    EXPECT_EQ(pictures.size(5).width, 704);
    EXPECT_EQ(pictures.size(5).height, 480);
    EXPECT_EQ(pictures.size(6).width, 0) << "another channel keeps its own size";
    EXPECT_TRUE(allZero(pictures, 6));

    const std::byte* before = pictures.buffer(5);
    {
        std::lock_guard lock(pictures.lock(5));
        pictures.clear(5);
        EXPECT_TRUE(allZero(pictures, 5)) << "the whole buffer";
    }
    EXPECT_EQ(pictures.buffer(5), before) << "a buffer stays where it is";
    EXPECT_TRUE(pictures.decoded(5)) << "clearing keeps the flag until the owner forgets it";
    pictures.forgetDecoded();
    EXPECT_EQ(pictures.decodedChannels(), 0u);
}

// Pages of the channel's buffer that take memory.
std::size_t residentPages(const PictureStore& pictures, unsigned channel) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> resident((kPictureBufferSize + page - 1) / page);
    if (::mincore(const_cast<std::byte*>(pictures.buffer(channel)), kPictureBufferSize,
                  resident.data()) != 0)
        return resident.size();
    return static_cast<std::size_t>(
        std::count_if(resident.begin(), resident.end(), [](unsigned char r) { return r & 1; }));
}

// A buffer takes memory only for what pictures wrote into it, and a new stream hands it back:
// sixteen channels of small pictures do not keep sixteen largest pictures' worth of memory.
TEST(PictureStore, BuffersTakeMemoryOnlyForWhatPicturesWrite) {
    PictureStore pictures;
    std::lock_guard lock(pictures.lock(3));
    EXPECT_EQ(residentPages(pictures, 3), 0u) << "a new store";
    const std::size_t planarD1 = 704 * 480 * 3 / 2;
    std::fill_n(pictures.buffer(3), planarD1, std::byte{0x55});
    const std::size_t written = residentPages(pictures, 3);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)),
              kPictureBufferSize / 2 + 8192);
    pictures.setSize(3, 704, 480);
    pictures.clear(3);
    EXPECT_EQ(residentPages(pictures, 3), 0u) << "cleared for a new stream";
    EXPECT_TRUE(allZero(pictures, 3));
}

// Decode threads of all channels mark pictures at once; no flag is lost.
TEST(PictureStore, ConcurrentMarksOfAllChannelsAreKept) {
    PictureStore pictures;
    std::vector<std::thread> threads;
    for (unsigned ch = 0; ch < kChannelCount; ++ch) {
        threads.emplace_back([&pictures, ch] {
            for (int i = 0; i < 200; ++i) {
                std::lock_guard lock(pictures.lock(ch));
                pictures.setSize(ch, 352, 240);
                pictures.markDecoded(ch);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(pictures.decodedChannels(), 0xFFFF);
}

} // namespace
} // namespace kalder
