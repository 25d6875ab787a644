#include "audio/audio_trace.h"

#include <cstdarg>
#include <cstdio>

namespace kalder {

Q_LOGGING_CATEGORY(lcAudio, "kalder.audio", QtInfoMsg)

void audioTrace(const char* format, ...) {
    if (!lcAudio().isDebugEnabled())
        return;
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    qCDebug(lcAudio, "%s", text);
}

} // namespace kalder
