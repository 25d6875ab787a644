// Draws the desktop program's own pictures into the program folder: the main window's logo
// LogoD.bmp (a site replaces it by putting its own file in the working folder) and the program
// icon kalder.png (the window icon and the desktop entry's icon).
//
//   kalder_make_program_pictures <output folder>
//   kalder_make_program_pictures --theme-icons <icon theme folder>   (the icon in every size)
//
// QImage and QPainter's raster engine only (no fonts, no platform plugin), so the output is the
// same on every machine.

#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cstdio>
#include <cstring>

namespace {

// The mark: a camera lens (rings around a dark pupil with a highlight) in a rounded square.
void drawMark(QPainter& painter, const QRectF& box) {
    const qreal s = box.width();
    QLinearGradient back(box.topLeft(), box.bottomLeft());
    back.setColorAt(0, QColor(64, 104, 168));
    back.setColorAt(1, QColor(22, 38, 74));
    painter.setPen(QPen(QColor(150, 178, 226), s / 32));
    painter.setBrush(back);
    painter.drawRoundedRect(box.adjusted(s / 32, s / 32, -s / 32, -s / 32), s / 5, s / 5);
    const QPointF c = box.center();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 214, 236));
    painter.drawEllipse(c, s * 0.34, s * 0.34);
    painter.setBrush(QColor(34, 50, 86));
    painter.drawEllipse(c, s * 0.27, s * 0.27);
    QRadialGradient pupil(c, s * 0.2);
    pupil.setColorAt(0, QColor(80, 200, 120));
    pupil.setColorAt(1, QColor(12, 60, 40));
    painter.setBrush(pupil);
    painter.drawEllipse(c, s * 0.18, s * 0.18);
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawEllipse(c + QPointF(-s * 0.07, -s * 0.07), s * 0.05, s * 0.05);
}

// The logo: the mark and four bars of rising height (a signal), on the frame's top band colour.
QImage logo() {
    QImage image(150, 36, QImage::Format_RGB32);
    image.fill(QColor(28, 40, 66));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    drawMark(painter, QRectF(2, 2, 32, 32));
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        const int h = 8 + i * 7;
        painter.setBrush(QColor(120 + i * 30, 170 + i * 15, 230));
        painter.drawRoundedRect(QRectF(44 + i * 13, 32 - h, 9, h), 2, 2);
    }
    painter.setBrush(QColor(150, 178, 226));
    painter.drawRect(QRectF(98, 30, 48, 2));
    return image;
}

QImage icon(int sizePx) {
    QImage image(sizePx, sizePx, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    drawMark(painter, QRectF(0, 0, sizePx, sizePx));
    return image;
}

// The icon drawn at each size of the desktop's icon theme, as the theme's folders hold it:
// <folder>/NxN/apps/kalder.png.
bool writeThemeIcons(const QDir& folder) {
    for (const int sizePx : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString sub = QStringLiteral("%1x%1/apps").arg(sizePx);
        if (!folder.mkpath(sub) ||
            !icon(sizePx).save(folder.filePath(sub + QStringLiteral("/kalder.png")), "PNG"))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const bool themeIcons = argc == 3 && std::strcmp(argv[1], "--theme-icons") == 0;
    if (argc != 2 && !themeIcons) {
        std::fprintf(stderr,
                     "usage: kalder_make_program_pictures [--theme-icons] <output folder>\n");
        return 2;
    }
    const char* out = argv[argc - 1];
    const QDir folder(QString::fromLocal8Bit(out));
    const bool written =
        themeIcons ? writeThemeIcons(folder)
                   : logo().save(folder.filePath(QStringLiteral("LogoD.bmp")), "BMP") &&
                         icon(128).save(folder.filePath(QStringLiteral("kalder.png")), "PNG");
    if (!written) {
        std::fprintf(stderr, "kalder_make_program_pictures: cannot write into %s\n", out);
        return 1;
    }
    return 0;
}
