// The Rec tab's pages in the setup window on the offscreen platform: the wiring from the
// operator's controls to the rules and back to what the page shows.
#include "setup/model/motion_area_page.h"
#include "setup/model/schedule_page.h"
#include "setup/pages/assignment_page_widget.h"
#include "setup/pages/cell_grid_widget.h"
#include "setup/pages/link_page_widget.h"
#include "setup/pages/motion_area_page_widget.h"
#include "setup/pages/profile_page_widget.h"
#include "setup/pages/recording_page_widget.h"
#include "setup/pages/region_page_widget.h"
#include "setup/pages/schedule_page_widget.h"
#include "setup/setup_choosers.h"
#include "setup/setup_window.h"
#include "tests/support/accessible_name.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace kalder {
namespace {

class RecPagesWindowTest : public ::testing::Test {
protected:
    void open(unsigned channels, std::uint8_t subMajor = 0, std::uint8_t subMinor = 1) {
        m_context.version = m_record.version();
        m_context.channelNum = channels;
        m_context.subProductMajor = subMajor;
        m_context.subProductMinor = subMinor;
        m_window = std::make_unique<SetupWindow>(m_record, m_context);
        m_window->show();
        m_window->showTab(SetupWindow::Tab::Rec);
    }
    template <typename Page> Page* openPage(const QString& caption) {
        const int item = m_window->menuItems(SetupWindow::Tab::Rec).indexOf(caption);
        EXPECT_GE(item, 0) << caption.toStdString();
        m_window->openPage(item);
        return dynamic_cast<Page*>(m_window->currentPage());
    }
    void choose(int entry) {
        auto* chooser = dynamic_cast<ListChooser*>(m_window->chooser());
        ASSERT_NE(chooser, nullptr);
        QTest::mouseClick(chooser->findChild<QPushButton*>(QStringLiteral("choice%1").arg(entry)),
                          Qt::LeftButton);
    }
    // Every visible control of the open page answers to a name.
    void expectAccessibleNames() {
        for (QWidget* w : m_window->currentPage()->findChildren<QWidget*>()) {
            if (!w->isVisible())
                continue;
            if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QSlider*>(w) ||
                qobject_cast<QLineEdit*>(w) || dynamic_cast<CellGridWidget*>(w)) {
                EXPECT_FALSE(test::accessibleNameOf(w).isEmpty())
                    << w->metaObject()->className() << " " << w->objectName().toStdString();
            }
        }
    }
    void screenshot(const char* name) {
        if (const char* dir = std::getenv("KALDER_SCREENSHOT_DIR"))
            m_window->grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
    }
    void setRates(const char* field, std::vector<unsigned> rates) {
        for (unsigned ch = 0; ch < rates.size(); ++ch)
            m_record.setValue(*findConfigField(field), ch, rates[ch]);
    }

    ConfigRecord m_record = ConfigRecord::fromRecordBytes(std::vector<std::byte>(8176));
    SetupContext m_context;
    std::unique_ptr<SetupWindow> m_window;
};

