#include "net/name_resolver.h"

#include "net/name_lookup.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

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

// Lookups run off the caller's thread; a replaced or cancelled lookup's answer never arrives.
TEST(NameLookup, AnswersTheNewestRequestOnly) {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::pair<std::uint64_t, std::string>> answers;
    NameLookup lookup([&](std::uint64_t ticket, const std::string& address) {
        std::lock_guard lock(mutex);
        answers.emplace_back(ticket, address);
        arrived.notify_all();
    });
    auto waitForAnswers = [&](std::size_t n) {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, std::chrono::seconds(30),
                                [&] { return answers.size() >= n; });
    };

    const std::uint64_t first = lookup.start("localhost");
    ASSERT_TRUE(waitForAnswers(1));
    EXPECT_EQ(answers[0], std::make_pair(first, std::string("127.0.0.1")));

    // Cancelled, then a new one: the new one is answered with its own ticket, and an answer
    // that still slips through for the cancelled one carries the cancelled ticket.
    const std::uint64_t cancelled = lookup.start("10.1.2.3");
    lookup.cancel();
    const std::uint64_t last = lookup.start("010.000.000.009");
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(30), [&] {
            return !answers.empty() && answers.back().first == last;
        }));
        EXPECT_EQ(answers.back().second, "10.0.0.9");
        for (const auto& [ticket, address] : answers)
            EXPECT_EQ(address == "10.1.2.3", ticket == cancelled);
    }
}

// Only a host name goes to the resolver thread; whatever is left must come out of
// resolveRecorderAddress without a resolver call (its answer is the same on any machine).
TEST(NameLookup, OnlyHostNamesNeedTheResolver) {
    const std::pair<const char*, bool> cases[] = {
        {"", false},          {"192.168.001.010", false}, {"256.1.1.1", false},
        {"1..2", false},      {"localhost", true},        {"10.0.0.1 ", true},
        {"recorder-7", true}, {"1.2.3.4a", true},         {"-1.2.3.4", true},
    };
    for (const auto& [typed, name] : cases)
        EXPECT_EQ(isHostName(typed), name) << typed;
}

TEST(NameLookup, AsksTheGivenResolver) {
    std::mutex mutex;
    std::condition_variable arrived;
    std::string typedSeen;
    std::optional<std::pair<std::uint64_t, std::string>> answer;
    NameLookup lookup(
        [&](std::uint64_t ticket, const std::string& address) {
            std::lock_guard lock(mutex);
            answer.emplace(ticket, address);
            arrived.notify_all();
        },
        [&](std::string_view typed) {
            std::lock_guard lock(mutex);
            typedSeen = typed;
            return std::string("192.0.2.7");
        });
    const std::uint64_t ticket = lookup.start("recorder.example");
    std::unique_lock lock(mutex);
    ASSERT_TRUE(
        arrived.wait_for(lock, std::chrono::seconds(30), [&] { return answer.has_value(); }));
    EXPECT_EQ(*answer, std::make_pair(ticket, std::string("192.0.2.7")));
    EXPECT_EQ(typedSeen, "recorder.example");
}

} // namespace
} // namespace kalder
