// A log reply of arbitrary bytes: decoded, then every record listed, detailed and drawn as the
// windows and kalder-cli do, with both date orders and both schedule forms.
#include "wire/log_listing.h"
#include "wire/log_records.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kalder;
    const LogReply reply = decodeLogReply(std::as_bytes(std::span(data, size)));
    LogNaming naming;
    naming.text = [](int id) { return std::to_string(id); };
    for (const LogRecord& r : reply.records) {
        naming.dateFormat = static_cast<int>(r.sequence % 3);
        naming.subProduct34 = (r.sequence & 4) != 0;
        (void)logRow(r, naming);
        (void)logDetailRows(r, naming);
        (void)scheduleCells(r.oldValue, naming.subProduct34);
        (void)areaCells(r.newValue, 4);
        for (LogList list : {LogList::All, LogList::Event, LogList::Archive})
            (void)logSelection(r, list, false);
    }
    return 0;
}
