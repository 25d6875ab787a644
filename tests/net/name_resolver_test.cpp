#include "net/name_resolver.h"

#include <gtest/gtest.h>

namespace kalder {
namespace {

TEST(RecorderAddress, DottedNumbersAreRewrittenInDecimal) {
    EXPECT_EQ(resolveRecorderAddress("192.168.001.010"), "192.168.1.10");
    EXPECT_EQ(resolveRecorderAddress("010.000.000.009"), "10.0.0.9");
    EXPECT_EQ(resolveRecorderAddress("0.0.0.0"), "0.0.0.0");
    EXPECT_EQ(resolveRecorderAddress("256.1.1.1"), "");
    EXPECT_EQ(resolveRecorderAddress("1.2.3"), "");
    EXPECT_EQ(resolveRecorderAddress("1..2.3"), "");
    EXPECT_EQ(resolveRecorderAddress(""), "");
    EXPECT_EQ(resolveRecorderAddress("localhost"), "127.0.0.1");
    EXPECT_EQ(resolveRecorderAddress("no-such-host.invalid"), "");
}

} // namespace
} // namespace kalder
