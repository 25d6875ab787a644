// The local operation log in the local search window's Log tab: built on the first choice of
// the tab in the window's panel place, the file read again on every later choice, the keys and
// the rights as for the rest of the window; removable media have no log.
#include "search_modes.h"

#include "files/local_log.h"
#include "local/local_search_window.h"
#include "logs/local_log_viewer.h"
#include "ui/report_list.h"
#include "resources/resource_library.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

class LocalLogMode : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(loadResourceLibrary(KALDER_PROGRAM_DIR)); }
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_file = localLogFilePath(m_dir.path().toStdString());
        m_downloads = std::filesystem::path(m_dir.path().toStdString()) / "Download";
    }
    void append(std::uint32_t kind, std::uint32_t event, std::string user = {},
                std::string address = {}) {
        LocalLogRecord r;
        r.kind = kind;
        r.event = event;
        r.time = 1700000000;
        r.userId = std::move(user);
        r.address = std::move(address);
        ASSERT_TRUE(appendLocalLogRecord(m_file, r));
    }
    QTemporaryDir m_dir;
    std::filesystem::path m_file;
    std::filesystem::path m_downloads;
};

TEST_F(LocalLogMode, LogTabListsTheLogInThePanelPlaceAndReadsItAgain) {
    append(kLogKindLogon, kLogEventLogon, "admin", "127.0.0.1");
    LocalSearchWindow w(m_downloads, false, 0, nullptr);
    installLocalLogMode(w, m_file, 0);
    w.show();
    EXPECT_EQ(w.findChild<LocalLogViewer*>(), nullptr); // nothing is read before the tab

    w.tabButton(LocalSearchWindow::Tab::Log)->click();
    EXPECT_EQ(w.currentTab(), LocalSearchWindow::Tab::Log);
    auto* viewer = w.findChild<LocalLogViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_FALSE(viewer->isWindow());
    EXPECT_EQ(viewer->mapTo(&w, QPoint(0, 0)), QPoint(197, 83));
    EXPECT_EQ(viewer->size(), QSize(403, 417));
    EXPECT_FALSE(w.panelWidget()->isVisible());
    ASSERT_EQ(viewer->list()->rowCount(), 1);
    EXPECT_EQ(viewer->list()->cellText(0, 2), resourceText(5362));
    EXPECT_EQ(viewer->list()->cellText(0, 3), "admin");
    EXPECT_EQ(viewer->list()->cellText(0, 4), "127.0.0.1");

    // Enter and Escape close neither the window nor the log.
    QTest::keyClick(viewer->list(), Qt::Key_Escape);
    QTest::keyClick(viewer->printButton(), Qt::Key_Return);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(viewer->isVisible());

    // Another entry meanwhile: the next choice of the tab shows it, in the same viewer.
    append(kLogKindLocalPlay, kLogEventLocalPlayStart);
    w.tabButton(LocalSearchWindow::Tab::Info)->click();
    EXPECT_FALSE(viewer->isVisible());
    w.tabButton(LocalSearchWindow::Tab::Log)->click();
    EXPECT_EQ(w.findChildren<LocalLogViewer*>().size(), 1);
    EXPECT_TRUE(viewer->isVisible());
    ASSERT_EQ(viewer->list()->rowCount(), 2);
    EXPECT_EQ(viewer->list()->cellText(0, 2), resourceText(5365));

    // Losing the search right takes the log away; getting it back returns to the search.
    w.rightsChanged(1);
    EXPECT_FALSE(viewer->isVisible());
    w.rightsChanged(2);
    EXPECT_EQ(w.currentTab(), LocalSearchWindow::Tab::Search);
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_TRUE(w.panelWidget()->isVisible());
}

TEST_F(LocalLogMode, RemovableMediaHaveNoLog) {
    append(kLogKindProgram, kLogEventProgramStart);
    LocalSearchWindow w(m_downloads, true, 0, nullptr);
    installLocalLogMode(w, m_file, 0);
    w.show();
    w.selectTab(LocalSearchWindow::Tab::Log);
    EXPECT_EQ(w.currentTab(), LocalSearchWindow::Tab::Search);
    EXPECT_EQ(w.logPanelArea(), nullptr);
    EXPECT_EQ(w.findChild<LocalLogViewer*>(), nullptr);
}

} // namespace
} // namespace kalder
