// The recorder's log windows in the search window's Log mode, over a session and a scripted
// recorder: one fetch, the lists, the buttons a selection allows, details, the change viewers,
// Play and the archive password.
#include "session_fixture.h"

#include "search_modes.h"
#include "search/search_window.h"
#include "logs/area_change_viewer.h"
#include "logs/change_grid.h"
#include "logs/log_browser.h"
#include "logs/log_detail_window.h"
#include "logs/log_list_window.h"
#include "logs/log_menu_panel.h"
#include "ui/report_list.h"
#include "logs/schedule_change_viewer.h"
#include "resources/resource_library.h"
#include "wire/log_records.h"

#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#if defined(__SANITIZE_THREAD__)
#define KALDER_UNDER_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KALDER_UNDER_THREAD_SANITIZER 1
#endif
#endif
#ifndef KALDER_UNDER_THREAD_SANITIZER
#define KALDER_UNDER_THREAD_SANITIZER 0
#endif

namespace kalder::test {
namespace {

class LogWindows : public SessionFixture {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(loadResourceLibrary(KALDER_PROGRAM_DIR)); }

    void SetUp() override {
        SessionFixture::SetUp();
        ASSERT_TRUE(startSession());
        login();
        grantRights(true);
        openWindow();
    }
    void TearDown() override {
        m_window.reset();
        SessionFixture::TearDown();
    }

    // Every right for every account (without the search and backup rights when `search` is
    // false), and the archive password "0000".
    void grantRights(bool search) {
        UserRightsTable t;
        for (auto& right : t.rights)
            right.fill(1);
        if (!search) {
            t.rights[static_cast<std::size_t>(UserRight::Search)].fill(0);
            t.rights[static_cast<std::size_t>(UserRight::Backup)].fill(0);
        }
        t.names = {"admin", "u1", "u2", "u3", "u4", "u5", "u6", "u7"};
        m_recorder.send(MessageId::RIGHT_CHANGE, encodeUserRightsTable(t));
        ChannelConfigRecord config;
        config.archive_pass = "0000";
        m_recorder.send(MessageId::DB_CHANGE, encodeChannelConfigRecord(config));
        sync();
    }

    // A search window with its Log mode filled, on the Log tab.
    void openWindow() {
        m_window = std::make_unique<SearchWindow>(*m_session, 0, nullptr);
        installLogMode(*m_window, *m_session, 0, {});
        m_window->show();
        m_window->tabButton(SearchWindow::Tab::Log)->click();
        m_browser = m_window->findChild<LogBrowser*>();
        ASSERT_NE(m_browser, nullptr);
        ASSERT_EQ(m_browser->menu()->parentWidget(),
                  m_window->modeMenuArea(SearchWindow::Tab::Log));
    }

