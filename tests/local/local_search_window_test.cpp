// The local search window offscreen, over hand-made sets: the calendar with its weekday header,
// kind marks and year list; the date and time panel's fields through the list and time pop-ups
// and the requests its Play makes; the event list's exact play; the account's rights; the
// nothing-found notification.
#include "backup_set_builder.h"
#include "local/local_search_panels.h"
#include "local/local_search_window.h"
#include "ui/list_popup.h"
#include "ui/time_popup.h"

#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>

namespace kalder {
namespace {

constexpr std::uint32_t kMorning = 1714557600; // 2024-05-01 10:00:00, motion
constexpr std::uint32_t kNoon = 1714564800;    // 2024-05-01 12:00:00, alarm

class LocalSearchWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::filesystem::path(::testing::TempDir()) /
                ("local_search_window_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    // One set of two segments on 2024-05-01: motion at 10:00 and alarm at 12:00, 10 s each.
    void writeSet() {
        auto frames = test::steadyFrames(kMorning, 10, 2, {0, 1}, 2, 1);
        for (auto& f : frames)
            f.kind = 2;
        auto alarm = test::steadyFrames(kNoon, 10, 2, {0}, 2, 2);
        for (auto& f : alarm) {
            f.kind = 1;
            frames.push_back(f);
        }
        test::writeBackupSet(m_dir, 0x6632a000, frames);
    }

    std::filesystem::path m_dir;
};

// Clicks the item `text` of the open list pop-up, which must offer `expectedItems`.
void chooseFromList(LocalSearchWindow& w, const QString& text, int expectedItems) {
    ListPopup* popup = w.popups().listPopup();
    ASSERT_NE(popup, nullptr);
    const auto items = popup->findChildren<QPushButton*>();
    EXPECT_EQ(items.size(), expectedItems);
    for (QPushButton* item : items)
        if (item->text() == text) {
            item->click();
            break;
        }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w.popups().listPopup(), nullptr);
}

TEST_F(LocalSearchWindowTest, CalendarMarksKindsAndChoosesYearsFromTheList) {
    writeSet();
    LocalSearchWindow w(m_dir, false, 0, nullptr);
    QSignalSpy notes(&w, &LocalSearchWindow::notify);
    w.show();
    auto* calendar = qobject_cast<LocalCalendarPanel*>(w.panelWidget());
    ASSERT_NE(calendar, nullptr);
    // The current year has nothing: the calendar steps back to May 2024.
    EXPECT_EQ(calendar->year(), 2024);
    EXPECT_EQ(calendar->month(), 5);
    EXPECT_TRUE(calendar->monthButton(5)->isEnabled());
    EXPECT_FALSE(calendar->monthButton(4)->isEnabled());
    QStringList header;
    for (QLabel* l : calendar->findChildren<QLabel*>())
        if (l->text().size() == 3 && l->y() == 92)
            header << l->text();
    EXPECT_EQ(header, (QStringList{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}));
    // 1 May 2024 was a Wednesday: first row, fourth column; both kinds of the day are marked.
    EXPECT_EQ(calendar->dayButton(1)->geometry(), QRect(3 * 57 + 4, 107, 52, 25));
    EXPECT_EQ(calendar->dayButton(1)->kindMask(), (1u << 1) | (1u << 2));
    EXPECT_TRUE(calendar->dayButton(1)->isEnabled());
    EXPECT_EQ(calendar->dayButton(2)->kindMask(), 0u);
    EXPECT_FALSE(calendar->dayButton(2)->isEnabled());

    // A year without recordings: month 1, every month disabled; back to 2024 through the list.
    calendar->yearField()->click();
    chooseFromList(w, "2023", 38);
    EXPECT_EQ(calendar->year(), 2023);
    EXPECT_EQ(calendar->month(), 1);
    for (int m = 1; m <= 12; ++m)
        EXPECT_FALSE(calendar->monthButton(m)->isEnabled()) << m;
    calendar->yearField()->click();
    chooseFromList(w, "2024", 38);
    EXPECT_EQ(calendar->month(), 5);

    // The day opens its timeline; Prev shows the same calendar again, as it was left.
    calendar->dayButton(1)->click();
    ASSERT_EQ(w.panel(), LocalSearchWindow::Panel::Timeline);
    QPushButton* prev = nullptr;
    for (QPushButton* b : w.panelWidget()->findChildren<QPushButton*>())
        if (b->text() == "Prev")
            prev = b;
    ASSERT_NE(prev, nullptr);
    prev->click();
    EXPECT_EQ(w.panelWidget(), calendar);
    EXPECT_TRUE(calendar->isVisible());
    calendar->dayButton(1)->click();
    // The time field opens the time pop-up.
    auto* timeline = qobject_cast<LocalTimelinePanel*>(w.panelWidget());
    ASSERT_NE(timeline, nullptr);
    timeline->timeField()->click();
    TimePopup* popup = w.popups().timePopup();
    ASSERT_NE(popup, nullptr);
    popup->slider(0)->setValue(12);
    popup->slider(1)->setValue(0);
    popup->slider(2)->setValue(4);
    popup->close();
    EXPECT_EQ(timeline->timeField()->text(), "12 : 00 : 04");
    QSignalSpy plays(&w, &LocalSearchWindow::playRequested);
    timeline->playButton()->click();
    ASSERT_EQ(plays.count(), 1);
    const auto request = plays[0][0].value<LocalPlayRequest>();
    EXPECT_EQ(request.kind, LocalPlayRequest::Kind::StartOnly);
    QCoreApplication::processEvents();
    EXPECT_EQ(notes.count(), 0);
}

TEST_F(LocalSearchWindowTest, DateFieldsUseThePopupsAndPlayFromTheStartOrThePeriod) {
    writeSet();
    LocalSearchWindow w(m_dir, false, 0, nullptr);
    w.show();
    w.showPanel(LocalSearchWindow::Panel::DateTime);
    auto* panel = qobject_cast<LocalDateTimePanel*>(w.panelWidget());
    ASSERT_NE(panel, nullptr);
    // The start row opens at the first set's start; the end row at the end that means none.
    EXPECT_EQ(panel->entry(0), (CivilTime{2024, 5, 1, 10, 0, 0}));
    EXPECT_EQ(panel->entry(1), (CivilTime{2037, 12, 31, 23, 59, 59}));
    EXPECT_EQ(panel->field(0, 0)->text(), "2024.");
    EXPECT_EQ(panel->field(0, 3)->text(), "10 : 00 : 00");
    // Year, month and day first: the fields left to right.
    EXPECT_LT(panel->field(0, 0)->x(), panel->field(0, 1)->x());
    EXPECT_LT(panel->field(0, 1)->x(), panel->field(0, 2)->x());

    QSignalSpy plays(&w, &LocalSearchWindow::playRequested);
    panel->play();
    ASSERT_EQ(plays.count(), 1);
    EXPECT_EQ(plays[0][0].value<LocalPlayRequest>().kind, LocalPlayRequest::Kind::StartOnly);

    // The end row through the pop-ups: 31 December becomes 31 May, and 2024 leaves the day at
    // February's last.
    panel->field(1, 1)->click();
    chooseFromList(w, "05", 12);
    panel->field(1, 0)->click();
    chooseFromList(w, "2024", 38);
    EXPECT_EQ(panel->entry(1), (CivilTime{2024, 5, 31, 23, 59, 59}));
    panel->field(1, 1)->click();
    chooseFromList(w, "02", 12);
    EXPECT_EQ(panel->entry(1), (CivilTime{2024, 2, 29, 23, 59, 59}));
    panel->field(1, 2)->click();
    chooseFromList(w, "01", 29);
    panel->field(1, 1)->click();
    chooseFromList(w, "05", 12);
    // Opening the time pop-up closes an open list pop-up: one at a time.
    panel->field(1, 0)->click();
    ASSERT_NE(w.popups().listPopup(), nullptr);
    panel->field(1, 3)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w.popups().listPopup(), nullptr);
    TimePopup* time = w.popups().timePopup();
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->slider(0)->value(), 23);
    time->slider(0)->setValue(12);
    time->slider(1)->setValue(30);
    time->slider(2)->setValue(0);
    time->close();
    EXPECT_EQ(panel->entry(1), (CivilTime{2024, 5, 1, 12, 30, 0}));
    EXPECT_EQ(panel->field(1, 3)->text(), "12 : 30 : 00");

    panel->play();
    ASSERT_EQ(plays.count(), 2);
    const auto period = plays[1][0].value<LocalPlayRequest>();
    EXPECT_EQ(period.kind, LocalPlayRequest::Kind::StartAndEnd);
    EXPECT_EQ(period.end - period.start, 2u * 3600 + 30 * 60);
}

