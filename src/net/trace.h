#pragma once

#include <functional>
#include <string_view>

namespace kalder {

// Diagnostic trace of the protocol code (wire, net and files, which use no Qt). Texts are
// formatted printf-style into a 1,024-byte buffer and handed to the installed sink; without a
// sink they are discarded and cost one atomic load. The desktop client and kalder-cli install a
// sink that forwards to their "kalder.net" logging category; the simulator writes to standard
// error. Nothing here is ever shown to the operator.
using TraceSink = std::function<void(std::string_view)>;

void setTraceSink(TraceSink sink);
// A sink is installed: worth formatting a trace that costs more than its arguments.
bool traceEnabled();
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace kalder
