#pragma once

#include <QString>

#include <functional>
#include <initializer_list>
#include <map>
#include <span>
#include <vector>

namespace kalder {

class WindowMessageEvent;

// The main window's table of posted window messages: which feature handles each message the
// session and the decode threads post, and which CloseWindow target each closes. Every feature
// enters its own messages when the window is set up; a message entered twice or by no feature
// is a fault of the setup, found by routeOf() and unrouted() (the tests ask them).
// GUI thread only.
class MessageRouter {
public:
    using Handler = std::function<void(const WindowMessageEvent&)>;

    // `feature` names the controller for diagnostics ("live", "playback", ...). A message has
    // one handler; a second entry replaces nothing and is counted as a fault.
    void route(int message, const char* feature, Handler handler);
    // The same handler for several messages (a feature's family of replies).
    void route(std::initializer_list<int> messages, const char* feature, const Handler& handler);
    // A message no window acts on (the command-line client's, or facts read elsewhere); kept
    // in the table so that it is not taken for a forgotten one.
    void ignore(int message, const char* why);
    // CloseWindow's targets: wParam names the window to close.
    void routeClose(int target, const char* feature, std::function<void()> close);

    // Runs the message's handler. False when the table has none (the message is dropped).
    bool dispatch(const WindowMessageEvent& message) const;

    // The feature a message goes to; empty when none, "ignored" for an ignored one.
    QString routeOf(int message) const;
    QString closeRouteOf(int target) const;
    // Of `messages`, those neither routed nor ignored.
    std::vector<int> unrouted(std::span<const int> messages) const;
    // Messages entered more than once (each a fault of the setup).
    const std::vector<int>& duplicates() const { return m_duplicates; }

private:
    struct Entry {
        const char* feature;
        Handler handler; // empty: ignored
    };
    struct CloseEntry {
        const char* feature;
        std::function<void()> close;
    };
    std::map<int, Entry> m_routes;
    std::map<int, CloseEntry> m_closeRoutes;
    std::vector<int> m_duplicates;
};

} // namespace kalder
