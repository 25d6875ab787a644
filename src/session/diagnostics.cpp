#include "session/diagnostics.h"

#include "net/trace.h"

#include <string_view>

namespace kalder {

Q_LOGGING_CATEGORY(lcNet, "kalder.net", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSession, "kalder.session", QtInfoMsg)

void setUpDiagnostics(bool all) {
    if (all)
        QLoggingCategory::setFilterRules(QStringLiteral("kalder.*.debug=true"));
    if (!lcNet().isDebugEnabled()) {
        setTraceSink(nullptr);
        return;
    }
    // Called from any thread of the protocol code; qCDebug is thread-safe.
    setTraceSink([](std::string_view text) {
        while (!text.empty() && text.back() == '\n')
            text.remove_suffix(1);
        qCDebug(lcNet).noquote() << QString::fromUtf8(text.data(), qsizetype(text.size()));
    });
}

} // namespace kalder
