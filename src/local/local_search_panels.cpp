#include "local/local_search_panels.h"

#include "resources/resource_ids.h"
#include "search/search_rules.h"
#include "resources/resource_library.h"
#include "wire/recorder_time.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QTimeZone>

#include <ctime>

namespace kalder {

namespace {

constexpr int kPlayText = 5563;
constexpr int kEventTabText[3] = {5130, 5131, 5030}; // Alarm, Motion, Audio
constexpr int kLegendText[6] = {5208, 5130, 5131, 5209, 5132, 5210};
const QColor kFallbackColours[6] = {QColor(40, 170, 60),  QColor(220, 40, 40),
                                    QColor(240, 200, 20), QColor(150, 90, 200),
                                    QColor(40, 120, 230), QColor(240, 130, 30)};

QString textOr(int id, const char* fallback) {
    const QString text = resourceText(id);
    return text.isEmpty() ? QString::fromLatin1(fallback) : text;
}

QPushButton* button(const QString& caption, QWidget* parent, const QRect& place) {
    auto* b = new QPushButton(caption, parent);
    b->setAccessibleName(caption);
    b->setAutoDefault(false);
    b->setGeometry(place);
    return b;
}

// The operator's entry as the remote windows encode it.
std::optional<std::uint32_t> encodeEntry(const CivilTime& civil) {
    return encodeOperatorTime(civil, standardTimeZoneOffsetSeconds(std::time(nullptr)));
}

// RecorderTime shown and edited as a wall-clock date and time without a zone.
QDateTime toDateTime(std::uint32_t time) {
    return QDateTime::fromSecsSinceEpoch(time, QTimeZone::utc());
}
CivilTime toCivil(const QDateTime& t) {
    const QDate d = t.date();
    const QTime h = t.time();
    return {d.year(), d.month(), d.day(), h.hour(), h.minute(), h.second()};
}

} // namespace

// ---- calendar ----------------------------------------------------------------------------

LocalCalendarPanel::LocalCalendarPanel(const LocalSearchData& data,
                                       std::function<void(int, int, int)> openDay, QWidget* parent)
    : QWidget(parent), m_data(data), m_openDay(std::move(openDay)) {
    setObjectName("LocalCalendarPanel");
    setAccessibleName(QStringLiteral("Calendar"));
    auto* earlier = button(QStringLiteral("<"), this, QRect(110, 6, 30, 24));
    earlier->setAccessibleName(QStringLiteral("Previous year"));
    m_yearLabel = new QLabel(this);
    m_yearLabel->setAlignment(Qt::AlignCenter);
    m_yearLabel->setGeometry(145, 6, 110, 24);
    auto* later = button(QStringLiteral(">"), this, QRect(260, 6, 30, 24));
    later->setAccessibleName(QStringLiteral("Next year"));
    connect(earlier, &QPushButton::clicked, this, [this] { chooseYear(m_year - 1); });
    connect(later, &QPushButton::clicked, this, [this] { chooseYear(m_year + 1); });
    for (int m = 1; m <= 12; ++m) {
        auto* b = button(QString::number(m), this,
                         QRect(4 + ((m - 1) % 6) * 66, 38 + ((m - 1) / 6) * 30, 62, 26));
        b->setCheckable(true);
        connect(b, &QPushButton::clicked, this, [this, m] { chooseMonth(m); });
        m_months[m - 1] = b;
    }
    for (int d = 1; d <= 31; ++d) {
        auto* b = button(QString::number(d), this, QRect());
        connect(b, &QPushButton::clicked, this, [this, d] {
            if (dayRecorded(d) && m_openDay)
                m_openDay(m_year, m_month, d);
        });
        m_days[d - 1] = b;
    }
    // Opens on the latest month with recordings of the latest year that has any.
    const std::vector<YearAvailability> years = localYears(data);
    const int year = years.empty() ? decodeRecorderTime(std::uint32_t(std::time(nullptr))).year
                                   : years.back().year;
    chooseYear(year);
    for (int m = 12; m >= 1; --m) {
        if (monthEnabled(&m_local.availability, m)) {
            chooseMonth(m);
            break;
        }
    }
}

void LocalCalendarPanel::chooseYear(int year) {
    m_year = std::clamp(year, kFirstSearchYear, kLastSearchYear);
    m_yearLabel->setText(QString::number(m_year));
    m_local = buildLocalYear(m_data, m_year);
    for (int m = 1; m <= 12; ++m)
        m_months[m - 1]->setEnabled(monthEnabled(&m_local.availability, m));
    layoutDays();
}

void LocalCalendarPanel::chooseMonth(int month) {
    m_month = month;
    for (int m = 1; m <= 12; ++m)
        m_months[m - 1]->setChecked(m == month);
    layoutDays();
}

bool LocalCalendarPanel::dayRecorded(int day) const {
    return m_local.availability.dayRecorded(m_month, day);
}

void LocalCalendarPanel::layoutDays() {
    const int weekday = firstWeekday(m_year, m_month);
    const int length = daysInMonth(m_year, m_month);
    for (int d = 1; d <= 31; ++d) {
        QPushButton* b = m_days[d - 1];
        if (d > length) {
            b->hide();
            continue;
        }
        const CellRect cell = dayCell(weekday, d);
        b->setGeometry(cell.x, cell.y, cell.width, cell.height);
        const bool recorded = dayRecorded(d);
        b->setEnabled(recorded);
        QFont f = b->font();
        f.setBold(recorded);
        b->setFont(f);
        b->show();
    }
}

// ---- timeline ----------------------------------------------------------------------------

LocalTimelinePanel::LocalTimelinePanel(int year, int month, int day,
                                       std::vector<DaySegment> segments, unsigned dateFormat,
                                       LocalPlayFn play, std::function<void()> prev,
                                       QWidget* parent)
    : QWidget(parent), m_year(year), m_month(month), m_day(day), m_segments(std::move(segments)),
      m_playFn(std::move(play)) {
    setObjectName("LocalTimelinePanel");
    setAccessibleName(QStringLiteral("Day timeline"));
    auto* date =
        new QLabel(QString::fromStdString(formatPanelDate(year, month, day, dateFormat)), this);
    date->setGeometry(8, 8, 150, 22);
    m_timeLabel = new QLabel(this);
    m_timeLabel->setAccessibleName(QStringLiteral("Time"));
    m_timeLabel->setGeometry(8, 32, 110, 22);
    auto* prevButton = button(QStringLiteral("Prev"), this, QRect(252, 6, 70, 24));
    connect(prevButton, &QPushButton::clicked, this, [prev = std::move(prev)] {
        if (prev)
            prev();
    });
    m_play = button(textOr(kPlayText, "Play"), this, QRect(328, 6, 70, 24));
    connect(m_play, &QPushButton::clicked, this, &LocalTimelinePanel::play);
}

void LocalTimelinePanel::setTime(int hour, int minute, int second) {
    m_time = std::array<int, 3>{hour, minute, second};
    m_timeLabel->setText(QString::asprintf("%02d : %02d : %02d", hour, minute, second));
    update();
}

void LocalTimelinePanel::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && insideTimelineGrid(p.x(), p.y())) {
        const TimeOfDay t = timeAtColumn(p.x());
        setTime(t.hour, t.minute, t.second);
    }
}

