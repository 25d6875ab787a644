#pragma once

#include <chrono>
#include <functional>

namespace kalder::test {

// Polls `done` until it holds or `limit` has passed; the result of `done`. While it waits it
// delivers the Qt events of the calling thread when a QCoreApplication exists, so that posted
// window messages arrive. The limit catches a hang; it is never a timing check.
bool waitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

} // namespace kalder::test
