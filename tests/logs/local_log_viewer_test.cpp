// The local operation log viewer over a real ring file: order, ordinals, columns and printing.
#include "logs/local_log_rows.h"
#include "logs/local_log_viewer.h"
#include "ui/report_list.h"

#include "files/local_log.h"
#include "resources/resource_library.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace kalder {
namespace {

class LocalLogViewerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(loadResourceLibrary(KALDER_PROGRAM_DIR)); }
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_file = localLogFilePath(m_dir.path().toStdString());
    }
    void append(std::uint32_t kind, std::uint32_t event, std::uint32_t time, std::string user = {},
                std::string address = {}) {
        LocalLogRecord r;
        r.kind = kind;
        r.event = event;
        r.time = time;
        r.userId = std::move(user);
        r.address = std::move(address);
        ASSERT_TRUE(appendLocalLogRecord(m_file, r));
    }
    QTemporaryDir m_dir;
    std::filesystem::path m_file;
};

QStringList pdfPages(const QString& path) {
    QProcess p;
    p.start("pdftotext", {"-layout", path, "-"});
    if (!p.waitForFinished(60000))
        return {};
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split('\f');
    if (!pages.isEmpty() && pages.back().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

TEST_F(LocalLogViewerTest, ListsNewestFirstWithLogonColumnsOnly) {
    append(kLogKindProgram, kLogEventProgramStart, 1700000000, "ignored", "ignored");
    append(kLogKindLogon, kLogEventLogon, 1700000060, "Admin", "10.0.0.5");
    append(kLogKindSetupImage, kLogEventSetupSaved | kLogEventSnapshotSaved, 1700000120);
    append(kLogKindSetupImage, kLogEventSnapshotSaved, 0xFFFFFFF0u); // before 1970: shown as 0
    append(0x40, 1, 1700000180);                                     // no kind of ours
    append(kLogKindLocalPlay, 0x8, 1700000240);                      // no event of its kind
    LocalLogViewer viewer(m_file, 0);
    const ReportList& list = *viewer.list();
    ASSERT_EQ(list.rowCount(), 6);
    EXPECT_EQ(list.cellText(0, 0), "0006");
    EXPECT_EQ(list.cellText(0, 2), ""); // local play without one of its events
    EXPECT_EQ(list.cellText(1, 0), "0005");
    EXPECT_EQ(list.cellText(1, 2), "");
    EXPECT_EQ(list.cellText(2, 1), "1970-01-01 00:00:00");
    EXPECT_EQ(list.cellText(2, 2), resourceText(5368));
    EXPECT_EQ(list.cellText(3, 2), resourceText(5004)); // the lowest event bit decides
    EXPECT_EQ(list.cellText(4, 2), resourceText(5362));
    EXPECT_EQ(list.cellText(4, 3), "Admin");
    EXPECT_EQ(list.cellText(4, 4), "10.0.0.5");
    EXPECT_EQ(list.cellText(5, 0), "0001");
    EXPECT_EQ(list.cellText(5, 1), "2023-11-14 22:13:20");
    EXPECT_EQ(list.cellText(5, 3), ""); // only logon entries show user and address
    EXPECT_EQ(list.cellText(5, 4), "");
    EXPECT_FALSE(viewer.printButton()->accessibleName().isEmpty());
}

TEST_F(LocalLogViewerTest, ThirtyFourEntriesPrintOnTwoPagesWithSlotNumbers) {
    for (int i = 0; i < 34; ++i)
        append(kLogKindProgram, kLogEventProgramStart, 1700000000u + 60u * i);
    LocalLogViewer viewer(m_file, 2);
    EXPECT_EQ(viewer.list()->rowCount(), 34);
    const QString pdf = m_dir.filePath("local.pdf");
    ASSERT_TRUE(viewer.printToPdf(pdf));
    const QStringList pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 2);
    // Slot numbers, newest first: 0033 heads page 1, the oldest (slot 0000) is alone on page 2.
    EXPECT_TRUE(pages[0].contains("0033"));
    EXPECT_TRUE(pages[1].contains("0000"));
    EXPECT_FALSE(pages[1].contains("0001"));
    EXPECT_TRUE(QString(pages[1]).remove(' ').contains("-2/2-"));
    EXPECT_TRUE(pages[1].contains("14-11-2023 22:13:20")); // day first
}

TEST_F(LocalLogViewerTest, AfterWrappingListsTheNewest2500AndPrintsSlots) {
    for (std::uint32_t i = 0; i < kLocalLogSlotCount + 1; ++i)
        append(kLogKindProgram, kLogEventProgramStart, 1000000u + i);
    LocalLogViewer viewer(m_file, 0);
    const ReportList& list = *viewer.list();
    ASSERT_EQ(list.rowCount(), 2500);
    EXPECT_EQ(list.cellText(0, 0), "2500");
    EXPECT_EQ(list.cellText(2499, 0), "0001");
    EXPECT_EQ(list.cellText(0, 1), QString("1970-01-12 14:28:20")); // entry 2501
    const std::vector<LocalLogRecord> table = *readLocalLog(m_file);
    const auto printed = localLogPrintRows(table, 0);
    EXPECT_EQ(printed.front()[0], "0000"); // the newest entry overwrote slot 0
    EXPECT_EQ(printed[1][0], "2499");
    EXPECT_EQ(printed.back()[0], "0001");
}

TEST_F(LocalLogViewerTest, MissingFileListsAndPrintsNothing) {
    LocalLogViewer viewer(m_file, 0);
    EXPECT_EQ(viewer.list()->rowCount(), 0);
    EXPECT_FALSE(viewer.printToPdf(m_dir.filePath("none.pdf")));
}

// The message a finished or refused print leaves over the viewer, or null.
QMessageBox* printMessage() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w);
            box && box->isVisible() && box->objectName() == QStringLiteral("messageBox"))
            return box;
    return nullptr;
}

