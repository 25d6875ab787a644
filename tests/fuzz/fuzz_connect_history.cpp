// The connect history file "ConnectInfo100.log" of arbitrary contents: listed as the connect
// dialog lists it, then changed by one operation (the first byte picks it) and listed again.
// A connect that was recorded must then be found. The file's bytes are kept in memory: the
// history reads and writes them as it does the file.
//
// Input: the pick, one byte of fill, then the file's bytes. When the fill's top bit is set, the
// file first holds `fill & 0x7F` generated entries (at most 100; short texts, each its own
// address and port, mixed times) and the input's bytes lie over its start: a full history of
// 53 KB needs no more than a few hundred bytes of input.
#include "files/connect_history.h"
#include "fuzz_input.h"

#include <algorithm>
#include <cstdlib>
#include <string>

using namespace kalder;

namespace {

// A full history written by the history itself: entries with short texts, each its own address
// and port, used at times out of slot order.
const std::vector<std::byte>& generatedHistory() {
    static const std::vector<std::byte> bytes = [] {
        ConnectHistoryMemory full;
        ConnectHistory history(full);
        for (std::uint32_t slot = 0; slot < kConnectHistoryEntries; ++slot)
            history.record("10.9.0." + std::to_string(slot), 9000 + slot, "",
                           1700000000 + (slot * 37) % 101);
        full.bytes.resize(kConnectHistoryFileSize);
        return full.bytes;
    }();
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ConnectHistoryMemory memory;
    fuzz::Input in(data, size);
    const std::uint8_t pick = in.u8();
    const std::uint8_t fill = in.u8();
    const std::span<const std::byte> contents = in.rest();
    memory.bytes.assign(contents.begin(), contents.end());
    if (fill & 0x80) {
        const std::size_t generated = std::min<std::size_t>(fill & 0x7F, kConnectHistoryEntries);
        const std::size_t length = kConnectHistoryHeaderSize + generated * kConnectEntrySize;
        if (memory.bytes.size() < length)
            memory.bytes.insert(memory.bytes.end(),
                                generatedHistory().begin() + std::ptrdiff_t(memory.bytes.size()),
                                generatedHistory().begin() + std::ptrdiff_t(length));
    }
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
