#pragma once

#include <functional>
#include <string_view>

namespace kalder {

// Diagnostic trace of the protocol code. Texts are formatted printf-style into a 1,024-byte
// buffer and handed to the installed sink; without a sink they are discarded. Nothing here is
// ever shown to the operator.
using TraceSink = std::function<void(std::string_view)>;

void setTraceSink(TraceSink sink);
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace kalder
