// Feeds arbitrary bytes to the session's own receive path: the fuzzer's bytes arrive on the
// session's socket as if sent by a recorder, and every handler of the session (login, farewell,
// live channel info and data with audio, live refusals, status records, rights, recording and
// clock replies) reads them through the real dispatch. The first byte chooses whether a valid
// login and live start come first, so that the live handlers are reached with live view on.
#include "fuzz_session_driver.h"

using namespace kalder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    std::vector<std::uint8_t> stream;
    if (data[0] & 1)
        fuzz::appendLoginAndLive(stream, data[0], data[0]);
    stream.insert(stream.end(), data + 1, data + std::min<std::size_t>(size, 100000));
    fuzz::runSession(stream, size > 1 ? data[1] & 0x0F : 0);
    return 0;
}
