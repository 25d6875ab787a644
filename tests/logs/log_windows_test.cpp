// The recorder's log windows over a session and a scripted recorder: one fetch, the lists, the
// buttons a selection allows, details, the change viewers, Play and the archive password.
#include "session_fixture.h"

#include "logs/area_change_viewer.h"
#include "logs/change_grid.h"
#include "logs/log_browser.h"
#include "logs/log_detail_window.h"
#include "logs/log_list_window.h"
#include "logs/report_list.h"
#include "logs/schedule_change_viewer.h"
#include "resources/resource_library.h"
#include "wire/log_records.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace kalder::test {
namespace {

class LogWindows : public SessionFixture {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(loadResourceLibrary(KALDER_PROGRAM_DIR)); }

    void SetUp() override {
        SessionFixture::SetUp();
        ASSERT_TRUE(startSession());
        login();
        m_browser = std::make_unique<LogBrowser>(*m_session, 0);
    }
    void TearDown() override {
        m_browser.reset();
        SessionFixture::TearDown();
    }

    static LogRecord record(std::uint32_t seq, std::uint32_t kind, int subKind) {
        LogRecord r;
        r.sequence = seq;
        r.size = 200;
        r.kindBits = kind;
        r.subKindBits = 1u << subKind;
        r.time = 1700000000 + seq;
        return r;
    }

    // Answers the browser's request with `records` and hands it the reply's end.
    void answer(const std::vector<LogRecord>& records) {
        ASSERT_TRUE(m_recorder.readUntil(MessageId::LOG_INFO_REQ));
        std::vector<std::byte> reply;
        for (const LogRecord& r : records) {
            const auto one = encodeLogRecord(r, 200);
            reply.insert(reply.end(), one.begin(), one.end());
        }
        m_recorder.send(MessageId::LOG_INFO_ACK, reply, kFragmentLast);
        ASSERT_TRUE(waitUntil([&] { return m_events.has(WindowMessage::LogReplyComplete); }));
        m_browser->logReplyComplete(
            static_cast<int>(m_events.last(WindowMessage::LogReplyComplete)->wParam));
    }

    template <typename T> T* content() const { return qobject_cast<T*>(m_browser->content()); }

    std::vector<LogRecord> sample() {
        std::vector<LogRecord> log;
        LogRecord alarm = record(1, LogKind::Event, 0);
        alarm.channelValue = 0x0005;
        log.push_back(alarm);
        log.push_back(record(2, LogKind::Event, 3)); // video loss: no playback
        LogRecord setup = record(3, LogKind::Operation, 4);
        setup.extra[2] = 0xFF;
        log.push_back(setup);
        LogRecord schedule = record(4, LogKind::Operation, 15);
        schedule.newValue[0] = 0x01;
        log.push_back(schedule);
        LogRecord camera = record(5, LogKind::Operation, 17);
        camera.oldValue = {2, 0, 30, 1, 0};
        camera.newValue = {0, 30, 1, 0};
        camera.newValue[4] = 0xFF; // the area changed
        log.push_back(camera);
        log.push_back(record(6, 0, 0)); // no kind: never listed
        log.push_back(record(7, LogKind::Power, 1));
        return log;
    }

    std::unique_ptr<LogBrowser> m_browser;
};

TEST_F(LogWindows, FetchesOnceAndListsEachKindNewestFirst) {
    m_browser->chooseList(LogList::All);
    EXPECT_TRUE(m_browser->waitingForReply());
    EXPECT_EQ(m_browser->content(), nullptr);
    answer(sample());
    auto* all = content<LogListWindow>();
    ASSERT_NE(all, nullptr);
    const ReportList& rows = *all->reportList();
    ASSERT_EQ(rows.rowCount(), 6);
    EXPECT_EQ(rows.cellText(0, 0), "00007");
    EXPECT_EQ(rows.cellText(5, 0), "00001");
    EXPECT_EQ(rows.cellText(5, 4), "01 03 ");
    ASSERT_NE(all->detailsButton(), nullptr);
    ASSERT_NE(all->playButton(), nullptr);

    // Other kinds come from the session's copy: no second request.
    m_browser->chooseList(LogList::Event);
    auto* events = content<LogListWindow>();
    ASSERT_NE(events, nullptr);
    EXPECT_EQ(events->reportList()->rowCount(), 2);
    EXPECT_EQ(events->detailsButton(), nullptr);
    m_browser->chooseList(LogList::Power);
    EXPECT_EQ(content<LogListWindow>()->playButton(), nullptr);
    EXPECT_EQ(content<LogListWindow>()->reportList()->rowCount(), 1);
    sync();
    std::size_t requests = 0;
    for (const auto& m : m_recorder.seen())
        requests += m.header.messageId() == MessageId::LOG_INFO_REQ;
    EXPECT_EQ(requests, 1u);

    // Its own Close ends the browser, as the search window's does.
    m_browser->show();
    auto* close = m_browser->findChild<QPushButton*>(QStringLiteral("closeButton"));
    ASSERT_NE(close, nullptr);
    EXPECT_FALSE(close->accessibleName().isEmpty());
    close->click();
    EXPECT_FALSE(m_browser->isVisible());
}

