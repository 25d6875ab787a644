// The local operation log ring of arbitrary contents: read as the local log viewer reads it,
// then one entry appended as the client appends one (its two writes applied to the bytes in
// memory, as the file would take them). An appended entry must read back as the newest.
#include "files/local_log.h"
#include "fuzz_input.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

using namespace kalder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t pick = in.u8();
    // The header as given when the first byte's top four bits are set (a next index anywhere,
    // the ring's end and wrap included); otherwise its next index is kept below 64, so that most
    // inputs stay small rings that read quickly. The rest of the input lands at the slot the
    // first byte's bits 0-3 name, the gap reading as zeros.
    std::array<std::byte, kLocalLogHeaderSize> head{};
    const std::span<const std::byte> given = in.take(kLocalLogHeaderSize);
    std::copy(given.begin(), given.end(), head.begin());
    if ((pick & 0xF0) != 0xF0) {
        head[4] &= std::byte{0x3F};
        std::fill(head.begin() + 5, head.end(), std::byte{0});
    }
    // Sixteen slots of records cover every record's form; more only repeat them.
    const std::span<const std::byte> rest = in.take(16 * kLocalLogRecordSize);
    const std::size_t restSlot = pick & 0x0F;
    const off_t restAt = off_t(kLocalLogHeaderSize + restSlot * kLocalLogRecordSize);
    std::vector<std::byte> ring(head.begin(), head.begin() + std::ptrdiff_t(given.size()));
    if (!rest.empty()) {
        ring.resize(std::size_t(restAt));
        ring.insert(ring.end(), rest.begin(), rest.end());
    }

    const std::vector<LocalLogRecord> before = parseLocalLog(ring);
    if (before.size() > kLocalLogSlotCount)
        std::abort();
    for (const LocalLogRecord& r : before)
        if (r.address.size() > kLocalLogAddressWidth || r.userId.size() > kLocalLogUserIdWidth)
            std::abort();

    LocalLogRecord entry;
    entry.kind = kLogKindLogon;
    entry.event = kLogEventLogon;
    entry.time = 0x5A5A5A5A;
    entry.address = "recorder.example";
    entry.userId = "admin";
    const LocalLogAppend plan = planLocalLogAppend(localLogRingPosition(ring, ring.size()), entry);
    auto writeAt = [&](std::span<const std::byte> bytes, std::size_t at) {
        if (ring.size() < at + bytes.size())
            ring.resize(at + bytes.size());
        std::copy(bytes.begin(), bytes.end(), ring.begin() + std::ptrdiff_t(at));
    };
    writeAt(plan.record, plan.recordOffset);
    writeAt(plan.header, 0);
    const std::vector<LocalLogRecord> after = parseLocalLog(ring);
    if (after.empty() || after.back().time != entry.time || after.back().address != entry.address ||
        after.back().slot >= kLocalLogSlotCount)
        std::abort();
    return 0;
}
