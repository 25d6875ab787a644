#pragma once

#include <cstddef>
#include <functional>
#include <span>

namespace kalder {

// What a setup page may ask of the session that opened its window, besides the record: a
// test mail with the mail block as it stands, and the confirmation of a factory reset (the
// main window's box, which on OK resets the recorder and closes the setup window). An empty
// function is a window without a session: the request does nothing.
struct SetupServices {
    std::function<bool()> connected;
    std::function<void(std::span<const std::byte>)> sendTestMail;
    std::function<void()> confirmFactoryReset;
};

} // namespace kalder