TEST_F(RecPagesWindowTest, RateSlidersKeepTheBudgetAndAudioFollowsTheRate) {
    m_record.setValue(configField("video_standard"), 0, 1); // PAL
    setRates("profile_a_rate", {7, 6, 6, 6});
    for (unsigned ch = 0; ch < 4; ++ch)
        m_record.setValue(configField("profile_a_audio"), ch, 1);
    open(4);
    auto* page = openPage<ProfilePageWidget>("Continuous");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->view(), ProfileView::Resolution);
    page->viewButton(ProfileView::Rate)->click();
    // The budget line: 100 PAL units, 25 images of 4CIF in use, all of it.
    ASSERT_NE(page->budgetLabel(), nullptr);
    EXPECT_TRUE(page->budgetLabel()->isVisible());
    EXPECT_TRUE(page->budgetLabel()->text().startsWith("Used 100 of 100"))
        << page->budgetLabel()->text().toStdString();
    page->slider(0)->setValue(25);
    EXPECT_EQ(page->slider(0)->value(), 7);
    EXPECT_EQ(page->valueLabel(0)->text(), "7 IPS");
    // The cut is explained on the page.
    EXPECT_TRUE(page->budgetLabel()->text().contains("CH01 set to 7 instead of 25"))
        << page->budgetLabel()->text().toStdString();
    page->checkBox(0)->click();
    page->checkBox(1)->click();
    page->slider(0)->setValue(25);
    EXPECT_EQ(m_record.value(configField("profile_a_rate"), 1), 6u);
    EXPECT_EQ(page->slider(1)->value(), 6);
    expectAccessibleNames();
    screenshot("rec-profile-a-rate");

    // A view switch clears the boxes; a rate of 0 turns the channel's audio off for good.
    page->viewButton(ProfileView::Audio)->click();
    EXPECT_FALSE(page->checkBox(0)->isChecked());
    page->viewButton(ProfileView::Rate)->click();
    EXPECT_FALSE(page->budgetLabel()->text().contains("instead of")); // gone with the switch
    page->slider(2)->setValue(0);
    EXPECT_EQ(m_record.value(configField("profile_a_audio"), 2), 0u);
    page->viewButton(ProfileView::Audio)->click();
    EXPECT_FALSE(page->onButton(2)->isEnabled());
    EXPECT_TRUE(page->offButton(2)->isChecked());
    page->offButton(3)->click();
    EXPECT_EQ(m_record.value(configField("profile_a_audio"), 3), 0u);
    screenshot("rec-profile-a-audio");

    // The resolution buttons of the first row give the default distribution.
    page->viewButton(ProfileView::Resolution)->click();
    page->resolutionButton(1)->click();
    EXPECT_EQ(m_record.value(configField("profile_a_rate"), 0), 13u);
    EXPECT_EQ(m_record.value(configField("resolution"), 3), 1u);
    EXPECT_TRUE(page->resolutionButton(1)->isChecked());
    expectAccessibleNames();
}

TEST_F(RecPagesWindowTest, GroupedModeHidesTheBoxesOfTheRateView) {
    for (unsigned ch = 0; ch < 16; ++ch)
        m_record.setValue(configField("resolution"), 16 * 4 + ch, 2); // profile E: CIF
    setRates("profile_e_rate", {10, 10, 10, 10, 10, 10, 10, 10});
    open(8, 0, 0);
    auto* page = openPage<ProfilePageWidget>("Motion + Alarm");
    ASSERT_NE(page, nullptr);
    page->setView(ProfileView::Rate);
    EXPECT_FALSE(page->checkBox(0)->isVisible());
    EXPECT_FALSE(page->allCheckButton()->isVisible());
    page->slider(5)->setValue(30);
    for (unsigned ch = 4; ch < 8; ++ch)
        EXPECT_EQ(page->slider(ch)->value(), 20) << ch;
    EXPECT_EQ(page->slider(3)->value(), 10);
    screenshot("rec-profile-e-grouped");
    // The sensitivity view shows the boxes again and takes them.
    page->setView(ProfileView::Sensitivity);
    EXPECT_TRUE(page->checkBox(0)->isVisible());
    page->allCheckButton()->click();
    page->slider(0)->setValue(0);
    EXPECT_EQ(m_record.value(configField("profile_e_sensitivity"), 7), 2u);
    EXPECT_EQ(page->slider(7)->value(), 1);
    expectAccessibleNames();
}

TEST_F(RecPagesWindowTest, ScheduleAndMotionAreaAreSubPagesWithRubberBands) {
    open(4);
    auto* d = openPage<ProfilePageWidget>("Schedule");
    ASSERT_NE(d, nullptr);
    d->extraButton()->click();
    auto* schedule = dynamic_cast<SchedulePageWidget*>(d->subPage());
    ASSERT_NE(schedule, nullptr);
    CellGridWidget* grid = schedule->grid();
    grid->press({60, 20}); // Monday, 01:00
    grid->release({62, 21});
    EXPECT_EQ(scheduleCell(m_record, 1, 1), 1u);
    grid->press({110, 30}); // Tuesday 02:00 .. Thursday 05:00
    grid->drag({180, 60});
    grid->release({210, 80});
    EXPECT_EQ(scheduleCell(m_record, 4, 5), 1u);
    EXPECT_EQ(scheduleCell(m_record, 5, 5), 0u);
    expectAccessibleNames();
    screenshot("rec-schedule");
    schedule->findChild<QPushButton*>("button483")->click();
    QTest::qWait(0);
    EXPECT_EQ(d->subPage(), nullptr);

    auto* c = openPage<ProfilePageWidget>("Motion");
    ASSERT_NE(c, nullptr);
    c->extraButton()->click();
    auto* motion = dynamic_cast<MotionAreaPageWidget*>(c->subPage());
    ASSERT_NE(motion, nullptr);
    motion->findChild<QPushButton*>("channel3")->click();
    EXPECT_EQ(motion->channel(), 2u);
    motion->grid()->press({0, 0});
    motion->grid()->drag({100, 100});
    motion->grid()->release({100, 100});
    EXPECT_TRUE(motionCell(m_record, 2, 2, 2));
    EXPECT_FALSE(motionCell(m_record, 2, 3, 3));
    EXPECT_FALSE(motionCell(m_record, 0, 0, 0));
    expectAccessibleNames();
    screenshot("rec-motion-area");
}

