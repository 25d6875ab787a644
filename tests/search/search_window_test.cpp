// The search window and its panels without a recorder: an unconnected session (a recorder
// older than version 1.1, no rights) and records handed in through the resume context.
#include "search/backup_date_time_panel.h"
#include "search/backup_event_list_panel.h"
#include "search/calendar_panel.h"
#include "search/channel_select_panel.h"
#include "search/date_time_panel.h"
#include "search/day_timeline_panel.h"
#include "ui/list_popup.h"
#include "ui/time_popup.h"
#include "search/search_flow.h"
#include "search/search_window.h"

#include "session/recorder_session.h"
#include "wire/recorder_time.h"
#include "tests/support/year_with.h"

#include <QCheckBox>
#include <QLabel>
#include <QSlider>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <ctime>

namespace kalder {
namespace {

class SearchWindowTest : public ::testing::Test {
protected:
    RecorderSession session{nullptr};
};

TEST_F(SearchWindowTest, WithoutTheSearchRightOnlyBackupIsOpen) {
    SearchWindow w(session, 0, nullptr);
    EXPECT_FALSE(w.tabEnabled(SearchWindow::Tab::Search));
    EXPECT_TRUE(w.tabEnabled(SearchWindow::Tab::Backup));
    EXPECT_FALSE(w.tabEnabled(SearchWindow::Tab::Log));
    EXPECT_EQ(w.currentTab(), SearchWindow::Tab::Backup);
    // Rights arrive: all four tabs.
    w.handleWindowMessage(WindowMessage::RightsChanged, 0, 0);
    EXPECT_TRUE(w.tabEnabled(SearchWindow::Tab::Search));
    w.handleWindowMessage(WindowMessage::RightsChanged, 2, 0);
    EXPECT_FALSE(w.tabEnabled(SearchWindow::Tab::Backup));
    EXPECT_EQ(w.currentTab(), SearchWindow::Tab::Search);
    EXPECT_TRUE(session.search().windowOpen());
}

TEST_F(SearchWindowTest, EscapeAndTheWindowManagersCloseDoNotEndIt) {
    SearchWindow w(session, 0, nullptr);
    w.show();
    QTest::keyClick(&w, Qt::Key_Escape);
    QTest::keyClick(&w, Qt::Key_Return);
    w.close();
    EXPECT_TRUE(w.isVisible());
}

TEST_F(SearchWindowTest, NothingIsAskedWhileARequestIsPending) {
    SearchWindow w(session, 0, nullptr);
    w.searchFlow().searchCalendar();
    ASSERT_TRUE(w.requestPending());
    w.searchFlow().searchEvents();
    w.searchFlow().requestDay(2024, 1, 1);
    w.searchFlow().openDateTime();
    EXPECT_EQ(w.dateTimePanel(), nullptr);
    // A refusal ends the request without a calendar.
    w.handleWindowMessage(WindowMessage::SearchYearsReady,
                          static_cast<std::uintptr_t>(SearchReplyResult::Refused), 53);
    EXPECT_FALSE(w.requestPending());
    EXPECT_EQ(w.calendarPanel(), nullptr);
}

// Older recorders get one date row; the request carries every kind and no end.
TEST_F(SearchWindowTest, OlderRecorderPlaysFromTheStartWithEndZero) {
    SearchWindow w(session, 2, nullptr);
    w.searchFlow().openDateTime();
    DateTimePanel* panel = w.dateTimePanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->hasEndRow());
    panel->setEntry(0, {2024, 2, 29, 8, 15, 30});
    EXPECT_EQ(panel->entry(0), (CivilTime{2024, 2, 29, 8, 15, 30}));
    std::optional<SearchPlayRequest> played;
    QObject::connect(&w, &SearchWindow::playRequested,
                     [&](const SearchPlayRequest& r) { played = r; });
    panel->playButton()->click();
    ASSERT_TRUE(played);
    EXPECT_EQ(played->end, 0u);
    EXPECT_EQ(played->kindSelector, 0x3F);
    EXPECT_EQ(played->channelMask, 0xFFFF);
    EXPECT_EQ(played->start,
              *encodeOperatorTime({2024, 2, 29, 8, 15, 30},
                                  standardTimeZoneOffsetSeconds(std::time(nullptr))));
    const SearchResumeContext context = session.search().resumeContext();
    EXPECT_TRUE(context.active);
    EXPECT_EQ(context.source, SearchResumeContext::Source::DateTime);
    EXPECT_FALSE(session.search().windowOpen());
}

// Date fields choose from the list pop-up; the days offered follow the chosen month.
TEST_F(SearchWindowTest, DateFieldsChooseFromTheListPopup) {
    SearchWindow w(session, 0, nullptr);
    w.show();
    w.searchFlow().openDateTime();
    DateTimePanel* panel = w.dateTimePanel();
    panel->setEntry(0, {2024, 1, 31, 0, 0, 0});
    auto field = [&](const char* name) {
        for (QPushButton* b : panel->findChildren<QPushButton*>())
            if (b->accessibleName() == QLatin1String(name))
                return b;
        return static_cast<QPushButton*>(nullptr);
    };
    auto choose = [&](const char* name, const char* item, int expectedItems) {
        QPushButton* b = field(name);
        ASSERT_NE(b, nullptr) << name;
        b->click();
        auto* popup = w.findChild<ListPopup*>();
        ASSERT_NE(popup, nullptr);
        const auto items = popup->findChildren<QPushButton*>();
        EXPECT_EQ(items.size(), expectedItems);
        for (QPushButton* i : items)
            if (i->text() == QLatin1String(item)) {
                i->click();
                break;
            }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    choose("Start month", "02", 12);
    // 31 January became 29 February.
    EXPECT_EQ(panel->entry(0), (CivilTime{2024, 2, 29, 0, 0, 0}));
    choose("Start day", "10", 29);
    choose("Start year", "2030", 38);
    EXPECT_EQ(panel->entry(0), (CivilTime{2030, 2, 10, 0, 0, 0}));
    EXPECT_EQ(field("Start day")->text(), "10.");
}

TEST_F(SearchWindowTest, LocalPlaybackDisablesPlay) {
    SearchWindow w(session, 0, nullptr);
    w.searchFlow().openDateTime();
    w.setLocalPlaybackRunning(true);
    EXPECT_FALSE(w.dateTimePanel()->playButton()->isEnabled());
    std::optional<SearchPlayRequest> played;
    QObject::connect(&w, &SearchWindow::playRequested,
                     [&](const SearchPlayRequest& r) { played = r; });
    w.dateTimePanel()->play();
    EXPECT_FALSE(played);
}

using test::yearWith;

// A timeline resumed from the context, then back to the calendar built from the same years.
TEST_F(SearchWindowTest, ResumedTimelineAndTheCalendarBehindIt) {
    SearchResumeContext context;
    context.active = true;
    context.source = SearchResumeContext::Source::DayTimeline;
    context.years = {yearWith(2023, {{3, 5}, {10, 1}, {4, 31}}), yearWith(2024, {})};
    context.start = 1696155000; // 2023-10-01 10:10:00
    context.segments = {{0x0001, 0, 0x01, 1696154400, 1696158000}};
    session.search().setResumeContext(context);
    SearchWindow w(session, 0, nullptr);
    w.searchFlow().searchCalendar();
    EXPECT_FALSE(w.requestPending());
    DayTimelinePanel* timeline = w.timelinePanel();
    ASSERT_NE(timeline, nullptr);
    EXPECT_EQ(timeline->chosenTime(), (TimeOfDay{10, 10, 0}));
    EXPECT_EQ(timeline->cursorColumn(), timelineColumn(10, 10));

    // The time pop-up starts at the chosen time and moves the cursor to what it reports.
    w.show();
    QPushButton* timeField = nullptr;
    for (QPushButton* b : timeline->findChildren<QPushButton*>())
        if (b->accessibleName() == QLatin1String("Time"))
            timeField = b;
    ASSERT_NE(timeField, nullptr);
    timeField->click();
    auto* popup = w.findChild<TimePopup*>();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->slider(0)->value(), 10);
    EXPECT_EQ(popup->slider(1)->value(), 10);
    popup->slider(0)->setValue(13);
    popup->slider(1)->setValue(37);
    popup->slider(2)->setValue(5);
    popup->close();
    EXPECT_EQ(timeline->chosenTime(), (TimeOfDay{13, 37, 5}));
    EXPECT_EQ(timeline->cursorColumn(), 113 + 13 * 12 + 7);
    EXPECT_EQ(timeline->timeText(), "13 : 37 : 05");

    timeline->prevButton()->click();
    CalendarPanel* calendar = w.calendarPanel();
    ASSERT_NE(calendar, nullptr);
    EXPECT_EQ(calendar->year(), 2023);
    EXPECT_EQ(calendar->month(), 10);
    EXPECT_TRUE(calendar->dayHighlighted(1));
    EXPECT_FALSE(calendar->dayHighlighted(2));
    calendar->chooseMonth(4); // only a flag past April's end: disabled
    EXPECT_EQ(calendar->month(), 10);
    calendar->chooseMonth(3);
    EXPECT_EQ(calendar->month(), 3);
    EXPECT_TRUE(calendar->dayHighlighted(5));
    // A year whose flags are all zero: month 1, every month disabled, nothing to pick.
    calendar->chooseYear(2024);
    EXPECT_EQ(calendar->month(), 1);
    for (int m = 1; m <= 12; ++m)
        EXPECT_FALSE(calendar->monthButton(m)->isEnabled()) << m;
    calendar->chooseDay(1);
    EXPECT_FALSE(w.requestPending());
}

// The wheel zooms the day timeline about the mouse; a click then picks the second under it,
// a right-button drag scrolls, and 0 shows the whole day again with the cursor where it was.
TEST_F(SearchWindowTest, TheDayTimelineZoomsScrollsAndPicksTheSecondClicked) {
    SearchResumeContext context;
    context.active = true;
    context.source = SearchResumeContext::Source::DayTimeline;
    context.years = {yearWith(2023, {{10, 1}})};
    context.start = 1696155000; // 2023-10-01 10:10:00
    session.search().setResumeContext(context);
    SearchWindow w(session, 0, nullptr);
    w.searchFlow().searchCalendar();
    w.show();
    DayTimelinePanel* timeline = w.timelinePanel();
    ASSERT_NE(timeline, nullptr);
    const QPoint tenAm(timelineColumn(10, 0), 200);
    const auto wheel = [&](int notches, QPoint at, Qt::KeyboardModifiers modifiers = {}) {
        QWheelEvent event(at, timeline->mapToGlobal(at), {}, {0, 120 * notches}, Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(timeline, &event);
    };
    wheel(8, tenAm); // ten minutes across, 10:00 still under the mouse
    EXPECT_EQ(timeline->zoom().span(), 600);
    EXPECT_EQ(timeline->zoom().secondAt(tenAm.x()), 10 * 3600);
    EXPECT_FALSE(timeline->cursorColumn()) << "the chosen 10:10 is not in the part shown";
    EXPECT_TRUE(timeline->accessibleDescription().startsWith(QStringLiteral("Shows 09:")))
        << timeline->accessibleDescription().toStdString();

    QTest::mouseClick(timeline, Qt::LeftButton, {}, tenAm + QPoint(15, 0));
    EXPECT_EQ(timeline->chosenTime(), (TimeOfDay{10, 0, 31})); // 15 columns of 600/288 s
    EXPECT_EQ(timeline->timeText(), "10 : 00 : 31");
    EXPECT_EQ(timeline->cursorColumn(), tenAm.x() + 15);

    // A right-button drag of 144 columns to the left shows five minutes later.
    const int before = timeline->zoom().firstSecond();
    QTest::mousePress(timeline, Qt::RightButton, {}, tenAm);
    QMouseEvent move(QEvent::MouseMove, QPointF(tenAm - QPoint(144, 0)),
                     timeline->mapToGlobal(QPointF(tenAm - QPoint(144, 0))), Qt::NoButton,
                     Qt::RightButton, {});
    QCoreApplication::sendEvent(timeline, &move);
    QTest::mouseRelease(timeline, Qt::RightButton, {}, tenAm - QPoint(144, 0));
    EXPECT_EQ(timeline->zoom().firstSecond(), before + 300);
    EXPECT_EQ(timeline->chosenTime(), (TimeOfDay{10, 0, 31})) << "scrolling keeps the time";

    QTest::keyClick(timeline, Qt::Key_0);
    EXPECT_TRUE(timeline->zoom().wholeDay());
    EXPECT_EQ(timeline->cursorColumn(), timelineColumn(10, 0));
}

TEST_F(SearchWindowTest, OnAndOffOfACheckedRowActOnEveryCheckedRow) {
    SearchWindow w(session, 0, nullptr);
    w.searchFlow().openChannelSelect();
    ChannelSelectPanel* panel = w.channelSelectPanel();
    ASSERT_NE(panel, nullptr);
    panel->checkBox(1)->setChecked(true);
    panel->checkBox(5)->setChecked(true);
    panel->offButton(1)->click();
    EXPECT_EQ(w.searchChannelMask(), 0xFFFF & ~(1u << 1) & ~(1u << 5));
    panel->offButton(0)->click(); // unchecked row: only itself
    EXPECT_EQ(w.searchChannelMask(), 0xFFFF & ~0x23u);
    panel->onButton(5)->click();
    EXPECT_EQ(w.searchChannelMask(), 0xFFFE);
    panel->checkAll(true);
    panel->offButton(3)->click();
    EXPECT_EQ(w.searchChannelMask(), 0);
}

// A mode's content is built on the first choice of its tab, once, and shows only on its tab;
// while it waits for the recorder no tab can be chosen.
// The empty panel of each tab says what to press; a panel that opens takes its place.
TEST_F(SearchWindowTest, EmptyPanelSaysWhatToPress) {
    SearchWindow w(session, 0, nullptr);
    w.handleWindowMessage(WindowMessage::RightsChanged, 0, 0);
    w.show();
    auto* hint = w.findChild<QLabel*>("panelHint");
    ASSERT_NE(hint, nullptr);
    w.tabButton(SearchWindow::Tab::Search)->click();
    EXPECT_TRUE(hint->isVisible());
    EXPECT_TRUE(hint->text().contains(QStringLiteral("on the left")));
    w.tabButton(SearchWindow::Tab::Log)->click();
    EXPECT_TRUE(hint->isVisible());
    EXPECT_TRUE(hint->text().contains(QStringLiteral("log")));
    w.tabButton(SearchWindow::Tab::Search)->click();
    w.menuButton(0)->click();
    EXPECT_FALSE(hint->isVisible());
}

// One panel at a time across both menus; a pending request holds the tab, its check mark and
// its panel; the events' ready message goes to the menu of the tab that asked.
TEST_F(SearchWindowTest, OnePanelAtATimeAndAPendingRequestHoldsTheTab) {
    SearchWindow w(session, 0, nullptr);
    w.handleWindowMessage(WindowMessage::RightsChanged, 0, 0);
    w.show();
    w.menuButton(0)->click();
    ASSERT_TRUE(w.dateTimePanel()->isVisible());
    w.menuButton(1)->click();
    EXPECT_FALSE(w.dateTimePanel()->isVisible());
    EXPECT_TRUE(w.channelSelectPanel()->isVisible());

    w.tabButton(SearchWindow::Tab::Backup)->click();
    EXPECT_FALSE(w.channelSelectPanel()->isVisible());
    EXPECT_FALSE(w.menuButton(0)->isVisible());
    w.backupMenuButton(0)->click();
    ASSERT_TRUE(w.backupDateTimePanel()->isVisible());
    EXPECT_FALSE(w.keepSetBox()->isEnabled());
    w.setBackupFormat(SearchWindow::BackupFormat::Mkv);
    EXPECT_TRUE(w.keepSetBox()->isEnabled());
    EXPECT_TRUE(w.backupDateTimePanel()->isVisible());

    w.backupMenuButton(2)->click(); // the events are asked for
    ASSERT_TRUE(w.requestPending());
    w.tabButton(SearchWindow::Tab::Search)->click();
    EXPECT_EQ(w.currentTab(), SearchWindow::Tab::Backup);
    EXPECT_FALSE(w.tabButton(SearchWindow::Tab::Search)->isChecked());
    EXPECT_TRUE(w.tabButton(SearchWindow::Tab::Backup)->isChecked());
    EXPECT_TRUE(w.backupDateTimePanel()->isVisible());
    w.handleWindowMessage(WindowMessage::SearchEventsReady, 0, 0);
    ASSERT_NE(w.backupEventListPanel(), nullptr);
    EXPECT_TRUE(w.backupEventListPanel()->isVisible());
    EXPECT_FALSE(w.backupDateTimePanel()->isVisible());
    EXPECT_EQ(w.eventListPanel(), nullptr);
}

TEST_F(SearchWindowTest, ModeContentIsBuiltOnceAndFollowsItsTab) {
    SearchWindow w(session, 0, nullptr);
    w.handleWindowMessage(WindowMessage::RightsChanged, 0, 0);
    w.show();
    int built = 0;
    bool busy = false;
    QWidget* panel = nullptr;
    w.setModeContent(SearchWindow::Tab::Log, [&](QWidget* menuArea, QWidget* panelArea) {
        ++built;
        new QPushButton(QStringLiteral("All"), menuArea);
        panel = new QWidget(panelArea);
        return SearchWindow::ModeBusy([&] { return busy; });
    });
    EXPECT_EQ(built, 0);
    w.tabButton(SearchWindow::Tab::Log)->click();
    ASSERT_EQ(built, 1);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(w.menuButton(0)->isVisible());

    busy = true;
    w.tabButton(SearchWindow::Tab::Info)->click();
    EXPECT_EQ(w.currentTab(), SearchWindow::Tab::Log);
    EXPECT_FALSE(w.tabButton(SearchWindow::Tab::Info)->isChecked());
    busy = false;
    w.tabButton(SearchWindow::Tab::Info)->click();
    EXPECT_FALSE(panel->isVisible());
    w.tabButton(SearchWindow::Tab::Search)->click();
    EXPECT_TRUE(w.menuButton(0)->isVisible());
    w.tabButton(SearchWindow::Tab::Log)->click();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(built, 1);
    // Only the backup right left: the mode gives way to the backup menu.
    w.handleWindowMessage(WindowMessage::RightsChanged, 1, 0);
    EXPECT_EQ(w.currentTab(), SearchWindow::Tab::Backup);
    EXPECT_FALSE(panel->isVisible());
}

} // namespace
} // namespace kalder
