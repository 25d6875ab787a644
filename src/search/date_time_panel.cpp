#include "search/date_time_panel.h"

#include "search/search_play_request.h"
#include "ui/search_look.h"
#include "ui/search_rules.h"
#include "search/search_window.h"

#include "resources/resource_library.h"

#include <QDate>
#include <QLabel>
#include <QPushButton>

namespace kalder {

namespace {
constexpr std::uint8_t kEveryKind = 0x3F;
} // namespace

DateTimePanel::DateTimePanel(SearchWindow& window, QWidget* parent)
    : QWidget(parent), m_window(window), m_hasEnd(window.recorderVersion11()) {
    setObjectName("DateTimePanel");
    buildRow(0, 20, QStringLiteral("Start"));
    if (m_hasEnd)
        buildRow(1, 80, QStringLiteral("End"));
    const QDate today = QDate::currentDate();
    const CivilTime start{today.year(), today.month(), today.day(), 0, 0, 0};
    setEntry(0, start);
    if (m_hasEnd)
        setEntry(1, {today.year(), today.month(), today.day(), 23, 59, 59});
    QString playText = resourceText(kSearchPlayText);
    if (playText.isEmpty())
        playText = QStringLiteral("Play");
    m_play = new QPushButton(playText, this);
    m_play->setAccessibleName(playText);
    m_play->setAutoDefault(false);
    m_play->setGeometry(328, 140, 70, 24);
    connect(m_play, &QPushButton::clicked, this, &DateTimePanel::play);
    updatePlayEnabled();
}

void DateTimePanel::buildRow(int index, int y, const QString& caption) {
    Row& row = m_rows[index];
    auto* label = new QLabel(caption, this);
    label->setGeometry(4, y, 50, 24);
    auto field = [&](const QString& name) {
        auto* b = new QPushButton(this);
        b->setAccessibleName(caption + QStringLiteral(" ") + name);
        b->setAutoDefault(false);
        return b;
    };
    row.year = field(QStringLiteral("year"));
    row.month = field(QStringLiteral("month"));
    row.day = field(QStringLiteral("day"));
    row.time = field(QStringLiteral("time"));
    placeDateRowFields(row.year, row.month, row.day, row.time, m_window.dateFormat(), y);

    connect(row.year, &QPushButton::clicked, this, [this, index] {
        QStringList items;
        for (int v = kFirstSearchYear; v <= kLastSearchYear; ++v)
            items << QString::asprintf("%04d", v);
        m_window.openListPopup(m_rows[index].year, items, 4, 210, [this, index](int i) {
            m_rows[index].value.year = kFirstSearchYear + i;
            clampDay(m_rows[index]);
        });
    });
    connect(row.month, &QPushButton::clicked, this, [this, index] {
        QStringList items;
        for (int v = 1; v <= 12; ++v)
            items << QString::asprintf("%02d", v);
        m_window.openListPopup(m_rows[index].month, items, 1, 50, [this, index](int i) {
            m_rows[index].value.month = i + 1;
            clampDay(m_rows[index]);
        });
    });
    connect(row.day, &QPushButton::clicked, this, [this, index] {
        const CivilTime& v = m_rows[index].value;
        QStringList items;
        for (int d = 1; d <= daysInMonth(v.year, v.month); ++d)
            items << QString::asprintf("%02d", d);
        m_window.openListPopup(m_rows[index].day, items, 4, 180, [this, index](int i) {
            m_rows[index].value.day = i + 1;
            showRow(m_rows[index]);
        });
    });
    connect(row.time, &QPushButton::clicked, this, [this, index] {
        const CivilTime& v = m_rows[index].value;
        m_window.openTimePopup(m_rows[index].time, v.hour, v.minute, v.second,
                               [this, index](int h, int m, int s) {
                                   CivilTime& chosen = m_rows[index].value;
                                   chosen.hour = h;
                                   chosen.minute = m;
                                   chosen.second = s;
                                   showRow(m_rows[index]);
                               });
    });
}

void DateTimePanel::clampDay(Row& row) {
    row.value.day = std::min(row.value.day, daysInMonth(row.value.year, row.value.month));
    showRow(row);
}

void DateTimePanel::showRow(Row& row) {
    row.year->setText(QString::asprintf("%04d.", row.value.year));
    row.month->setText(QString::asprintf("%02d.", row.value.month));
    row.day->setText(QString::asprintf("%02d.", row.value.day));
    row.time->setText(QString::asprintf("%02d : %02d : %02d", row.value.hour, row.value.minute,
                                        row.value.second));
}

void DateTimePanel::setEntry(int index, const CivilTime& entry) {
    if (index == 1 && !m_hasEnd)
        return;
    Row& row = m_rows[index];
    row.value = entry;
    row.value.year = std::clamp(entry.year, kFirstSearchYear, kLastSearchYear);
    row.value.month = std::clamp(entry.month, 1, 12);
    row.value.day = std::max(entry.day, 1);
    clampDay(row);
}

CivilTime DateTimePanel::entry(int index) const {
    return m_rows[index].value;
}

void DateTimePanel::updatePlayEnabled() {
    m_play->setEnabled(!m_window.localPlaybackRunning());
}

void DateTimePanel::play() {
    const auto start = encodeOperatorTime(entry(0), m_window.standardOffsetSeconds());
    if (!start)
        return;
    std::uint32_t end = 0;
    if (m_hasEnd) {
        const auto encoded = encodeOperatorTime(entry(1), m_window.standardOffsetSeconds());
        if (!encoded)
            return;
        end = *encoded;
    }
    SearchPlayRequest request;
    request.start = *start;
    request.end = end; // older recorders: no end row, end 0
    request.channelMask = m_window.searchChannelMask();
    request.kindSelector = kEveryKind;
    request.source = SearchResumeContext::Source::DateTime;
    m_window.play(request, SearchResumeContext{});
}

} // namespace kalder
