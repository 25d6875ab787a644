#include "video/video_trace.h"

namespace kalder {

Q_LOGGING_CATEGORY(lcVideo, "kalder.video", QtInfoMsg)

} // namespace kalder
