// Draws the default idle and video-loss pictures of the video window's cells, ComMark.bmp and
// VdoLoss.bmp, into the program folder. A site replaces them by putting its own files in the
// working folder.
//
//   kalder_make_cell_pictures <output folder>
//
// Drawn with QImage and QPainter's raster engine only (no fonts, no platform plugin), so the
// output is the same on every machine. Both pictures keep their content inside a frame of 12
// pixels at the left, top and right and 8 at the bottom, which the planar drawing path leaves
// out.

#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygon>

#include <cstdio>

namespace {

constexpr int kWidth = 360;
constexpr int kHeight = 240;

// A camera: body, lens and a small viewfinder, centred at (cx, cy).
void drawCamera(QPainter& painter, int cx, int cy, const QColor& colour) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRect(cx - 50, cy - 28, 76, 56), 8, 8);
    painter.drawPolygon(QPolygon({QPoint(cx + 28, cy - 10), QPoint(cx + 56, cy - 26),
                                  QPoint(cx + 56, cy + 26), QPoint(cx + 28, cy + 10)}));
    painter.setBrush(colour.darker(250));
    painter.drawEllipse(QPoint(cx - 12, cy), 16, 16);
    painter.setBrush(colour);
    painter.drawEllipse(QPoint(cx - 12, cy), 7, 7);
}

QImage picture(const QColor& top, const QColor& bottom, const QColor& mark, bool crossed) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(QColor(40, 44, 52));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRect inner(12, 12, kWidth - 24, kHeight - 20);
    QLinearGradient gradient(inner.topLeft(), inner.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.fillRect(inner, gradient);
    drawCamera(painter, kWidth / 2, kHeight / 2 + 2, mark);
    if (crossed) {
        painter.setPen(QPen(QColor(230, 70, 60), 9, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(kWidth / 2 - 62, kHeight / 2 - 48, kWidth / 2 + 62, kHeight / 2 + 52);
    }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kalder_make_cell_pictures <output folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QImage idle =
        picture(QColor(52, 64, 86), QColor(24, 30, 42), QColor(120, 140, 175), false);
    const QImage videoLoss =
        picture(QColor(70, 40, 44), QColor(30, 18, 22), QColor(150, 120, 125), true);
    if (!idle.save(folder.filePath(QStringLiteral("ComMark.bmp")), "BMP") ||
        !videoLoss.save(folder.filePath(QStringLiteral("VdoLoss.bmp")), "BMP")) {
        std::fprintf(stderr, "kalder_make_cell_pictures: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
