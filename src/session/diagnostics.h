#pragma once

#include <QLoggingCategory>

namespace kalder {

// Logging categories of the session layer and of the protocol code beneath it. Off by default;
// `--trace` or QT_LOGGING_RULES (for example "kalder.net.debug=true") switches them on, and the
// lines go to standard error. Nothing is shown to the operator.
Q_DECLARE_LOGGING_CATEGORY(lcNet)     // "kalder.net": every message in and out, framing faults
Q_DECLARE_LOGGING_CATEGORY(lcSession) // "kalder.session": connect, login, live, status

// Program start, GUI thread, after QCoreApplication exists: `all` switches every "kalder.*"
// category on (the --trace option); then the protocol code's trace is routed into "kalder.net"
// when that category is on, whichever way it was switched on.
void setUpDiagnostics(bool all);

} // namespace kalder
