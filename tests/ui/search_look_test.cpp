// The recorded-video windows' shared look: the date row's field order per date format, and the
// date fields' pop-ups (one at a time, centred under the field, reporting their choice).
#include "ui/search_look.h"

#include <QApplication>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

TEST(SearchLook, DateRowFieldsFollowTheDateFormat) {
    QWidget panel;
    QPushButton year(&panel), month(&panel), day(&panel), time(&panel);
    struct Case {
        unsigned format;
        std::array<QPushButton*, 3> leftToRight;
    };
    const Case cases[] = {
        {0, {&year, &month, &day}}, {1, {&month, &day, &year}}, {2, {&day, &month, &year}}};
    for (const Case& c : cases) {
        placeDateRowFields(&year, &month, &day, &time, c.format, 80);
        EXPECT_EQ(c.leftToRight[0]->x(), 56) << c.format;
        EXPECT_LT(c.leftToRight[0]->geometry().right(), c.leftToRight[1]->x()) << c.format;
        EXPECT_LT(c.leftToRight[1]->geometry().right(), c.leftToRight[2]->x()) << c.format;
        EXPECT_LT(c.leftToRight[2]->geometry().right(), time.x()) << c.format;
        EXPECT_EQ(year.width(), 70);
        EXPECT_EQ(day.y(), 80);
    }
}

TEST(SearchLook, PopupsOpenOneAtATimeUnderTheirField) {
    QWidget owner;
    owner.resize(400, 300);
    auto* field = new QPushButton(&owner);
    field->setGeometry(100, 40, 60, 24);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    DateFieldPopups popups(&owner);

    int chosen = -1;
    popups.openList(field, {"01", "02", "03", "04", "05"}, 4, 180, [&](int i) { chosen = i; });
    ListPopup* list = popups.listPopup();
    ASSERT_NE(list, nullptr);
    // Two rows of 21 pixels, centred under the field (the offscreen platform may shift a window
    // by its frame margin of a few pixels).
    EXPECT_EQ(list->height(), 2 * ListPopup::kRowHeight + 2);
    const QPoint fieldBottom = field->mapToGlobal(QPoint(field->width() / 2, field->height()));
    EXPECT_NEAR(list->x() + list->width() / 2, fieldBottom.x(), 4);
    EXPECT_NEAR(list->y(), fieldBottom.y() + 1, 4);

    // The time pop-up closes the list, which reports nothing.
    std::array<int, 3> time{-1, -1, -1};
    popups.openTime(field, 7, 8, 9, [&](int h, int m, int s) { time = {h, m, s}; });
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(popups.listPopup(), nullptr);
    EXPECT_EQ(chosen, -1);
    ASSERT_NE(popups.timePopup(), nullptr);
    popups.timePopup()->slider(1)->setValue(30);
    popups.closeAll();
    EXPECT_EQ(time, (std::array<int, 3>{7, 30, 9}));

    // Choosing an item reports its index and closes the pop-up.
    popups.openList(field, {"a", "b", "c"}, 1, 50, [&](int i) { chosen = i; });
    popups.listPopup()->findChildren<QPushButton*>()[2]->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(chosen, 2);
    EXPECT_EQ(popups.listPopup(), nullptr);
}

} // namespace
} // namespace kalder
