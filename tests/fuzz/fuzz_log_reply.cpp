// A reassembled log reply of arbitrary bytes, decoded as the receive side decodes it: the
// announced record size, every record of that stride, and the lists each record belongs to. (The
// log_records target also draws every record's rows and grids, at a tenth of the speed.)
#include "wire/log_listing.h"
#include "wire/log_records.h"

#include <cstdlib>

using namespace kalder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
    const LogReply reply = decodeLogReply(bytes);
    if (reply.rejected && !reply.records.empty())
        std::abort();
    if (reply.recordSize != 0 && reply.records.size() > size / reply.recordSize)
        std::abort(); // more records than the reply holds
    for (const LogRecord& r : reply.records) {
        for (LogList list : {LogList::All, LogList::Event, LogList::Archive})
            (void)logSelection(r, list, (r.sequence & 1) != 0);
    }
    // A single record of any length, as the detail window takes one.
    (void)decodeLogRecord(bytes);
    return 0;
}