// Page C of a sub-product-4 recorder: in the Rate view 482 switches between the C and E rates;
// any other view returns it to C, and there 482 opens the motion area.
TEST_F(RecPagesWindowTest, PageCSwitchesBetweenCAndERates) {
    setRates("profile_c_rate", {3, 3, 3, 3});
    setRates("profile_e_rate", {5, 5, 5, 5});
    open(4, 4);
    auto* c = openPage<ProfilePageWidget>("Motion");
    ASSERT_NE(c, nullptr);
    c->setView(ProfileView::Rate);
    EXPECT_EQ(c->slider(0)->value(), 3);
    c->extraButton()->click();
    EXPECT_TRUE(c->showingE());
    EXPECT_EQ(c->slider(0)->value(), 5);
    c->slider(1)->setValue(9);
    EXPECT_EQ(m_record.value(configField("profile_e_rate"), 1), 9u);
    EXPECT_EQ(m_record.value(configField("profile_c_rate"), 1), 3u);
    screenshot("rec-profile-c-e-rates");
    c->setView(ProfileView::Audio);
    EXPECT_FALSE(c->showingE());
    c->extraButton()->click();
    EXPECT_NE(dynamic_cast<MotionAreaPageWidget*>(c->subPage()), nullptr);
}

TEST_F(RecPagesWindowTest, ProfileScheduleOpensFromTheMenu) {
    m_record.setValue(configField("schedule"), 3, 7);
    open(4, 4);
    auto* d = openPage<ProfilePageWidget>("Schedule");
    ASSERT_NE(d, nullptr);
    auto* schedule = dynamic_cast<SchedulePageWidget*>(d->subPage());
    ASSERT_NE(schedule, nullptr);
    EXPECT_EQ(scheduleCell(m_record, 0, 3), 3u); // brought within range on opening
    EXPECT_EQ(schedule->findChild<QPushButton*>("button483")->text(), "Motion+Normal");
    schedule->findChild<QPushButton*>("button482")->click();
    schedule->grid()->press({10, 10});
    schedule->grid()->drag({340, 10});
    schedule->grid()->release({340, 10});
    for (unsigned day = 0; day < 7; ++day)
        EXPECT_EQ(scheduleCell(m_record, day, 0), 2u);
    screenshot("rec-schedule-profiles");
    expectAccessibleNames();
}

TEST_F(RecPagesWindowTest, RecordingPageRowsChoosersAndRegion) {
    m_record.setValue(configField("record_major_ver"), 0, 4);
    m_record.setValue(configField("record_minor_ver"), 0, 2);
    m_record.setValue(configField("rec_time_2"), 0, 30);
    m_record.setValue(configField("rec_resolution"), 0, 2);
    open(16);
    auto* page = openPage<RecordingPageWidget>("Recording");
    ASSERT_NE(page, nullptr);
    page->valueButton(RecordingRow::Resolution)->click();
    choose(0); // 4CIF: 120 / 4 / 16
    EXPECT_EQ(m_record.value(configField("rec_rate")), 1u);
    EXPECT_EQ(page->valueButton(RecordingRow::Rate)->text(), "1 IPS");
    page->valueButton(RecordingRow::Channel)->click();
    EXPECT_EQ(dynamic_cast<ListChooser*>(m_window->chooser())->entryCount(), 16);
    choose(15);
    EXPECT_EQ(page->valueButton(RecordingRow::Channel)->text(), "CH16");
    page->flagButton(1, true)->click();
    EXPECT_EQ(m_record.value(configField("rec_flag_1")), 1u);
    EXPECT_EQ(page->valueButton(RecordingRow::Time2)->text(), "30");
    page->valueButton(RecordingRow::Time2)->click();
    auto* number = dynamic_cast<NumberChooser*>(m_window->chooser());
    ASSERT_NE(number, nullptr);
    number->step(-25); // kept within 10 .. 240
    number->findChild<QPushButton*>("chooserOk")->click();
    EXPECT_EQ(m_record.value(configField("rec_time_2")), 10u);
    EXPECT_EQ(page->valueButton(RecordingRow::Time2)->text(), "10");
    expectAccessibleNames();
    screenshot("rec-recording");

    page->regionButton()->click();
    auto* region = dynamic_cast<RegionPageWidget*>(page->subPage());
    ASSERT_NE(region, nullptr);
    region->drawRegion({8, 4}, {40, 20});
    EXPECT_EQ(region->edgesLabel()->text(), "LEFT: 2    RIGHT: 10    TOP: 1    BOTTOM: 5");
    EXPECT_EQ(m_record.value(configField("area_right"), 0), 10u);
    expectAccessibleNames();
    screenshot("rec-region");
}

