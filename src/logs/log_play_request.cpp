#include "logs/log_play_request.h"

namespace kalder {

std::optional<LogPlayRequest> logPlayRequest(const LogRecord& record, LogList list) {
    if (list != LogList::All && list != LogList::Event)
        return std::nullopt;
    if (!logSelection(record, list, false).play)
        return std::nullopt;
    LogPlayRequest r;
    r.channelMask = static_cast<std::uint16_t>(record.channelValue & 0xFFFF);
    r.start = record.time;
    r.list = list;
    return r;
}

} // namespace kalder
