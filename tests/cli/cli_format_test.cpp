// kalder-cli's option parsing and output formats.
#include "cli/cli_options.h"
#include "cli/cli_output.h"

#include <gtest/gtest.h>

namespace kalder::cli {
namespace {

TEST(CliOptions, DefaultsEnvironmentAndOverrides) {
    struct Case {
        std::vector<std::string> args;
        const char* env;
        std::string host, user, password, command;
        std::uint16_t port;
        bool json;
        std::vector<std::string> commandArgs;
    };
    const Case cases[] = {
        {{"probe"}, nullptr, "127.0.0.1", "admin", "", "probe", 2000, false, {}},
        {{"probe"}, "fromenv", "127.0.0.1", "admin", "fromenv", "probe", 2000, false, {}},
        {{"--password", "given", "probe"},
         "fromenv",
         "127.0.0.1",
         "admin",
         "given",
         "probe",
         2000,
         false,
         {}},
        {{"--password=", "probe"}, "fromenv", "127.0.0.1", "admin", "", "probe", 2000, false, {}},
        {{"--host", "10.0.0.9", "--port=2100", "--user", "Op", "--json", "live", "--x", "3"},
         nullptr,
         "10.0.0.9",
         "Op",
         "",
         "live",
         2100,
         true,
         {"--x", "3"}},
    };
    for (const Case& c : cases) {
        const ParseResult r = parseCliOptions(c.args, c.env);
        ASSERT_TRUE(r.options) << r.error;
        EXPECT_EQ(r.options->host, c.host);
        EXPECT_EQ(r.options->port, c.port);
        EXPECT_EQ(r.options->user, c.user);
        EXPECT_EQ(r.options->password, c.password);
        EXPECT_EQ(r.options->json, c.json);
        EXPECT_EQ(r.options->command, c.command);
        EXPECT_EQ(r.options->commandArgs, c.commandArgs);
    }
}

TEST(CliOptions, UsageErrors) {
    const std::vector<std::string> bad[] = {
        {},
        {"--json"},
        {"--port", "0", "probe"},
        {"--port", "65536", "probe"},
        {"--port", "12x", "probe"},
        {"--host"},
        {"--host", "", "probe"},
        {"--verbose", "probe"},
        {"--json=1", "probe"},
    };
    for (const auto& args : bad) {
        const ParseResult r = parseCliOptions(args, nullptr);
        EXPECT_FALSE(r.options) << (args.empty() ? "(none)" : args[0]);
        EXPECT_FALSE(r.error.empty());
    }
}

TEST(CliOutput, JsonStringsAreValidWhateverTheBytes) {
    EXPECT_EQ(jsonString("plain"), "\"plain\"");
    EXPECT_EQ(jsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
    EXPECT_EQ(jsonString("caf\xc3\xa9"), "\"caf\xc3\xa9\""); // UTF-8 kept
    EXPECT_EQ(jsonString("caf\xe9"), "\"caf\xc3\xa9\"");     // Latin-1 converted
    EXPECT_EQ(jsonString("\xc3"), "\"\xc3\x83\"");           // a cut sequence too
}

TEST(CliOutput, HelloEventGolden) {
    HelloRecord h;
    h.protocol_major_ver = 1;
    h.protocol_minor_ver = 2;
    h.product_number = 4;
    h.product_major_ver = 2;
    h.product_minor_ver = 10;
    h.sub_product_num_major = 3;
    h.sub_product_num_minor = 1;
    h.channel_num = 16;
    h.account = 1;
    h.mac = {0x00, 0x1B, 0xAC, 0x3D, 0x4E, 0xFF};
    h.flags = 0xFE; // only bits 0-1 are feature bits
    h.firmName[0] = "boot";
    h.firmVer[0] = 1717200000;
    h.firmName[4] = "f\"pga";
    h.firmVer[4] = 7;
    EXPECT_EQ(helloJson(h),
              "{\"event\":\"hello\",\"protocol_version\":\"1.2\",\"product_number\":4,"
              "\"product_version\":\"2.10\",\"sub_product\":\"3.1\",\"channels\":16,"
              "\"account\":1,\"mac\":\"00:1B:AC:3D:4E:FF\",\"feature_bits\":2,\"firmware\":["
              "{\"slot\":0,\"name\":\"boot\",\"build_time\":1717200000},"
              "{\"slot\":4,\"name\":\"f\\\"pga\",\"build_time\":7}]}");
    EXPECT_EQ(helloText(h), "recorder: protocol 1.2, product 4 version 2.10, sub-product 3.1, "
                            "16 channels, account 1, MAC 00:1B:AC:3D:4E:FF, feature bits 2\n"
                            "firmware slot 0: boot, built 2024-06-01 00:00:00 UTC\n"
                            "firmware slot 4: f\"pga, built 1970-01-01 00:00:07 UTC");
}

TEST(CliOutput, NotificationEvent) {
    EXPECT_EQ(notificationJson({3, 3}, "Closed. Bye"),
              "{\"event\":\"notification\",\"category\":3,\"detail\":3,\"text\":\"Closed. Bye\"}");
    EXPECT_EQ(notificationText({1, 1}, "Refused."), "notification 1,1: Refused.");
}

} // namespace
} // namespace kalder::cli
