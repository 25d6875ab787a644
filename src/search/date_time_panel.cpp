#include "search/date_time_panel.h"

#include "search/search_rules.h"
#include "search/search_window.h"

#include "resources/resource_library.h"

#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QPushButton>

namespace kalder {

namespace {
constexpr int kPlayText = 5563;
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
    QString playText = resourceText(kPlayText);
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
    row.year = new QComboBox(this);
    for (int v = kFirstSearchYear; v <= kLastSearchYear; ++v)
        row.year->addItem(QString::asprintf("%04d.", v), v);
    row.month = new QComboBox(this);
    for (int v = 1; v <= 12; ++v)
        row.month->addItem(QString::asprintf("%02d.", v), v);
    row.day = new QComboBox(this);
    row.year->setAccessibleName(caption + QStringLiteral(" year"));
    row.month->setAccessibleName(caption + QStringLiteral(" month"));
    row.day->setAccessibleName(caption + QStringLiteral(" day"));
    // The fields in the operator's date order.
    const unsigned format = m_window.dateFormat();
    std::array<QComboBox*, 3> order = {row.year, row.month, row.day};
    if (format == 1)
        order = {row.month, row.day, row.year};
    else if (format == 2)
        order = {row.day, row.month, row.year};
    int x = 56;
    for (QComboBox* box : order) {
        const int width = box == row.year ? 76 : 56;
        box->setGeometry(x, y, width, 24);
        x += width + 4;
    }
    row.time = new QPushButton(this);
    row.time->setAccessibleName(caption + QStringLiteral(" time"));
    row.time->setAutoDefault(false);
    row.time->setGeometry(x + 6, y, 120, 24);
    connect(row.year, &QComboBox::activated, this, [this, index] { refillDays(m_rows[index]); });
    connect(row.month, &QComboBox::activated, this, [this, index] { refillDays(m_rows[index]); });
    connect(row.time, &QPushButton::clicked, this, [this, index] {
        Row& r = m_rows[index];
        m_window.openTimePopup(r.time, r.hour, r.minute, r.second,
                               [this, index](int h, int m, int s) {
                                   Row& chosen = m_rows[index];
                                   chosen.hour = h;
                                   chosen.minute = m;
                                   chosen.second = s;
                                   showTime(chosen);
                               });
    });
}

void DateTimePanel::refillDays(Row& row) {
    const int keep = row.day->currentIndex();
    const int length =
        daysInMonth(row.year->currentData().toInt(), row.month->currentData().toInt());
    row.day->clear();
    for (int d = 1; d <= length; ++d)
        row.day->addItem(QString::asprintf("%02d.", d), d);
    row.day->setCurrentIndex(std::min(std::max(keep, 0), length - 1));
}

void DateTimePanel::showTime(Row& row) {
    row.time->setText(QString::asprintf("%02d : %02d : %02d", row.hour, row.minute, row.second));
}

void DateTimePanel::setEntry(int index, const CivilTime& entry) {
    if (index == 1 && !m_hasEnd)
        return;
    Row& row = m_rows[index];
    const int year = std::clamp(entry.year, kFirstSearchYear, kLastSearchYear);
    row.year->setCurrentIndex(year - kFirstSearchYear);
    row.month->setCurrentIndex(entry.month - 1);
    refillDays(row);
    row.day->setCurrentIndex(entry.day - 1);
    row.hour = entry.hour;
    row.minute = entry.minute;
    row.second = entry.second;
    showTime(row);
}

CivilTime DateTimePanel::entry(int index) const {
    const Row& row = m_rows[index];
    return {row.year->currentData().toInt(),
            row.month->currentData().toInt(),
            row.day->currentData().toInt(),
            row.hour,
            row.minute,
            row.second};
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