TEST_F(LocalSearchWindowTest, EventListPlaysTheSelectedSegmentExactly) {
    writeSet();
    LocalSearchWindow w(m_dir, false, 0, nullptr);
    w.show();
    w.showPanel(LocalSearchWindow::Panel::Event);
    auto* events = qobject_cast<LocalEventListPanel*>(w.panelWidget());
    ASSERT_NE(events, nullptr);
    // The alarm tab comes first; three columns; Play waits for a chosen row.
    EXPECT_EQ(events->list()->columnCount(), 3);
    ASSERT_EQ(events->list()->rowCount(), 1);
    EXPECT_EQ(events->list()->item(0, 0)->text(), "2024-05-01 12:00:00");
    EXPECT_FALSE(events->playButton()->isEnabled());
    events->list()->selectRow(0);
    EXPECT_TRUE(events->playButton()->isEnabled());
    QSignalSpy plays(&w, &LocalSearchWindow::playRequested);
    events->playButton()->click();
    ASSERT_EQ(plays.count(), 1);
    const auto request = plays[0][0].value<LocalPlayRequest>();
    EXPECT_EQ(request.kind, LocalPlayRequest::Kind::ExactSegment);
    EXPECT_EQ(request.start, kNoon);
    EXPECT_GT(request.end, kNoon);
}