TEST_F(RecPagesWindowTest, NewerRecordsShowFourRowsAndSubProductTwoNoRegion) {
    m_record.setValue(configField("record_major_ver"), 0, 5);
    open(4, 2);
    auto* page = openPage<RecordingPageWidget>("Recording");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->valueButton(RecordingRow::Resolution), nullptr);
    EXPECT_EQ(page->flagButton(1, true), nullptr);
    EXPECT_NE(page->flagButton(2, true), nullptr);
    EXPECT_EQ(page->regionButton(), nullptr);
}

TEST_F(RecPagesWindowTest, LinkAndAssignmentPagesWriteThroughTheirChoosers) {
    m_record.setValue(configField("record_major_ver"), 0, 4);
    m_record.setValue(configField("record_minor_ver"), 0, 1);
    open(4);
    auto* b = openPage<ProfilePageWidget>("Alarm");
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b->extraButton(), nullptr);
    b->extraButton()->click();
    auto* links = dynamic_cast<LinkPageWidget*>(b->subPage());
    ASSERT_NE(links, nullptr);
    links->sourceButton(0)->click();
    choose(5);
    links->sourceButton(1)->click();
    choose(5); // held by link 1: nothing changes
    EXPECT_EQ(links->sourceButton(0)->text(), "Sensor 5");
    EXPECT_EQ(links->sourceButton(1)->text(), "None");
    links->valueEdit(2)->clear();
    QTest::keyClicks(links->valueEdit(2), "15");
    EXPECT_EQ(m_record.value(configField("link_value"), 2), 15u);
    QTest::keyClicks(links->valueEdit(2), "00");
    EXPECT_EQ(m_record.value(configField("link_value"), 2), 1u); // 1500 is stored as 1
    emit links->valueEdit(2)->editingFinished();
    EXPECT_EQ(links->valueEdit(2)->text(), "1");
    expectAccessibleNames();
    screenshot("rec-link");

    for (unsigned row = 0; row < 5; ++row)
        m_record.setValue(configField("output_assign"), row, row);
    auto* assign = openPage<AssignmentPageWidget>("Assignment");
    ASSERT_NE(assign, nullptr);
    assign->rowButton(2)->click();
    choose(0); // profile A, which row 1 held
    EXPECT_EQ(assign->rowButton(0)->text(), "None");
    EXPECT_EQ(assign->rowButton(2)->text(), "Continuous");
    expectAccessibleNames();
    screenshot("rec-assignment");

    // Record version 4.0: no link page.
    m_record.setValue(configField("record_minor_ver"), 0, 0);
    open(4);
    b = openPage<ProfilePageWidget>("Alarm");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->extraButton(), nullptr);
}

TEST_F(RecPagesWindowTest, ProfileFViewsAndDays) {
    for (unsigned ch = 0; ch < 4; ++ch)
        m_record.setValue(configField("block_f_on_1"), ch, ch == 0 ? 1 : 0);
    open(4);
    auto* f = openPage<ProfilePageWidget>("Archive");
    ASSERT_NE(f, nullptr);
    f->setView(ProfileView::SecondOnOff);
    EXPECT_TRUE(f->onButton(0)->isEnabled());
    EXPECT_FALSE(f->onButton(1)->isEnabled());
    f->onButton(0)->click();
    EXPECT_EQ(m_record.value(configField("block_f_on_2"), 0), 1u);
    f->setView(ProfileView::Days);
    f->daysSlider()->setValue(89);
    EXPECT_EQ(m_record.value(configField("block_f_days")), 85u);
    EXPECT_EQ(f->daysSlider()->value(), 85);
    expectAccessibleNames();
    screenshot("rec-profile-f-days");
}

} // namespace
} // namespace kalder
