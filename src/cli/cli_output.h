#pragma once

#include "wire/hello_record.h"
#include "wire/notification.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace kalder::cli {

// A JSON string literal (quotes included). Bytes above 0x7F that do not form UTF-8 are taken as
// Latin-1 (the recorder's texts are 8-bit), control characters are escaped.
std::string jsonString(std::string_view text);

// The recorder's description, as one JSON object or as readable lines. `hello` is the record
// after the client's fix-ups (seven firmware slots, channel count).
std::string helloJson(const HelloRecord& hello);
std::string helloText(const HelloRecord& hello);

// A notification with its resource texts joined by a space.
std::string notificationJson(Notification notification, std::string_view text);
std::string notificationText(Notification notification, std::string_view text);

// The texts of a notification's box in their plain form, joined by a space (empty for a pair
// the notification table does not list, or without the resource library).
std::string notificationResourceText(Notification notification);

// Writes event lines to standard output (flushed per line so that readers see them as they
// happen) and diagnostics to standard error.
class CliOutput {
public:
    explicit CliOutput(bool json, std::FILE* out = stdout, std::FILE* err = stderr)
        : m_json(json), m_out(out), m_err(err) {}
    bool json() const { return m_json; }

    void hello(const HelloRecord& hello);
    void notification(Notification notification);
    // One event line of a command's own (JSON object text, or a readable line).
    void line(const std::string& text);
    void error(const std::string& text);

private:
    bool m_json;
    std::FILE* m_out;
    std::FILE* m_err;
};

} // namespace kalder::cli
