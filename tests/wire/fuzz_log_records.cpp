// A log reply of arbitrary bytes: decoded, then its records listed, detailed and drawn as the
// windows and kalder-cli do, with every date order and both schedule forms.
#include "wire/log_listing.h"
#include "wire/log_records.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kalder;
    // The log_reply target decodes replies of any length; here 4 KB (at least sixteen records of
    // either layout) give every record's rows and grids their chance.
    const LogReply reply =
        decodeLogReply(std::as_bytes(std::span(data, std::min<std::size_t>(size, 4096))));
    LogNaming naming;
    naming.text = [](int id) { return std::to_string(id); };
    // Every record is listed; the first few are also detailed and drawn (a record's kind, not
    // its place, picks its rows, and the fuzzer moves records about at will). The grids' reading
    // does not depend on the record, so they are drawn for the first record only.
    constexpr std::size_t kDrawn = 4;
    for (std::size_t i = 0; i < reply.records.size(); ++i) {
        const LogRecord& r = reply.records[i];
        for (LogList list : {LogList::All, LogList::Event, LogList::Archive})
            (void)logSelection(r, list, false);
        if (i >= kDrawn)
            continue;
        naming.dateFormat = static_cast<int>(r.sequence % 3);
        naming.subProduct34 = (r.sequence & 4) != 0;
        (void)logRow(r, naming);
        (void)logDetailRows(r, naming);
        if (i == 0) {
            (void)scheduleCells(r.oldValue, naming.subProduct34);
            (void)areaCells(r.newValue, 4);
        }
    }
    return 0;
}
