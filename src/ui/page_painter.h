#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <vector>

class QPagedPaintDevice;
class QPrinter;

namespace kalder {

// A printed list: a title box, a grid of five columns and 33 rows a page, and the footer
// "- page / pages -". Positions are in twips (1/1440 inch) from the printable area's top left
// corner with y growing upwards, so every y is negative. The log lists print with it, to the
// default printer or (for tests and previews) to a PDF file.
struct PrintLayout {
    QString documentName;
    QString title;
    // Title box: left, top, right, bottom.
    std::array<int, 4> titleBox{3200, -900, 8200, -1400};
    // Six edges of the five columns.
    std::array<int, 6> columnEdges{400, 1150, 3300, 5150, 6300, 11000};
    int firstRowTop = -1800;
    int rowHeight = 400;
    std::array<int, 4> footerBox{5000, -15500, 7000, -15700};
    int titleFontHeight = 400;
    int rowFontHeight = 200;
    int penWidth = 5;
};

using PrintRow = std::array<QString, 5>;

class PagePainter {
public:
    static constexpr std::size_t kRowsPerPage = 33;

    explicit PagePainter(PrintLayout layout) : m_layout(std::move(layout)) {}

    static std::size_t pageCount(std::size_t rows) {
        return (rows + kRowsPerPage - 1) / kRowsPerPage;
    }

    // Paints every page onto `device`, already set up (page size, resolution). False when a
    // page could not be started or painting failed; nothing is painted for no rows.
    bool paint(QPagedPaintDevice& device, const std::vector<PrintRow>& rows) const;

    // `printer` as it is set up (a printer or a PDF file), with the list's document name. Blocks
    // while the job is spooled: call it off the GUI thread.
    bool print(QPrinter& printer, const std::vector<PrintRow>& rows) const;

    // The system's default printer, without a dialog. False, with nothing printed, when there
    // is no default printer or no rows. Blocks while the job is spooled: call it off the GUI
    // thread.
    bool printToDefaultPrinter(const std::vector<PrintRow>& rows) const;

    // The same pages as a PDF file (A4, no margins). False when nothing was written.
    bool writePdf(const QString& path, const std::vector<PrintRow>& rows) const;

    const PrintLayout& layout() const { return m_layout; }

private:
    PrintLayout m_layout;
};

} // namespace kalder
