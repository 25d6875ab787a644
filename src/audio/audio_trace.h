#pragma once

#include <QLoggingCategory>

namespace kalder {

// "kalder.audio": sound server and device failures. Traced and otherwise ignored.
Q_DECLARE_LOGGING_CATEGORY(lcAudio)

void audioTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace kalder
