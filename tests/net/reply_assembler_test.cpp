#include "net/reply_assembler.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalder {
namespace {

std::vector<std::byte> bytesOf(std::size_t size, std::uint8_t value) {
    return std::vector<std::byte>(size, std::byte{value});
}

TEST(ReplyAssembler, JoinsFragmentsInOrderUntilTheLast) {
    ReplyAssembler a;
    EXPECT_EQ(a.append(bytesOf(3, 1), false), ReplyAssembler::Step::NeedMore);
    EXPECT_EQ(a.append({}, false), ReplyAssembler::Step::NeedMore);
    EXPECT_EQ(a.append(bytesOf(2, 2), true), ReplyAssembler::Step::Complete);
    EXPECT_EQ(a.bytes().size(), 5u);
    EXPECT_EQ(a.bytes()[2], std::byte{1});
    EXPECT_EQ(a.bytes()[3], std::byte{2});
    EXPECT_EQ(a.recordCount(2), 2u);
    EXPECT_EQ(a.recordCount(0), 0u);
    a.clear();
    EXPECT_EQ(a.append({}, true), ReplyAssembler::Step::Complete); // an empty reply
    EXPECT_EQ(a.fill(), 0u);
}

TEST(ReplyAssembler, RefusesAReplyLargerThanItsCapacityWholeAndRecovers) {
    ReplyAssembler a;
    const auto chunk = bytesOf(60000, 7);
    std::size_t sent = 0;
    while (sent + chunk.size() <= ReplyAssembler::kCapacity) {
        ASSERT_EQ(a.append(chunk, false), ReplyAssembler::Step::NeedMore);
        sent += chunk.size();
    }
    EXPECT_EQ(a.fill(), sent);
    // This one would pass the capacity: the reply is dropped and the rest skipped.
    EXPECT_EQ(a.append(chunk, false), ReplyAssembler::Step::NeedMore);
    EXPECT_EQ(a.fill(), 0u);
    EXPECT_EQ(a.append(bytesOf(10, 1), false), ReplyAssembler::Step::NeedMore);
    EXPECT_EQ(a.fill(), 0u);
    EXPECT_EQ(a.append(bytesOf(10, 1), true), ReplyAssembler::Step::Overflow);
    // The next reply is taken again, even without clear().
    EXPECT_EQ(a.append(bytesOf(4, 3), true), ReplyAssembler::Step::Complete);
    EXPECT_EQ(a.fill(), 4u);
    // Exactly the capacity fits.
    a.clear();
    EXPECT_EQ(a.append(bytesOf(ReplyAssembler::kCapacity, 0), true),
              ReplyAssembler::Step::Complete);
}

} // namespace
} // namespace kalder
