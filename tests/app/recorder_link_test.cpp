// The recorder link on its own, with a host that writes down what it is told: the order of the
// host's calls against the session's end, which generation's messages the link takes, and the
// tries after a lost connection (each session's end counted once).
#include "main_window_harness.h"
#include "recorder_link.h"
#include "session/recorder_session.h"

#include <QObject>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace kalder {
namespace {

class RecordingLinkHost final : public RecorderLinkHost {
public:
    std::vector<std::string> calls;
    int made = 0;

    void linkSessionMade(RecorderLink& link) override {
        ++made;
        calls.push_back(link.session() ? "made" : "made without a session");
    }
    void linkSessionClosing(RecorderLink& link) override {
        calls.push_back(link.session() ? "closing" : "closing without a session");
    }
    void linkSessionClosed(RecorderLink& link, bool keepView) override {
        // The features let go here: the link must no longer hand the session out.
        calls.push_back(
            std::string(link.session() ? "closed, session still handed out" : "closed") +
            (keepView ? " keeping the view" : ""));
    }
    void linkStateChanged(RecorderLink&) override {}
    void linkFirstTryFailed(RecorderLink&) override { calls.push_back("first try failed"); }
    void linkReconnected(RecorderLink&) override { calls.push_back("reconnected"); }
};

TEST(RecorderLink, TakesOnlyItsSessionsMessagesAndCountsEachFailedTryOnce) {
    // A port that refuses every connect: bound, never listening.
    const int blocker = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(blocker, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(blocker, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(blocker, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ConnectRequest request;
    request.address = "127.0.0.1";
    request.port = ntohs(address.sin_port);
    request.userId = "admin";

    using namespace std::chrono_literals;
    QObject receiver; // the sessions' messages are not read here
    RecordingLinkHost host;
    {
        RecorderLink link(0, host, receiver, ReconnectSchedule({10ms}), 0ms);
        link.setReconnectOn(true);
        EXPECT_FALSE(link.accepts(0));
        ASSERT_TRUE(link.open(request));
        EXPECT_FALSE(link.open(request)) << "one session at a time";
        const std::uint64_t first = link.session()->generation();
        EXPECT_TRUE(link.accepts(first));
        EXPECT_FALSE(link.accepts(0)) << "messages of no session belong to no link";

        link.loggedIn();
        EXPECT_EQ(link.state(), SessionState::Connected);
        EXPECT_TRUE(link.mayReconnect());
        link.beginReconnect();
        EXPECT_EQ(link.session(), nullptr);
        EXPECT_EQ(link.state(), SessionState::Reconnecting);
        EXPECT_EQ(link.reconnectAttempt(), 1u);
        EXPECT_TRUE(link.accepts(first)) << "the ended session's last messages are still taken";

        WAIT_UNTIL(host.made == 2, 10000);
        const std::uint64_t second = link.session()->generation();
        EXPECT_FALSE(link.accepts(first)) << "late: a newer session is the link's";
        EXPECT_TRUE(link.accepts(second));

        // The try's connect failure and its drop both report the same end.
        link.tryFailed();
        link.tryFailed();
        EXPECT_EQ(link.reconnectAttempt(), 2u);
        WAIT_UNTIL(host.made == 3, 10000);
        link.tryFailed();
        EXPECT_EQ(link.reconnectAttempt(), 3u);
        WAIT_UNTIL(host.made == 4, 10000);
        link.loggedIn();
        EXPECT_EQ(link.reconnectAttempt(), 0u);
        EXPECT_FALSE(link.nextTryInMs());

        // Given up while a try is waited for: offline, and no try is left.
        link.beginReconnect();
        EXPECT_TRUE(link.nextTryInMs());
        link.stopReconnecting();
        EXPECT_EQ(link.state(), SessionState::Offline);
        EXPECT_FALSE(link.nextTryInMs());
        EXPECT_EQ(link.session(), nullptr);
    }
    const std::vector<std::string> expected{"made",
                                            "closing",
                                            "closed keeping the view",
                                            "made",
                                            "closing",
                                            "closed keeping the view",
                                            "first try failed",
                                            "made",
                                            "closing",
                                            "closed keeping the view",
                                            "made",
                                            "reconnected",
                                            "closing",
                                            "closed keeping the view"};
    EXPECT_EQ(host.calls, expected);
    ::close(blocker);
}

} // namespace
} // namespace kalder
