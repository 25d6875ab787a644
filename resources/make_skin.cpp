// Builds the contents of the resource library: checks and copies the text table, draws every
// skin picture and writes the .qrc that rcc turns into KalderRes.rcc.
//
//   kalder_make_skin <output folder> <text table>
//
// Drawing uses QImage and QPainter's raster engine only (no platform plugin, no fonts): captions
// and clock digits come from the small pixel font below, so the output is the same on every
// machine.

#include "resources/resource_ids.h"
#include "resources/skin_colours.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace kalder::res;

// ---- pixel font: 5 x 7 glyphs, '#' set ---------------------------------------------------------

struct Glyph {
    char ch;
    const char* rows[7];
};

constexpr Glyph kFont[] = {
    {'0', {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "}},
    {'1', {"  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'2', {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"}},
    {'3', {"#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "}},
    {'4', {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "}},
    {'5', {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "}},
    {'6', {"  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "}},
    {'7', {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "}},
    {'8', {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "}},
    {'9', {" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "}},
    {'A', {" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'B', {"#### ", "#   #", "#   #", "#### ", "#   #", "#   #", "#### "}},
    {'C', {" ### ", "#   #", "#    ", "#    ", "#    ", "#   #", " ### "}},
    {'D', {"#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "}},
    {'E', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"}},
    {'F', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#    "}},
    {'G', {" ### ", "#   #", "#    ", "# ###", "#   #", "#   #", " ####"}},
    {'H', {"#   #", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'I', {" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'J', {"  ###", "   # ", "   # ", "   # ", "   # ", "#  # ", " ##  "}},
    {'K', {"#   #", "#  # ", "# #  ", "##   ", "# #  ", "#  # ", "#   #"}},
    {'L', {"#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"}},
    {'M', {"#   #", "## ##", "# # #", "# # #", "#   #", "#   #", "#   #"}},
    {'N', {"#   #", "#   #", "##  #", "# # #", "#  ##", "#   #", "#   #"}},
    {'O', {" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'P', {"#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "}},
    {'Q', {" ### ", "#   #", "#   #", "#   #", "# # #", "#  # ", " ## #"}},
    {'R', {"#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"}},
    {'S', {" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "}},
    {'T', {"#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "}},
    {'U', {"#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'V', {"#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "}},
    {'W', {"#   #", "#   #", "#   #", "# # #", "# # #", "# # #", " # # "}},
    {'X', {"#   #", "#   #", " # # ", "  #  ", " # # ", "#   #", "#   #"}},
    {'Y', {"#   #", "#   #", " # # ", "  #  ", "  #  ", "  #  ", "  #  "}},
    {'Z', {"#####", "    #", "   # ", "  #  ", " #   ", "#    ", "#####"}},
    {':', {"     ", "  #  ", "  #  ", "     ", "  #  ", "  #  ", "     "}},
    {'-', {"     ", "     ", "     ", "#####", "     ", "     ", "     "}},
    {'_', {"     ", "     ", "     ", "     ", "     ", "     ", "#####"}},
    {' ', {"     ", "     ", "     ", "     ", "     ", "     ", "     "}},
};

const Glyph* findGlyph(char ch) {
    for (const Glyph& g : kFont)
        if (g.ch == ch)
            return &g;
    return nullptr;
}

constexpr int kGlyphW = 5, kGlyphH = 7;

// Width of `text` in pixels at `scale`, one scaled pixel between glyphs.
int textWidth(std::string_view text, int scale) {
    if (text.empty())
        return 0;
    return int(text.size()) * (kGlyphW + 1) * scale - scale;
}

void drawText(QImage& img, int x, int y, std::string_view text, QColor colour, int scale = 1) {
    for (char ch : text) {
        if (const Glyph* g = findGlyph(ch)) {
            for (int r = 0; r < kGlyphH; ++r)
                for (int c = 0; c < kGlyphW; ++c)
                    if (g->rows[r][c] == '#')
                        for (int dy = 0; dy < scale; ++dy)
                            for (int dx = 0; dx < scale; ++dx) {
                                const int px = x + c * scale + dx, py = y + r * scale + dy;
                                if (img.rect().contains(px, py))
                                    img.setPixelColor(px, py, colour);
                            }
        }
        x += (kGlyphW + 1) * scale;
    }
}

void drawTextCentred(QImage& img, const QRect& box, std::string_view text, QColor colour,
                     int scale = 1) {
    const int x = box.x() + (box.width() - textWidth(text, scale)) / 2;
    const int y = box.y() + (box.height() - kGlyphH * scale) / 2;
    drawText(img, x, y, text, colour, scale);
}

// ---- palette -----------------------------------------------------------------------------------

// The skin's colours live in skin_colours.h, where the dialogs read them too.
QColor skin(unsigned rgb) {
    return QColor(QRgb(0xFF000000u | rgb));
}

const QColor kFrameTop = skin(kSkinFrameTop);
const QColor kFrameBottom = skin(kSkinFrameBottom);
const QColor kFrameEdge = skin(kSkinFrameEdge);
const QColor kFrameHighlight = skin(kSkinFrameHighlight);
const QColor kClockPanel = skin(kSkinPanel);
const QColor kClockDigit = skin(kSkinClockDigit);
const QColor kClockDate = skin(kSkinClockDate);
const QColor kButtonTop = skin(kSkinButtonTop);
const QColor kButtonBottom = skin(kSkinButtonBottom);
const QColor kButtonCaption = skin(kSkinCaption);
const QColor kButtonCaptionPressed = skin(kSkinCaptionPressed);

QImage newImage(int w, int h, QColor fill = Qt::transparent) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(fill);
    return img;
}

// ---- output ------------------------------------------------------------------------------------

struct Output {
    QDir dir;
    std::vector<int> pictureIds;
    bool failed = false;

    void save(int id, const QImage& img) {
        const QString path = dir.filePath(QStringLiteral("pictures/%1.png").arg(id));
        if (!img.save(path, "PNG")) {
            std::fprintf(stderr, "make_skin: cannot write %s\n", qPrintable(path));
            failed = true;
        }
        pictureIds.push_back(id);
    }
};

// ---- main window background --------------------------------------------------------------------

// Main clock: AM/PM and time at x 66-183, y 643-661; date at x 111-181, y 663-674.
const QRect kMainClockPanel(60, 638, 128, 41);
// Playback clock: x 518-666, y 632-641.
const QRect kPlayClockPanel(514, 629, 156, 15);

void makeBackground(Output& out) {
    const int w = kBackgroundGridX[3], h = kBackgroundGridY[3];
    const QColor key(QRgb(0xFF000000u | kFrameKeyColour));
    QImage bg = newImage(w, h, key);
    {
        QPainter p(&bg);
        p.setRenderHint(QPainter::Antialiasing, false);
        QPainterPath outline;
        outline.addRoundedRect(QRectF(0, 0, w, h), 22, 22);
        QLinearGradient g(0, 0, 0, h);
        g.setColorAt(0, kFrameTop);
        g.setColorAt(0.1, kFrameBottom.lighter(125));
        g.setColorAt(1, kFrameBottom);
        p.fillPath(outline, g);
        p.setPen(QPen(kFrameHighlight, 1));
        p.drawPath(outline.translated(0.5, 0.5));

        // Recess around the video window (53,72)-(868,620).
        p.setPen(QPen(kFrameEdge, 1));
        p.setBrush(QColor(8, 10, 16));
        p.drawRect(QRect(50, 69, 820, 553));
        p.setPen(QPen(kFrameHighlight.darker(140), 1));
        p.drawLine(50, 623, 870, 623);
        p.drawLine(871, 69, 871, 623);

        // Title band and the clock panels.
        p.setPen(Qt::NoPen);
        p.setBrush(kFrameTop.lighter(115));
        p.drawRect(QRect(30, 8, w - 60, 3));
        p.setBrush(kClockPanel);
        p.setPen(QPen(kFrameEdge, 1));
        p.drawRoundedRect(kMainClockPanel, 4, 4);
        p.drawRect(kPlayClockPanel);
    }
    // Drawn without antialiasing: outside the outline every pixel keeps exactly the key colour,
    // inside none has it, so the window's cut-out follows the outline.
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            const QRect r(kBackgroundGridX[col], kBackgroundGridY[row],
                          kBackgroundGridX[col + 1] - kBackgroundGridX[col],
                          kBackgroundGridY[row + 1] - kBackgroundGridY[row]);
            out.save(kBackgroundTileFirst + row * 3 + col, bg.copy(r));
        }
}

// ---- clock glyph strips ------------------------------------------------------------------------

// `cells` glyph texts, each drawn centred in its own cell of cellW x cellH.
QImage glyphStrip(const std::vector<std::string>& cells, int cellW, int cellH, QColor colour,
                  int scale) {
    QImage img = newImage(cellW * int(cells.size()), cellH, kClockPanel);
    for (std::size_t i = 0; i < cells.size(); ++i)
        drawTextCentred(img, QRect(int(i) * cellW, 0, cellW, cellH), cells[i], colour, scale);
    return img;
}

// A two-letter mark centred in its cell of a strip.
QImage amPmCell(QImage img, int x0, int cellW, int cellH, std::string_view text, QColor colour) {
    const int w = textWidth(text, 1);
    drawText(img, x0 + (cellW - w) / 2, (cellH - kGlyphH) / 2, text, colour, 1);
    return img;
}

void makeClockStrips(Output& out) {
    std::vector<std::string> digits;
    for (char c = '0'; c <= '9'; ++c)
        digits.emplace_back(1, c);

    auto date = digits;
    date.emplace_back("-");
    out.save(kClockDateGlyphs, glyphStrip(date, 7, 11, kClockDate, 1));

    auto time = digits;
    time.insert(time.end(), {"", "", ":", " "});
    QImage mainTime = glyphStrip(time, 13, 18, kClockDigit, 2);
    // AM and PM do not fit two scaled letters into 13 pixels: one line each, unscaled, stacked.
    for (int i = 0; i < 2; ++i) {
        const int x0 = (10 + i) * 13;
        drawText(mainTime, x0 + 4, 1, i == 0 ? "A" : "P", kClockDigit, 1);
        drawText(mainTime, x0 + 4, 10, "M", kClockDigit, 1);
    }
    out.save(kClockTimeGlyphs, mainTime);

    out.save(kPlayClockDateGlyphs, glyphStrip(date, 7, 9, kClockDate, 1));
    auto playTime = digits;
    playTime.insert(playTime.end(), {":", " "});
    out.save(kPlayClockTimeGlyphs, glyphStrip(playTime, 7, 9, kClockDigit, 1));

    QImage ampm = newImage(36, 9, kClockPanel);
    ampm = amPmCell(ampm, 0, 18, 9, "AM", kClockDigit);
    ampm = amPmCell(ampm, 18, 18, 9, "PM", kClockDigit);
    out.save(kPlayClockAmPmGlyphs, ampm);
}

// ---- icons (mask + image pairs) ----------------------------------------------------------------

// Saves the pair for a shape drawn by `draw` (in white, on a transparent image).
template <typename Draw>
void saveIconPair(Output& out, int maskId, int w, int h, QColor colour, Draw draw) {
    QImage shape = newImage(w, h);
    {
        QPainter p(&shape);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        draw(p);
    }
    QImage mask = newImage(w, h, Qt::white);
    QImage image = newImage(w, h); // transparent black
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (qAlpha(shape.pixel(x, y)) >= 128) {
                mask.setPixelColor(x, y, Qt::black);
                image.setPixelColor(x, y, colour);
            }
    out.save(maskId, mask);
    out.save(maskId + 1, image);
}

QPolygon triangleRight(int x, int y, int w, int h) {
    return QPolygon({QPoint(x, y), QPoint(x + w - 1, y + h / 2), QPoint(x, y + h - 1)});
}
QPolygon triangleLeft(int x, int y, int w, int h) {
    return QPolygon({QPoint(x + w - 1, y), QPoint(x, y + h / 2), QPoint(x + w - 1, y + h - 1)});
}

void makeIcons(Output& out) {
    const QColor speed(255, 230, 80);
    saveIconPair(out, kSpeedPauseMask, 16, 16, speed, [](QPainter& p) {
        p.drawRect(4, 3, 3, 10);
        p.drawRect(9, 3, 3, 10);
    });
    // One arrow at columns 5-11: fast play repeats columns 5.. at 7-pixel steps.
    saveIconPair(out, kSpeedPlayMask, 40, 16, speed,
                 [](QPainter& p) { p.drawPolygon(triangleRight(5, 3, 7, 11)); });
    // One arrow at columns 4-10: fast reverse repeats columns 4.. at 7-pixel steps.
    saveIconPair(out, kSpeedReverseMask, 40, 16, speed,
                 [](QPainter& p) { p.drawPolygon(triangleLeft(4, 3, 7, 11)); });
    saveIconPair(out, kSpeedStepMask, 16, 16, speed, [](QPainter& p) {
        p.drawPolygon(triangleRight(4, 3, 7, 11));
        p.drawRect(11, 3, 2, 11);
    });

    const QColor audio(120, 255, 140);
    auto speaker = [](QPainter& p) {
        p.drawRect(2, 6, 3, 5);
        p.drawPolygon(QPolygon({QPoint(5, 6), QPoint(9, 2), QPoint(9, 14), QPoint(5, 10)}));
    };
    saveIconPair(out, kAudioIconFirst, 16, 16, audio, [&](QPainter& p) {
        speaker(p);
        p.drawRect(11, 6, 1, 5);
        p.drawRect(13, 4, 1, 9);
    });
    saveIconPair(out, kAudioIconFirst + 2, 16, 16, skin(kSkinAlert), [&](QPainter& p) {
        speaker(p);
        for (int i = 0; i < 5; ++i) { // a cross: the sound is off
            p.drawRect(10 + i, 6 + i, 1, 1);
            p.drawRect(14 - i, 6 + i, 1, 1);
        }
    });

    const QColor ptz(120, 200, 255);
    // State 1: pan and tilt, four arrows.
    saveIconPair(out, kPtzIconFirst, 16, 16, ptz, [](QPainter& p) {
        p.drawPolygon(QPolygon({QPoint(8, 1), QPoint(11, 5), QPoint(5, 5)}));
        p.drawPolygon(QPolygon({QPoint(8, 14), QPoint(11, 10), QPoint(5, 10)}));
        p.drawPolygon(QPolygon({QPoint(1, 8), QPoint(5, 5), QPoint(5, 11)}));
        p.drawPolygon(QPolygon({QPoint(14, 8), QPoint(10, 5), QPoint(10, 11)}));
        p.drawRect(7, 7, 2, 2);
    });
    // State 2: zoom and focus, a magnifier.
    saveIconPair(out, kPtzIconFirst + 2, 16, 16, ptz, [](QPainter& p) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::white, 2));
        p.drawEllipse(QRect(2, 2, 8, 8));
        p.drawLine(10, 10, 14, 14);
    });
}

// ---- notification box, timeline colours --------------------------------------------------------

void makeNotificationBackground(Output& out) {
    QImage img = newImage(308, 136);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, 136);
    g.setColorAt(0, QColor(44, 76, 128));
    g.setColorAt(1, QColor(18, 32, 66));
    p.fillRect(img.rect(), g);
    p.setPen(QPen(QColor(150, 178, 226), 2));
    p.drawRect(QRectF(1, 1, 306, 134));
    p.setPen(QPen(QColor(90, 120, 176), 1));
    p.drawLine(14, 94, 293, 94); // above the buttons at y 103
    p.end();
    out.save(kNotificationBackground, img);
}

void makeTimelineColours(Output& out) {
    // Continuous, alarm, motion, kind 3, audio, kind 5.
    const QColor colours[kTimelineColourCount] = {
        QColor(64, 200, 96),  QColor(230, 56, 56),  QColor(240, 200, 40),
        QColor(64, 128, 240), QColor(200, 80, 220), QColor(64, 210, 220),
    };
    for (int i = 0; i < kTimelineColourCount; ++i)
        out.save(kTimelineColourFirst + i, newImage(16, 16, colours[i]));
}

// ---- buttons -----------------------------------------------------------------------------------

enum class Face { Caption, StepBack, Reverse, Play, Pause, StepForward, Record, Stop };

struct ButtonSpec {
    int controlId;
    int w, h;
    const char* caption;
    Face face = Face::Caption;
};

const ButtonSpec kMainButtons[] = {
    {300, 26, 22, "1"},
    {301, 26, 22, "2"},
    {302, 26, 22, "3"},
    {303, 26, 22, "4"},
    {304, 26, 22, "5"},
    {305, 26, 22, "6"},
    {306, 26, 22, "7"},
    {307, 26, 22, "8"},
    {308, 26, 22, "9"},
    {309, 26, 22, "10"},
    {310, 26, 22, "11"},
    {311, 26, 22, "12"},
    {312, 26, 22, "13"},
    {313, 26, 22, "14"},
    {314, 26, 22, "15"},
    {315, 26, 22, "16"},
    {320, 26, 22, "1"},
    {321, 26, 22, "4"},
    {322, 26, 22, "6"},
    {323, 26, 22, "7"},
    {324, 26, 22, "8"},
    {325, 26, 22, "9"},
    {326, 26, 22, "10"},
    {327, 26, 22, "13"},
    {328, 26, 22, "16"},
    {329, 54, 22, "FULL"},
    {340, 28, 22, "", Face::StepBack},
    {341, 28, 22, "", Face::Reverse},
    {342, 28, 22, "", Face::Play},
    {343, 28, 22, "", Face::Pause},
    {344, 28, 22, "", Face::Record},
    {345, 28, 22, "", Face::Stop},
    {346, 28, 22, "", Face::StepForward},
    {355, 44, 22, "PAN"},
    {356, 44, 22, "ZOOM"},
    {360, 64, 24, "CONNECT"},
    {361, 64, 24, "RSEARCH"},
    {362, 64, 24, "RSETUP"},
    {363, 64, 24, "LSEARCH"},
    {364, 64, 24, "LSETUP"},
    {365, 20, 18, "X"},
    {366, 64, 24, "SOUND"},
    {368, 64, 24, "SELAUDIO"},
    {369, 64, 24, "LIVE"},
    {370, 64, 24, "OSD"},
    {371, 64, 24, "ARRANGE"},
    {372, 64, 24, "SAVE"},
    {373, 64, 24, "LOAD"},
    {374, 64, 24, "FIRMUP"},
    {376, 64, 24, "MIKE"},
    {377, 20, 18, "_"},
    {378, 64, 24, "AUDIO"},
};

void drawFace(QPainter& p, Face face, const QRect& r, QColor colour) {
    const int cx = r.center().x(), cy = r.center().y();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    switch (face) {
    case Face::Caption:
        break;
    case Face::StepBack:
        p.drawRect(cx - 6, cy - 5, 2, 11);
        p.drawPolygon(triangleLeft(cx - 3, cy - 5, 8, 11));
        break;
    case Face::Reverse:
        p.drawPolygon(triangleLeft(cx - 4, cy - 5, 8, 11));
        break;
    case Face::Play:
        p.drawPolygon(triangleRight(cx - 3, cy - 5, 8, 11));
        break;
    case Face::Pause:
        p.drawRect(cx - 4, cy - 5, 3, 11);
        p.drawRect(cx + 2, cy - 5, 3, 11);
        break;
    case Face::StepForward:
        p.drawPolygon(triangleRight(cx - 5, cy - 5, 8, 11));
        p.drawRect(cx + 4, cy - 5, 2, 11);
        break;
    case Face::Record:
        p.setBrush(QColor(230, 50, 50));
        p.drawEllipse(QRect(cx - 5, cy - 5, 11, 11));
        break;
    case Face::Stop:
        p.drawRect(cx - 4, cy - 4, 9, 9);
        break;
    }
}

QImage buttonImage(int w, int h, std::string_view caption, Face face, bool pressed) {
    QImage img = newImage(w, h);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing, true);
        QLinearGradient g(0, 0, 0, h);
        g.setColorAt(0, pressed ? kButtonBottom.darker(130) : kButtonTop);
        g.setColorAt(1, pressed ? kButtonTop.darker(140) : kButtonBottom);
        p.setBrush(g);
        p.setPen(QPen(kFrameEdge, 1));
        p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 3, 3);
        p.setRenderHint(QPainter::Antialiasing, false);
        const QRect inner = QRect(0, 0, w, h).translated(pressed ? 1 : 0, pressed ? 1 : 0);
        drawFace(p, face, inner, pressed ? kButtonCaptionPressed : kButtonCaption);
    }
    if (!caption.empty()) {
        const QRect inner = QRect(0, 0, w, h).translated(pressed ? 1 : 0, pressed ? 1 : 0);
        drawTextCentred(img, inner, caption, pressed ? kButtonCaptionPressed : kButtonCaption);
    }
    return img;
}

void makeButtons(Output& out) {
    for (const ButtonSpec& b : kMainButtons) {
        out.save(mainButtonSkin(b.controlId, false),
                 buttonImage(b.w, b.h, b.caption, b.face, false));
        out.save(mainButtonSkin(b.controlId, true), buttonImage(b.w, b.h, b.caption, b.face, true));
    }
    out.save(kDialogButtonNormal, buttonImage(97, 22, "", Face::Caption, false));
    out.save(kDialogButtonPressed, buttonImage(97, 22, "", Face::Caption, true));
    out.save(kNotificationButtonNormal, buttonImage(100, 27, "", Face::Caption, false));
    out.save(kNotificationButtonPressed, buttonImage(100, 27, "", Face::Caption, true));
    out.save(kLocalLogButtonNormal, buttonImage(130, 35, "LOG", Face::Caption, false));
    out.save(kLocalLogButtonPressed, buttonImage(130, 35, "LOG", Face::Caption, true));

    auto groove = [](int w) {
        QImage img = newImage(w, 8);
        QPainter p(&img);
        p.setPen(QPen(kFrameEdge, 1));
        p.setBrush(kClockPanel);
        p.drawRect(0, 0, w - 1, 7);
        return img;
    };
    auto thumb = [] {
        QImage img = newImage(10, 16);
        QPainter p(&img);
        QLinearGradient g(0, 0, 10, 0);
        g.setColorAt(0, kFrameHighlight);
        g.setColorAt(1, kButtonBottom);
        p.setBrush(g);
        p.setPen(QPen(kFrameEdge, 1));
        p.drawRect(0, 0, 9, 15);
        return img;
    };
    out.save(kPositionSliderGroove, groove(300));
    out.save(kPositionSliderThumb, thumb());
    out.save(kVolumeSliderGroove, groove(100));
    out.save(kVolumeSliderThumb, thumb());
}

// ---- text table --------------------------------------------------------------------------------

// Checks the table (every entry "id<TAB>text", ids unique, text non-empty and ASCII) and copies
// it.
bool copyTextTable(const QString& source, Output& out) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "make_skin: cannot read %s\n", qPrintable(source));
        return false;
    }
    const QByteArray bytes = in.readAll();
    std::set<int> ids;
    int lineNo = 0;
    bool ok = true;
    for (const QByteArray& raw : bytes.split('\n')) {
        ++lineNo;
        QByteArray line = raw;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype tab = line.indexOf('\t');
        bool isNumber = false;
        const int id = tab > 0 ? line.left(tab).toInt(&isNumber) : 0;
        if (!isNumber || line.size() == tab + 1) {
            std::fprintf(stderr, "%s:%d: expected \"id<TAB>text\"\n", qPrintable(source), lineNo);
            ok = false;
        } else if (std::any_of(line.begin(), line.end(), [](char c) { return c & 0x80; })) {
            // Texts are single-byte and shown as they are: keep them plain ASCII.
            std::fprintf(stderr, "%s:%d: text is not plain ASCII\n", qPrintable(source), lineNo);
            ok = false;
        } else if (!ids.insert(id).second) {
            std::fprintf(stderr, "%s:%d: id %d appears twice\n", qPrintable(source), lineNo, id);
            ok = false;
        }
    }
    if (!ok)
        return false;
    QFile copy(out.dir.filePath(QStringLiteral("text/en.tsv")));
    if (!copy.open(QIODevice::WriteOnly | QIODevice::Truncate) || copy.write(bytes) != bytes.size())
        return false;
    return true;
}

bool writeQrc(const Output& out) {
    QByteArray qrc = "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/kalder\">\n";
    qrc += "  <file>text/en.tsv</file>\n";
    for (int id : out.pictureIds)
        qrc += QStringLiteral("  <file>pictures/%1.png</file>\n").arg(id).toUtf8();
    qrc += "</qresource>\n</RCC>\n";
    QFile f(out.dir.filePath(QStringLiteral("KalderRes.qrc")));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(qrc) == qrc.size();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kalder_make_skin <output folder> <text table>\n");
        return 2;
    }
    Output out;
    out.dir = QDir(QString::fromLocal8Bit(argv[1]));
    if (!out.dir.mkpath(QStringLiteral("pictures")) || !out.dir.mkpath(QStringLiteral("text"))) {
        std::fprintf(stderr, "make_skin: cannot create %s\n", argv[1]);
        return 1;
    }
    if (!copyTextTable(QString::fromLocal8Bit(argv[2]), out))
        return 1;
    makeBackground(out);
    makeClockStrips(out);
    makeIcons(out);
    makeNotificationBackground(out);
    makeTimelineColours(out);
    makeButtons(out);
    if (out.failed || !writeQrc(out))
        return 1;
    return 0;
}