    // The log requests the session has sent so far (a search cancel marks the end).
    std::size_t logRequests() {
        m_session->search().cancel();
        EXPECT_TRUE(m_recorder.readUntil(MessageId::CAPA_CAL_CANCEL));
        std::size_t requests = 0;
        for (const auto& m : m_recorder.seen())
            requests += m.header.messageId() == MessageId::LOG_INFO_REQ;
        return requests;
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

    std::unique_ptr<SearchWindow> m_window;
    LogBrowser* m_browser = nullptr; // the window's
};

TEST_F(LogWindows, FetchesOnceAndListsEachKindNewestFirst) {
    m_browser->menu()->button(LogList::All)->click();
    EXPECT_TRUE(m_browser->waitingForReply());
    EXPECT_EQ(m_browser->content(), nullptr);
    // While the log is being fetched the tabs hold.
    m_window->tabButton(SearchWindow::Tab::Search)->click();
    EXPECT_EQ(m_window->currentTab(), SearchWindow::Tab::Log);
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
    EXPECT_EQ(logRequests(), 1u);

    // The other tabs hide the log; back on the Log tab the same list shows again.
    QWidget* shown = m_browser->content();
    m_window->tabButton(SearchWindow::Tab::Search)->click();
    EXPECT_FALSE(m_browser->isVisible());
    EXPECT_TRUE(m_window->menuButton(0)->isVisible());
    m_window->tabButton(SearchWindow::Tab::Log)->click();
    EXPECT_TRUE(m_browser->isVisible());
    EXPECT_EQ(m_browser->content(), shown);

    // The window's Close ends the log with it; a new window asks the recorder again.
    QPushButton* close = nullptr;
    for (auto* b : m_window->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
        if (b->accessibleName() == QStringLiteral("Close"))
            close = b;
    ASSERT_NE(close, nullptr);
    close->click();
    EXPECT_FALSE(m_window->isVisible());
    openWindow();
    m_browser->chooseList(LogList::Power);
    EXPECT_TRUE(m_browser->waitingForReply());
    EXPECT_EQ(logRequests(), 2u);
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

TEST_F(LogWindows, PlayBuildsTheRequestOfTheSelectedEventAndReturnsToTheLog) {
    m_browser->chooseList(LogList::All);
    answer(sample());
    QSignalSpy spy(m_browser, &LogBrowser::playRequested);
    std::optional<SearchPlayRequest> played;
    QObject::connect(m_window.get(), &SearchWindow::playRequested,
                     [&](const SearchPlayRequest& r) { played = r; });
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
    // The window plays it as its own Play does, and closes keeping where the operator was.
    ASSERT_TRUE(played);
    EXPECT_EQ(played->channelMask, 0x0005);
    EXPECT_EQ(played->kindSelector, 0u);
    EXPECT_EQ(played->start, 1700000001u);
    EXPECT_EQ(played->end, 0u);
    EXPECT_FALSE(m_window->isVisible());
    const SearchResumeContext context = m_session->search().resumeContext();
    EXPECT_TRUE(context.active);
    EXPECT_TRUE(context.fromLogList);
    EXPECT_EQ(context.start, 1700000001u);

    // Opened again, the window is on the Log mode and lists the kept log without asking.
    m_window.reset();
    m_window = std::make_unique<SearchWindow>(*m_session, 0, nullptr);
    installLogMode(*m_window, *m_session, 0, {});
    EXPECT_EQ(m_window->currentTab(), SearchWindow::Tab::Log);
    m_browser = m_window->findChild<LogBrowser*>();
    ASSERT_NE(m_browser, nullptr);
    m_browser->chooseList(LogList::Event);
    EXPECT_FALSE(m_browser->waitingForReply());
    ASSERT_NE(content<LogListWindow>(), nullptr);
    EXPECT_EQ(content<LogListWindow>()->reportList()->rowCount(), 2);
    EXPECT_EQ(logRequests(), 1u);
}

TEST_F(LogWindows, ListPrintsWhatItShows) {
    m_browser->chooseList(LogList::Operation);
    answer(sample());
    QTemporaryDir dir;
    const QString pdf = dir.filePath("ops.pdf");
    ASSERT_TRUE(content<LogListWindow>()->printToPdf(pdf));
    EXPECT_EQ(LogListWindow::printLayout(LogList::Operation).documentName, "Remote Log Operation");
#if KALDER_UNDER_THREAD_SANITIZER
    // The thread sanitizer's runtime aborts when this process forks the reader (a check in its
    // fork handling); the other builds read the printout back.
    GTEST_SKIP() << "no child process under the thread sanitizer";
#endif
    // Read back: one page of the operation entries, newest first, and nothing of other kinds.
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_EQ(printed.count('\f'), 1);
    const qsizetype newest = printed.indexOf("00005");
    ASSERT_GE(newest, 0);
    EXPECT_LT(newest, printed.indexOf("00004"));
    EXPECT_LT(printed.indexOf("00004"), printed.indexOf("00003"));
    EXPECT_FALSE(printed.contains("00001"));
    EXPECT_FALSE(printed.contains("00007"));
    EXPECT_TRUE(QString(printed).remove(' ').contains("-1/1-"));
}

TEST_F(LogWindows, ArchiveNeedsTheFirstAccountARightAndThePassword) {
    int prompts = 0;
    m_browser->setPasswordPrompt([&] {
        ++prompts;
        return std::optional<QString>("wrong");
    });
    m_browser->chooseList(LogList::Archive);
    EXPECT_EQ(prompts, 1);
    EXPECT_FALSE(m_browser->waitingForReply()); // wrong password: nothing is asked
    EXPECT_TRUE(m_window->isVisible());
    // ... and the operator is told so.
    auto* refusal = m_browser->findChild<QMessageBox*>(QStringLiteral("messageBox"));
    ASSERT_NE(refusal, nullptr);
    EXPECT_TRUE(refusal->isVisible());
    EXPECT_TRUE(refusal->text().contains(QStringLiteral("Wrong archive password")))
        << refusal->text().toStdString();
    EXPECT_FALSE(refusal->windowTitle().isEmpty());
    refusal->accept();
    m_browser->setPasswordPrompt([] { return std::optional<QString>("0000"); });
    m_browser->chooseList(LogList::Archive);
    EXPECT_TRUE(m_browser->waitingForReply());
    answer(sample());

    // Without the search and backup rights the search window closes instead.
    grantRights(false);
    m_browser->setPasswordPrompt([&] {
        ++prompts;
        return std::optional<QString>("0000");
    });
    m_browser->chooseList(LogList::Archive);
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(prompts, 1);
}

} // namespace
} // namespace kalder::test
