// The printed list read back from its PDF: pages, rows per page, footers, empty cells.
#include "ui/page_painter.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kalder {
namespace {

// The PDF places the footer's glyphs without blank characters; compare without blanks.
bool hasFooter(const QString& page, const char* footer) {
    return QString(page).remove(' ').contains(QString(footer).remove(' '));
}

// The text of every page (pdftotext ends each page with a form feed).
QStringList pdfPages(const QString& path) {
    QProcess p;
    p.start("pdftotext", {"-layout", path, "-"});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split('\f');
    if (!pages.isEmpty() && pages.back().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

std::vector<PrintRow> rows(int count) {
    std::vector<PrintRow> out;
    for (int i = count; i >= 1; --i)
        out.push_back({QString::asprintf("R%05d", i), "2026-01-02 03:04:05", "Motion",
                       i % 2 ? QString() : QString("ADMIN"), "01 02 "});
    return out;
}

PrintLayout layout() {
    PrintLayout l;
    l.documentName = "Remote Log All";
    l.title = "Remote Log";
    return l;
}

TEST(PagePainter, ThirtyFourRowsMakeTwoPagesWithFooters) {
    QTemporaryDir dir;
    const QString path = dir.filePath("list.pdf");
    ASSERT_TRUE(PagePainter(layout()).writePdf(path, rows(34)));
    const QStringList pages = pdfPages(path);
    ASSERT_EQ(pages.size(), 2);
    EXPECT_EQ(pages[0].count(QRegularExpression("R\\d{5}")), 33);
    EXPECT_EQ(pages[1].count(QRegularExpression("R\\d{5}")), 1);
    EXPECT_TRUE(hasFooter(pages[0], "- 1 / 2 -"));
    EXPECT_TRUE(hasFooter(pages[1], "- 2 / 2 -"));
    EXPECT_TRUE(pages[0].contains("Remote Log"));
    EXPECT_TRUE(pages[1].contains("Remote Log"));
    // Rows keep list order: the first row on top, the last alone on page 2.
    EXPECT_LT(pages[0].indexOf("R00034"), pages[0].indexOf("R00033"));
    EXPECT_TRUE(pages[1].contains("R00001"));
    // Only even rows carry a source; an empty cell prints nothing.
    EXPECT_EQ(pages[0].count("ADMIN"), 17); // rows 34, 32, ... 2
}

TEST(PagePainter, PageCountsAndNoRows) {
    EXPECT_EQ(PagePainter::pageCount(0), 0u);
    EXPECT_EQ(PagePainter::pageCount(33), 1u);
    EXPECT_EQ(PagePainter::pageCount(34), 2u);
    EXPECT_EQ(PagePainter::pageCount(2500), 76u);
    QTemporaryDir dir;
    const QString path = dir.filePath("empty.pdf");
    EXPECT_FALSE(PagePainter(layout()).writePdf(path, {}));
    EXPECT_FALSE(QFile::exists(path));
    QTemporaryDir other;
    const QString full = other.filePath("full.pdf");
    ASSERT_TRUE(PagePainter(layout()).writePdf(full, rows(66)));
    const QStringList pages = pdfPages(full);
    ASSERT_EQ(pages.size(), 2);
    EXPECT_TRUE(hasFooter(pages[1], "- 2 / 2 -"));
}

} // namespace
} // namespace kalder
