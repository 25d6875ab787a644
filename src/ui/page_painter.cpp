#include "ui/page_painter.h"

#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

namespace kalder {

namespace {

// Twips to device pixels; y grows downwards on the device, upwards in the layout.
struct TwipMap {
    double sx;
    double sy;
    QRectF rect(int left, int top, int right, int bottom) const {
        return QRectF(QPointF(left * sx, -top * sy), QPointF(right * sx, -bottom * sy));
    }
};

QFont listFont(int heightTwips, const TwipMap& map, bool heavy) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, static_cast<int>(heightTwips * map.sy + 0.5)));
    font.setBold(true);
    font.setWeight(heavy ? QFont::Bold : QFont::DemiBold);
    return font;
}

} // namespace

bool PagePainter::paint(QPagedPaintDevice& device, const std::vector<PrintRow>& rows) const {
    const std::size_t pages = pageCount(rows.size());
    if (pages == 0)
        return false;
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const TwipMap map{device.logicalDpiX() / 1440.0, device.logicalDpiY() / 1440.0};
    const PrintLayout& l = m_layout;
    QPen pen(Qt::black);
    pen.setStyle(Qt::SolidLine);
    pen.setWidthF(std::max(1.0, l.penWidth * map.sx));
    const QFont titleFont = listFont(l.titleFontHeight, map, true);
    const QFont rowFont = listFont(l.rowFontHeight, map, false);
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;

    for (std::size_t page = 0; page < pages; ++page) {
        if (page > 0 && !device.newPage()) {
            // A printer's document is abandoned, not ended, when a page fails.
            if (auto* printer = dynamic_cast<QPrinter*>(&device))
                printer->abort();
            painter.end();
            return false;
        }
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const QRectF title = map.rect(l.titleBox[0], l.titleBox[1], l.titleBox[2], l.titleBox[3]);
        painter.drawRect(title);
        painter.setFont(titleFont);
        painter.drawText(title, flags, l.title);

        painter.setFont(rowFont);
        const std::size_t first = page * kRowsPerPage;
        const std::size_t last = std::min(rows.size(), first + kRowsPerPage);
        for (std::size_t i = first; i < last; ++i) {
            const int top = l.firstRowTop - static_cast<int>(i - first) * l.rowHeight;
            for (std::size_t c = 0; c < 5; ++c) {
                const QRectF cell =
                    map.rect(l.columnEdges[c], top, l.columnEdges[c + 1], top - l.rowHeight);
                painter.drawRect(cell);
                if (!rows[i][c].isEmpty())
                    painter.drawText(cell, flags, rows[i][c]);
            }
        }
        const QRectF footer =
            map.rect(l.footerBox[0], l.footerBox[1], l.footerBox[2], l.footerBox[3]);
        painter.drawText(
            footer, flags,
            QString::asprintf("- %d / %d -", static_cast<int>(page + 1), static_cast<int>(pages)));
    }
    return painter.end();
}

bool PagePainter::printToDefaultPrinter(const std::vector<PrintRow>& rows) const {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull() || rows.empty())
        return false;
    QPrinter printer(info, QPrinter::HighResolution);
    return print(printer, rows);
}

bool PagePainter::print(QPrinter& printer, const std::vector<PrintRow>& rows) const {
    if (rows.empty())
        return false;
    printer.setDocName(m_layout.documentName);
    printer.setFullPage(false);
    return paint(printer, rows);
}

bool PagePainter::writePdf(const QString& path, const std::vector<PrintRow>& rows) const {
    if (rows.empty())
        return false;
    QPdfWriter writer(path);
    writer.setTitle(m_layout.documentName);
    writer.setResolution(1440);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    return paint(writer, rows);
}

} // namespace kalder
