#include "ui/clock_display.h"

#include "resources/resource_library.h"

#include <QDateTime>
#include <QPainter>
#include <QTimer>

namespace kalder {

namespace {

CivilTime localTimeNow() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    return {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()};
}

// The part of the main window a variant draws on: the box around all its glyphs.
QRect areaOf(ClockVariant variant) {
    QRect area;
    for (const GlyphPlacement& glyph : clockGlyphs(variant, {}, DateOrder::YearFirst))
        area |= QRect(glyph.x, glyph.y, glyph.width, glyph.height);
    for (const GlyphPlacement& glyph : clockGlyphs(variant, {}, DateOrder::MonthFirst))
        area |= QRect(glyph.x, glyph.y, glyph.width, glyph.height);
    return area;
}

} // namespace

ClockDisplay::ClockDisplay(ClockVariant variant, QWidget* parent)
    : QWidget(parent), m_variant(variant), m_localNow(localTimeNow) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(areaOf(variant));
    std::map<int, QImage> strips;
    const int ids[] = {kMainDateStrip, kMainTimeStrip, kPlaybackDateStrip, kPlaybackTimeStrip,
                       kPlaybackHalfStrip};
    for (int id : ids)
        strips[id] = resourcePicture(id);
    m_strips = std::move(strips);
    m_shown = currentTime();

    m_timer = new QTimer(this);
    m_timer->setInterval(kTickMs);
    connect(m_timer, &QTimer::timeout, this, &ClockDisplay::tick);
    m_timer->start();
}

void ClockDisplay::setDateOrder(DateOrder order) {
    m_order = order;
    update();
}

void ClockDisplay::setRecorderTime(std::int64_t seconds) {
    m_recorderTime.store(seconds);
}

void ClockDisplay::clearRecorderTime() {
    m_recorderTime.store(kNoTime);
}

void ClockDisplay::setPlaybackTime(std::int64_t seconds) {
    m_playbackTime.store(seconds < 0 ? 0 : seconds);
}

void ClockDisplay::setStrips(std::map<int, QImage> strips) {
    m_strips = std::move(strips);
    update();
}

CivilTime ClockDisplay::currentTime() const {
    if (m_variant == ClockVariant::Playback)
        return civilFromSeconds(m_playbackTime.load());
    const std::int64_t recorder = m_recorderTime.load();
    if (recorder != kNoTime)
        return civilFromSeconds(recorder);
    return m_localNow ? m_localNow() : CivilTime{};
}

void ClockDisplay::tick() {
    const CivilTime now = currentTime();
    if (now == m_shown)
        return;
    m_shown = now;
    update();
}

void ClockDisplay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (const GlyphPlacement& glyph : clockGlyphs(m_variant, m_shown, m_order)) {
        const auto strip = m_strips.find(glyph.pictureId);
        if (strip == m_strips.end() || strip->second.isNull())
            continue;
        painter.drawImage(QPoint(glyph.x - x(), glyph.y - y()), strip->second,
                          QRect(glyph.glyph * glyph.width, 0, glyph.width, glyph.height));
    }
}

} // namespace kalder
