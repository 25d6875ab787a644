// The date fields' pop-ups close unchanged on Escape and on a click outside, and the shared
// IPv4 address rule reads addresses as people type them.
#include "ui/ipv4_address_edit.h"
#include "ui/list_popup.h"
#include "ui/time_popup.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

TEST(Ipv4Rule, ReadsDigitsAndDotsPartByPart) {
    using S = Ipv4Reading::State;
    const struct {
        const char* text;
        S state;
        std::array<std::uint8_t, 4> address;
    } cases[] = {
        {"10.1.2.3", S::Complete, {10, 1, 2, 3}},
        {"010.001.2.255", S::Complete, {10, 1, 2, 255}}, // leading zeros are decimal
        {"0.0.0.0", S::Complete, {0, 0, 0, 0}},
        {"", S::Partial, {}},
        {"10.1.", S::Partial, {}},
        {"192.168.0", S::Partial, {}},
        {"999", S::Wrong, {}},
        {"1.2.3.256", S::Wrong, {}},
        {"1..2.3", S::Wrong, {}},
        {".1.2.3", S::Wrong, {}},
        {"1.2.3.4.5", S::Wrong, {}},
        {"1.2.3.4.", S::Wrong, {}},
        {"1.2.x.4", S::Wrong, {}},
        {"99999999999999999999", S::Wrong, {}},
    };
    for (const auto& c : cases) {
        const Ipv4Reading r = readIpv4Text(c.text);
        EXPECT_EQ(r.state, c.state) << c.text;
        EXPECT_EQ(r.problem.isEmpty(), c.state == S::Complete) << c.text;
        if (c.state == S::Complete) {
            EXPECT_EQ(r.address, c.address) << c.text;
        }
    }
    EXPECT_TRUE(readIpv4Text("300").problem.contains("255"));
    // Fields that take host names too judge only text of digits and dots.
    EXPECT_TRUE(dottedAddressProblem("recorder.example.org").isEmpty());
    EXPECT_TRUE(dottedAddressProblem("10.0.0.1").isEmpty());
    EXPECT_FALSE(dottedAddressProblem("10.0.0.300").isEmpty());
    EXPECT_FALSE(dottedAddressProblem("10.0").isEmpty());
}

TEST(Ipv4AddressEdit, TypingReportsOnlyWholeAddresses) {
    QWidget owner;
    auto* edit = new Ipv4AddressEdit(QStringLiteral("Server address"), &owner);
    owner.show();
    std::vector<std::array<std::uint8_t, 4>> reported;
    QObject::connect(edit, &Ipv4AddressEdit::addressEdited,
                     [&](const std::array<std::uint8_t, 4>& a) { reported.push_back(a); });
    edit->setFocus();
    QTest::keyClicks(edit, "10.1.2.3");
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported.back(), (std::array<std::uint8_t, 4>{10, 1, 2, 3}));
    edit->clear();
    QTest::keyClicks(edit, "999");
    EXPECT_EQ(edit->text(), "999");
    EXPECT_TRUE(edit->showsProblem());
    EXPECT_EQ(reported.size(), 1u);
    QTest::keyClicks(edit, "a"); // letters are not taken
    EXPECT_EQ(edit->text(), "999");
}

TEST(Popups, TimePopupClosesUnchangedOnEscapeAndOutsideAndReportsOnOk) {
    QWidget owner;
    owner.resize(400, 300);
    owner.show();
    for (int way = 0; way < 3; ++way) {
        auto* popup = new TimePopup(10, 20, 30, &owner);
        QSignalSpy chosen(popup, &TimePopup::chosen);
        popup->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
        popup->slider(0)->setValue(13);
        if (way == 0) {
            QTest::keyClick(popup->slider(0), Qt::Key_Escape);
        } else if (way == 1) {
            // A pop-up receives the press that lands outside it.
            QTest::mouseClick(popup, Qt::LeftButton, {}, QPoint(-20, -20));
        } else {
            QTest::mouseClick(popup->okButton(), Qt::LeftButton);
        }
        EXPECT_FALSE(popup->isVisible()) << way;
        if (way < 2) {
            EXPECT_EQ(chosen.count(), 0) << way;
        } else {
            ASSERT_EQ(chosen.count(), 1);
            EXPECT_EQ(chosen[0][0].toInt(), 13);
        }
        delete popup;
    }
}

TEST(Popups, ListPopupClosesOnEscapeWithoutAChoice) {
    QWidget owner;
    owner.show();
    auto* popup = new ListPopup({"01", "02"}, 1, 60, &owner);
    QSignalSpy chosen(popup, &ListPopup::chosen);
    popup->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
    QTest::keyClick(popup, Qt::Key_Escape);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(chosen.count(), 0);
    delete popup;
}

} // namespace
} // namespace kalder