void LocalTimelinePanel::play() {
    const std::array<int, 3> t = m_time.value_or(std::array<int, 3>{});
    const auto start = encodeEntry({m_year, m_month, m_day, t[0], t[1], t[2]});
    if (start && m_playFn)
        m_playFn({LocalPlayRequest::Kind::StartOnly, *start, 0});
}

void LocalTimelinePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor text = palette().windowText().color();
    p.fillRect(QRect(QPoint(kTimelineLeft, kTimelineTop), QPoint(kTimelineRight, kTimelineBottom)),
               QColor(24, 28, 36));
    p.setPen(QColor(70, 78, 92));
    for (int h = 0; h <= 24; ++h)
        p.drawLine(kTimelineLeft + h * 12, kTimelineTop, kTimelineLeft + h * 12, kTimelineBottom);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    p.setFont(small);
    p.setPen(text);
    for (int h = 0; h <= 24; h += 3)
        p.drawText(QRect(kTimelineLeft + h * 12 - 10, kTimelineTop - 14, 20, 12), Qt::AlignCenter,
                   QString::number(h));
    for (int n = 0; n < 16; ++n)
        p.drawText(QRect(50, timelineBarTop(n) - 5, 58, 18), Qt::AlignRight | Qt::AlignVCenter,
                   QString::asprintf("CH%02d", n + 1));
    std::array<QColor, 6> colours;
    for (int k = 0; k < 6; ++k) {
        const QImage picture = resourcePicture(res::kTimelineColourFirst + k);
        colours[k] = picture.isNull() ? kFallbackColours[k] : picture.pixelColor(0, 0);
    }
    for (const TimelineBar& bar : timelineBars(m_segments, 0xFFFF))
        p.fillRect(QRect(QPoint(bar.x0, timelineBarTop(bar.channel)),
                         QPoint(std::max(bar.x0, bar.x1), timelineBarBottom(bar.channel))),
                   colours[bar.kind]);
    for (int k = 0; k < 6; ++k) {
        const int x = 8 + (k % 3) * 130, y = 384 + (k / 3) * 16;
        p.fillRect(QRect(x, y + 2, 12, 10), colours[k]);
        p.setPen(text);
        p.drawText(QRect(x + 16, y, 110, 14), Qt::AlignLeft | Qt::AlignVCenter,
                   resourceText(kLegendText[k]));
    }
    if (m_time) {
        const int x = timelineColumn((*m_time)[0], (*m_time)[1]);
        p.setPen(QColor(0, 255, 255));
        p.drawLine(x, kTimelineTop, x, kTimelineBottom);
    }
}