// Print with no printer on the system (the offscreen platform has none): Qt's print dialog
// opens, and what is chosen in it (here a PDF file) receives the pages; cancelled, the operator
// is told nothing was printed.
class LocalLogPrintDialogTest : public LocalLogViewerTest {
protected:
    void SetUp() override {
        LocalLogViewerTest::SetUp();
        if (!QPrinterInfo::defaultPrinter().isNull())
            GTEST_SKIP() << "this machine has a default printer";
        append(kLogKindProgram, kLogEventProgramStart, 1700000000);
        append(kLogKindLogon, kLogEventLogon, 1700000060, "Admin", "10.0.0.5");
    }
    QPrintDialog* pressPrint(LocalLogViewer& viewer) {
        viewer.show();
        QTest::mouseClick(viewer.printButton(), Qt::LeftButton);
        QPrintDialog* dialog = nullptr;
        // The dialog is window-modal over the viewer and does not block the GUI thread.
        const bool opened = QTest::qWaitFor(
            [&] {
                return (dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget()));
            },
            10000);
        return opened ? dialog : nullptr;
    }
};

TEST_F(LocalLogPrintDialogTest, PdfChosenInTheDialogReceivesThePages) {
    LocalLogViewer viewer(m_file, 0);
    QPrintDialog* dialog = pressPrint(viewer);
    ASSERT_NE(dialog, nullptr) << "no print dialog";
    auto* fileName = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
    ASSERT_NE(fileName, nullptr);
    const QString pdf = m_dir.filePath("chosen.pdf");
    fileName->setText(pdf);
    dialog->accept();

    QMessageBox* told = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (told = printMessage()); }, 30000));
    EXPECT_TRUE(told->text().contains(QStringLiteral("chosen.pdf"))) << told->text().toStdString();
    const QStringList pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].contains(resourceText(5360))) << pages[0].toStdString();
    EXPECT_TRUE(pages[0].contains(QStringLiteral("10.0.0.5")));
    told->close();
}

TEST_F(LocalLogPrintDialogTest, CancelledDialogSaysNothingWasPrinted) {
    LocalLogViewer viewer(m_file, 0);
    QPrintDialog* dialog = pressPrint(viewer);
    ASSERT_NE(dialog, nullptr) << "no print dialog";
    dialog->reject();
    QMessageBox* told = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (told = printMessage()); }, 10000));
    EXPECT_TRUE(told->text().contains(QStringLiteral("Nothing was printed")));
    EXPECT_TRUE(told->text().contains(QStringLiteral("no default printer")));
    told->close();
}

} // namespace
} // namespace kalder