TEST_F(LogWindows, SelectionDetailsViewersAndBack) {
    m_browser->chooseList(LogList::All);
    answer(sample());
    auto* all = content<LogListWindow>();
    ASSERT_NE(all, nullptr);
    all->selectRow(5); // the alarm
    EXPECT_TRUE(all->playButton()->isEnabled());
    EXPECT_FALSE(all->detailsButton()->isEnabled());
    all->selectRow(4); // video loss
    EXPECT_FALSE(all->playButton()->isEnabled());
    all->selectRow(3); // setup change
    EXPECT_TRUE(all->detailsButton()->isEnabled());
    EXPECT_FALSE(all->playButton()->isEnabled());
    all->detailsButton()->click();
    auto* details = content<LogDetailWindow>();
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(details->reportList()->rowCount(), 2 + 7);
    EXPECT_FALSE(details->areaButton()->isVisibleTo(details));
    details->backButton()->click();
    all = content<LogListWindow>();
    ASSERT_NE(all, nullptr);

    all->selectRow(2); // schedule change
    all->detailsButton()->click();
    auto* schedule = content<ScheduleChangeViewer>();
    ASSERT_NE(schedule, nullptr);
    EXPECT_TRUE(schedule->showingNew());
    EXPECT_EQ(schedule->grid()->values()[0], 1);
    schedule->showBefore();
    EXPECT_EQ(schedule->grid()->values()[0], 0);
    schedule->findChild<QPushButton*>("backButton")->click();
    all = content<LogListWindow>();
    ASSERT_NE(all, nullptr);

    all->selectRow(1); // camera recording, profile 2, area changed
    all->detailsButton()->click();
    details = content<LogDetailWindow>();
    ASSERT_NE(details, nullptr);
    ASSERT_TRUE(details->areaButton()->isVisibleTo(details));
    details->areaButton()->click();
    auto* area = content<AreaChangeViewer>();
    ASSERT_NE(area, nullptr);
    EXPECT_TRUE(area->grid()->values()[0]);
    area->showBefore();
    EXPECT_FALSE(area->grid()->values()[0]);
    area->findChild<QPushButton*>("backButton")->click();
    EXPECT_NE(content<LogDetailWindow>(), nullptr); // back to the same entry's details
}

TEST_F(LogWindows, PlayBuildsTheRequestOfTheSelectedEvent) {
    m_browser->show();
    m_browser->chooseList(LogList::All);
    answer(sample());
    QSignalSpy spy(m_browser.get(), &LogBrowser::playRequested);
    auto* all = content<LogListWindow>();
    all->selectRow(5);
    all->playButton()->click();
    ASSERT_EQ(spy.count(), 1);
    const auto request = spy.front().front().value<LogPlayRequest>();
    EXPECT_EQ(request.channelMask, 0x0005);
    EXPECT_EQ(request.kindSelector, 0u);
    EXPECT_EQ(request.start, 1700000001u);
    EXPECT_EQ(request.end, 0u);
    EXPECT_EQ(request.list, LogList::All);
    // Taken by a receiver: the window closes, as the search window does.
    EXPECT_FALSE(m_browser->isVisible());
}

TEST_F(LogWindows, ListPrintsWhatItShows) {
    m_browser->chooseList(LogList::Operation);
    answer(sample());
    QTemporaryDir dir;
    const QString pdf = dir.filePath("ops.pdf");
    ASSERT_TRUE(content<LogListWindow>()->printToPdf(pdf));
    EXPECT_EQ(LogListWindow::printLayout(LogList::Operation).documentName, "Remote Log Operation");
}

TEST_F(LogWindows, ArchiveNeedsTheFirstAccountARightAndThePassword) {
    // Without the search and backup rights the window closes instead.
    m_browser->show();
    int prompts = 0;
    m_browser->setPasswordPrompt([&] {
        ++prompts;
        return std::optional<QString>("wrong");
    });
    m_browser->chooseList(LogList::Archive);
    EXPECT_FALSE(m_browser->isVisible());
    EXPECT_EQ(prompts, 0);

    UserRightsTable t;
    for (auto& right : t.rights)
        right.fill(1);
    t.names = {"admin", "u1", "u2", "u3", "u4", "u5", "u6", "u7"};
    m_recorder.send(MessageId::RIGHT_CHANGE, encodeUserRightsTable(t));
    ChannelConfigRecord config;
    config.archive_pass = "0000";
    m_recorder.send(MessageId::DB_CHANGE, encodeChannelConfigRecord(config));
    sync();
    m_browser->show();
    m_browser->chooseList(LogList::Archive);
    EXPECT_EQ(prompts, 1);
    EXPECT_FALSE(m_browser->waitingForReply()); // wrong password: nothing happens
    m_browser->setPasswordPrompt([] { return std::optional<QString>("0000"); });
    m_browser->chooseList(LogList::Archive);
    EXPECT_TRUE(m_browser->waitingForReply());
}

} // namespace
} // namespace kalder::test