// ---- event list --------------------------------------------------------------------------

LocalEventListPanel::LocalEventListPanel(const LocalSearchData& data, unsigned dateFormat,
                                         LocalPlayFn play, QWidget* parent)
    : QWidget(parent), m_lists(std::make_shared<EventLists>(sortEvents(localEvents(data)))),
      m_dateFormat(dateFormat), m_playFn(std::move(play)) {
    setObjectName("LocalEventListPanel");
    setAccessibleName(QStringLiteral("Event list"));
    const char* fallback[3] = {"Alarm", "Motion", "Audio"};
    for (int t = 0; t < 3; ++t) {
        auto* b = button(textOr(kEventTabText[t], fallback[t]), this, QRect(4 + t * 90, 6, 86, 26));
        b->setCheckable(true);
        connect(b, &QPushButton::clicked, this, [this, t] { selectTab(t); });
        m_tabs[t] = b;
    }
    m_list = new QTableWidget(0, 4, this);
    m_list->setAccessibleName(QStringLiteral("Events"));
    m_list->setHorizontalHeaderLabels({"No.", "Start", "End", "Channels"});
    m_list->verticalHeader()->hide();
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setGeometry(4, 38, 395, 340);
    m_list->setColumnWidth(0, 44);
    m_list->setColumnWidth(1, 130);
    m_list->setColumnWidth(2, 130);
    auto* playButton = button(textOr(kPlayText, "Play"), this, QRect(328, 386, 70, 26));
    connect(playButton, &QPushButton::clicked, this, &LocalEventListPanel::play);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this] { this->play(); });
    selectTab(initialEventTab(*m_lists, std::nullopt));
}

bool LocalEventListPanel::anyEvent() const {
    for (const auto& list : m_lists->byTab)
        if (!list.empty())
            return true;
    return false;
}