// Rights: backup only leaves no tab of this window; the search right gives them back. Nothing
// downloaded: the calendar and the event list each tell the operator so.
TEST_F(LocalSearchWindowTest, RightsAndNothingFound) {
    {
        writeSet();
        LocalSearchWindow w(m_dir, false, 0, nullptr);
        w.show();
        w.showPanel(LocalSearchWindow::Panel::DateTime);
        w.popups().openList(w.panelWidget(), {"a"}, 1, 50, [](int) {});
        w.rightsChanged(1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(w.popups().listPopup(), nullptr);
        for (auto tab : {LocalSearchWindow::Tab::Search, LocalSearchWindow::Tab::Log,
                         LocalSearchWindow::Tab::Info})
            EXPECT_FALSE(w.tabButton(tab)->isEnabled());
        EXPECT_FALSE(w.panelWidget()->isVisible());
        w.selectTab(LocalSearchWindow::Tab::Info); // a disabled tab does nothing
        EXPECT_FALSE(w.tabButton(LocalSearchWindow::Tab::Info)->isChecked());
        w.rightsChanged(7); // not a rights value: no change
        EXPECT_FALSE(w.tabButton(LocalSearchWindow::Tab::Search)->isEnabled());
        w.rightsChanged(2);
        EXPECT_TRUE(w.tabButton(LocalSearchWindow::Tab::Search)->isEnabled());
        EXPECT_TRUE(w.tabButton(LocalSearchWindow::Tab::Search)->isChecked());
        EXPECT_TRUE(w.panelWidget()->isVisible());
    }
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
    LocalSearchWindow w(m_dir, false, 0, nullptr);
    QSignalSpy notes(&w, &LocalSearchWindow::notify);
    w.show();
    w.showPanel(LocalSearchWindow::Panel::Event);
    ASSERT_TRUE(QTest::qWaitFor([&] { return notes.count() == 2; }));
    for (const auto& note : notes)
        EXPECT_EQ(note, (QList<QVariant>{17, 0}));
}

} // namespace
} // namespace kalder
