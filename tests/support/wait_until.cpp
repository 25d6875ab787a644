#include "support/wait_until.h"

#include <QCoreApplication>

#include <thread>

namespace kalder::test {

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (QCoreApplication::instance() != nullptr)
            QCoreApplication::sendPostedEvents();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace kalder::test
