// The connect history file "ConnectInfo100.log" of arbitrary contents: listed as the connect
// dialog lists it, then changed by one operation (the first byte picks it) and listed again.
// A connect that was recorded must then be found. The file's bytes are kept in memory: the
// history reads and writes them as it does the file.
#include "files/connect_history.h"
#include "fuzz_input.h"

#include <cstdlib>

using namespace kalder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t pick = in.u8();
    const std::span<const std::byte> contents = in.rest();
    ConnectHistoryMemory memory{{contents.begin(), contents.end()}};
    ConnectHistory history(memory);
    const std::vector<ConnectEntry> before = history.entries();
    if (before.size() > kConnectHistoryEntries)
        std::abort();
    for (const ConnectEntry& e : before)
        if (e.address.empty() || e.address.size() > 259 || e.siteText.size() > 259)
            std::abort();

    switch (pick % 3) {
    case 0: {
        const std::string address = before.empty() ? "10.0.0.1" : before.front().address;
        const std::uint32_t port = before.empty() ? 9010 : before.front().port + (pick >> 7);
        if (history.record(address, port, "site", 1234567) && !history.find(address, port))
            std::abort();
        break;
    }
    case 1:
        if (history.remove(pick >> 2) && history.entries().size() + 1 != before.size())
            std::abort();
        break;
    default:
        (void)history.setSiteText(pick >> 2, std::string(300, 's'));
        break;
    }
    return 0;
}
