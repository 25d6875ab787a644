// The local operation log ring of arbitrary contents: read as the local log viewer reads it,
// then one entry appended as the client appends one. An appended entry must read back as the
// newest.
#include "files/local_log.h"
#include "fuzz_input.h"

#include <cstdlib>

using namespace kalder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t pick = in.u8();
    static const std::filesystem::path file = fuzz::scratchFolder() / "Log" / "Kalder.log";
    static const bool made = std::filesystem::create_directories(file.parent_path());
    (void)made;
    // A header past the input's reach is still tried: the rest of the input lands at the slot
    // the first byte names, the gap reading as zeros.
    const std::span<const std::byte> head = in.take(kLocalLogHeaderSize);
    const std::span<const std::byte> rest = in.rest();
    const off_t restAt =
        off_t(kLocalLogHeaderSize + std::size_t(pick & 0x3F) * 40 * kLocalLogRecordSize);
    fuzz::setFileContents(file, head, rest, restAt);

    const auto before = readLocalLog(file);
    if (!before || before->size() > kLocalLogSlotCount)
        std::abort();
    for (const LocalLogRecord& r : *before)
        if (r.address.size() > kLocalLogAddressWidth || r.userId.size() > kLocalLogUserIdWidth)
            std::abort();

    LocalLogRecord entry;
    entry.kind = kLogKindLogon;
    entry.event = kLogEventLogon;
    entry.time = 0x5A5A5A5A;
    entry.address = "recorder.example";
    entry.userId = "admin";
    if (appendLocalLogRecord(file, entry)) {
        const auto after = readLocalLog(file);
        if (!after || after->empty() || after->back().time != entry.time ||
            after->back().address != entry.address || after->back().slot >= kLocalLogSlotCount)
            std::abort();
    }
    return 0;
}
