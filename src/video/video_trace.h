#pragma once

#include <QLoggingCategory>

namespace kalder {

// "kalder.video": how the video window draws (OpenGL or software) and why. Information and
// warnings are on by default, like every program's start-up notes; `--trace` adds the rest.
Q_DECLARE_LOGGING_CATEGORY(lcVideo)

} // namespace kalder