void LocalEventListPanel::selectTab(int tab) {
    m_tab = std::clamp(tab, 0, 2);
    for (int t = 0; t < 3; ++t)
        m_tabs[t]->setChecked(t == m_tab);
    const auto& events = m_lists->byTab[static_cast<std::size_t>(m_tab)];
    m_list->setRowCount(static_cast<int>(events.size()));
    for (int row = 0; row < static_cast<int>(events.size()); ++row) {
        const EventEntry& e = events[static_cast<std::size_t>(row)];
        m_list->setItem(row, 0, new QTableWidgetItem(QString::asprintf("%05d", row + 1)));
        m_list->setItem(
            row, 1,
            new QTableWidgetItem(QString::fromStdString(formatListTime(e.start, m_dateFormat))));
        m_list->setItem(
            row, 2,
            new QTableWidgetItem(QString::fromStdString(formatListTime(e.end, m_dateFormat))));
        m_list->setItem(row, 3,
                        new QTableWidgetItem(QString::fromStdString(channelColumn(e.channels))));
    }
    if (!events.empty())
        m_list->selectRow(0);
}

void LocalEventListPanel::play() {
    const auto& events = m_lists->byTab[static_cast<std::size_t>(m_tab)];
    const int row = m_list->currentRow();
    if (row < 0 || row >= static_cast<int>(events.size()) || !m_playFn)
        return;
    const EventEntry& e = events[static_cast<std::size_t>(row)];
    m_playFn({LocalPlayRequest::Kind::ExactSegment, e.start, e.end});
}

// ---- date and time -----------------------------------------------------------------------

LocalDateTimePanel::LocalDateTimePanel(std::uint32_t initial, LocalPlayFn play, QWidget* parent)
    : QWidget(parent), m_playFn(std::move(play)) {
    setObjectName("LocalDateTimePanel");
    setAccessibleName(QStringLiteral("Date and time"));
    auto* startLabel = new QLabel(textOr(5420, "Start"), this);
    startLabel->setGeometry(8, 40, 80, 24);
    m_start = new QDateTimeEdit(this);
    m_start->setGeometry(96, 40, 200, 26);
    m_start->setAccessibleName(startLabel->text());
    m_hasEnd = new QCheckBox(textOr(5421, "End"), this);
    m_hasEnd->setGeometry(8, 80, 80, 24);
    m_end = new QDateTimeEdit(this);
    m_end->setGeometry(96, 80, 200, 26);
    m_end->setAccessibleName(m_hasEnd->text());
    for (QDateTimeEdit* edit : {m_start, m_end}) {
        edit->setTimeSpec(Qt::UTC);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        edit->setCalendarPopup(true);
    }
    connect(m_hasEnd, &QCheckBox::toggled, m_end, &QWidget::setEnabled);
    auto* playButton = button(textOr(kPlayText, "Play"), this, QRect(328, 130, 70, 26));
    connect(playButton, &QPushButton::clicked, this, &LocalDateTimePanel::play);
    setPeriod(initial, std::nullopt);
}

void LocalDateTimePanel::setPeriod(std::uint32_t start, std::optional<std::uint32_t> end) {
    m_start->setDateTime(toDateTime(start));
    m_end->setDateTime(toDateTime(end.value_or(start + 3600)));
    m_hasEnd->setChecked(end.has_value());
    m_end->setEnabled(end.has_value());
}

void LocalDateTimePanel::play() {
    const auto start = encodeEntry(toCivil(m_start->dateTime()));
    if (!start || !m_playFn)
        return;
    const auto end = m_hasEnd->isChecked() ? encodeEntry(toCivil(m_end->dateTime())) : std::nullopt;
    // No end, or the end that stands for none: from the start on.
    if (!end || *end == kLocalNoEndTime || *end <= *start)
        m_playFn({LocalPlayRequest::Kind::StartOnly, *start, 0});
    else
        m_playFn({LocalPlayRequest::Kind::StartAndEnd, *start, *end});
}

} // namespace kalder
