#include "local/local_search_panels.h"

#include "ui/resource_fallbacks.h"
#include "resources/resource_library.h"
#include "ui/search_rules.h"
#include "ui/search_look.h"
#include "wire/recorder_time.h"

#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTableWidget>

#include <ctime>

namespace kalder {

namespace {

constexpr int kPlayText = 5563;
constexpr int kEventTabText[3] = {5130, 5131, 5030}; // Alarm, Motion, Audio
constexpr int kLegendText[6] = {5208, 5130, 5131, 5209, 5132, 5210};
constexpr int kChannelText = 5152;
const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const QString kRecordedDayStyle =
    QStringLiteral("background-color: rgb(70, 140, 210); color: white;");

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

QStringList numberItems(int first, int last, const char* format) {
    QStringList items;
    for (int v = first; v <= last; ++v)
        items << QString::asprintf(format, v);
    return items;
}

} // namespace

// ---- calendar ----------------------------------------------------------------------------

LocalDayButton::LocalDayButton(int day, QWidget* parent)
    : QPushButton(QString::asprintf("%d", day), parent) {
    setAccessibleName(QString::asprintf("Day %d", day));
    setAutoDefault(false);
}

void LocalDayButton::setKindMask(std::uint32_t mask) {
    m_kindMask = mask;
    update();
}

void LocalDayButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    const std::vector<int> kinds = dayKindMarks(m_kindMask);
    if (kinds.empty())
        return;
    // One small square per recorded kind along the cell's bottom edge, in the timeline's colours.
    static const std::array<QColor, 6> colours = recordingKindColours();
    QPainter p(this);
    const int size = 6, gap = 2;
    int x = width() - 4 - static_cast<int>(kinds.size()) * (size + gap) + gap;
    for (int kind : kinds) {
        const QRect mark(x, height() - size - 3, size, size);
        p.fillRect(mark, colours[static_cast<std::size_t>(kind)]);
        p.setPen(QColor(20, 24, 32));
        p.drawRect(mark.adjusted(0, 0, -1, -1));
        x += size + gap;
    }
}

LocalCalendarPanel::LocalCalendarPanel(const LocalSearchData& data, DateFieldPopups& popups,
                                       std::function<void(int, int, int)> openDay,
                                       std::function<void()> noData, QWidget* parent)
    : QWidget(parent), m_data(data), m_popups(popups), m_openDay(std::move(openDay)),
      m_noData(std::move(noData)), m_years(localYears(data)) {
    setObjectName("LocalCalendarPanel");
    setAccessibleName(QStringLiteral("Calendar"));
    auto* yearLabel = new QLabel(QStringLiteral("Year"), this);
    yearLabel->setGeometry(4, 6, 40, 24);
    // The year field opens the list of years 2000-2037.
    m_yearField = button(QString(), this, QRect(48, 6, 90, 24));
    m_yearField->setAccessibleName(QStringLiteral("Year"));
    yearLabel->setBuddy(m_yearField);
    connect(m_yearField, &QPushButton::clicked, this, [this] {
        m_popups.openList(m_yearField, numberItems(kFirstSearchYear, kLastSearchYear, "%d"), 4, 210,
                          [this](int index) { chooseYear(kFirstSearchYear + index); });
    });
    for (int m = 1; m <= 12; ++m) {
        auto* b = button(QString::fromLatin1(kMonthNames[m - 1]), this,
                         QRect(4 + ((m - 1) % 6) * 66, 36 + ((m - 1) / 6) * 28, 62, 24));
        b->setCheckable(true);
        showCheckedLook(b);
        connect(b, &QPushButton::clicked, this, [this, m] { chooseMonth(m); });
        m_months[m - 1] = b;
    }
    addWeekdayHeader(this, 92);
    for (int d = 1; d <= 31; ++d) {
        auto* b = new LocalDayButton(d, this);
        b->hide();
        connect(b, &QPushButton::clicked, this, [this, d] { chooseDay(d); });
        m_days[d - 1] = b;
    }
    reload(decodeRecorderTime(std::uint32_t(std::time(nullptr))).year);
}

void LocalCalendarPanel::reload(int currentYear) {
    const auto start = calendarStart(m_years, currentYear);
    if (!start) {
        m_year = std::clamp(currentYear, kFirstSearchYear, kLastSearchYear);
        m_month = 1;
        m_local = buildLocalYear(m_data, m_year);
        m_yearField->setText(QString::asprintf("%d", m_year));
        showMonths(false);
        layoutDays();
        if (m_noData)
            m_noData();
        return;
    }
    m_year = start->year;
    m_month = start->month;
    m_local = buildLocalYear(m_data, m_year);
    m_yearField->setText(QString::asprintf("%d", m_year));
    showMonths(true);
    layoutDays();
}

void LocalCalendarPanel::chooseYear(int year) {
    m_year = std::clamp(year, kFirstSearchYear, kLastSearchYear);
    m_yearField->setText(QString::asprintf("%d", m_year));
    m_local = buildLocalYear(m_data, m_year);
    const auto months = enabledMonths(&m_local.availability);
    // The latest month with recordings; month 1 with every month disabled when there is none.
    const std::optional<int> latest = latestEnabledMonth(months);
    m_month = latest.value_or(1);
    showMonths(latest.has_value());
    layoutDays();
}

void LocalCalendarPanel::showMonths(bool anyEnabled) {
    const auto months = enabledMonths(&m_local.availability);
    for (int m = 1; m <= 12; ++m) {
        m_months[m - 1]->setEnabled(anyEnabled && months[m - 1]);
        m_months[m - 1]->setChecked(m == m_month);
    }
}

void LocalCalendarPanel::chooseMonth(int month) {
    if (month < 1 || month > 12 || month == m_month || !m_months[month - 1]->isEnabled()) {
        for (int m = 1; m <= 12; ++m)
            m_months[m - 1]->setChecked(m == m_month);
        return;
    }
    m_month = month;
    showMonths(true);
    layoutDays();
}

void LocalCalendarPanel::chooseDay(int day) {
    if (dayRecorded(day) && m_openDay)
        m_openDay(m_year, m_month, day);
}

bool LocalCalendarPanel::dayRecorded(int day) const {
    return m_local.availability.dayRecorded(m_month, day);
}

void LocalCalendarPanel::layoutDays() {
    const int weekday = firstWeekday(m_year, m_month);
    const int length = daysInMonth(m_year, m_month);
    for (int d = 1; d <= 31; ++d) {
        LocalDayButton* b = m_days[d - 1];
        if (d > length) {
            b->hide();
            continue;
        }
        const CalendarCell cell = dayCell(weekday, d);
        b->setGeometry(cell.x, cell.y, cell.width, cell.height);
        const bool recorded = dayRecorded(d);
        // Recorded days stand out; the others stay visible but choose nothing.
        b->setEnabled(recorded);
        QFont f = font();
        f.setBold(recorded);
        b->setFont(f);
        b->setStyleSheet(recorded ? kRecordedDayStyle : QString());
        const auto kinds = m_local.kindMasks.find({m_month, d});
        b->setKindMask(kinds == m_local.kindMasks.end() ? 0 : kinds->second);
        b->show();
    }
}

// ---- timeline ----------------------------------------------------------------------------

LocalTimelinePanel::LocalTimelinePanel(int year, int month, int day,
                                       std::vector<DaySegment> segments, unsigned dateFormat,
                                       DateFieldPopups& popups, LocalPlayFn play,
                                       std::function<void()> prev, QWidget* parent)
    : QWidget(parent), m_year(year), m_month(month), m_day(day), m_segments(std::move(segments)),
      m_popups(popups), m_playFn(std::move(play)) {
    setObjectName("LocalTimelinePanel");
    setAccessibleName(QStringLiteral("Day timeline"));
    setMouseTracking(true);
    auto* date =
        new QLabel(QString::fromStdString(formatPanelDate(year, month, day, dateFormat)), this);
    date->setGeometry(8, 8, 150, 22);
    // The time field shows the chosen time and opens the time pop-up.
    m_timeField = button(QString(), this, QRect(8, 32, 110, 22));
    m_timeField->setFlat(true);
    m_timeField->setAccessibleName(QStringLiteral("Time"));
    connect(m_timeField, &QPushButton::clicked, this, [this] {
        const std::array<int, 3> t = m_time.value_or(std::array<int, 3>{});
        m_popups.openTime(m_timeField, t[0], t[1], t[2],
                          [this](int h, int m, int s) { setTime(h, m, s); });
    });
    auto* prevButton = button(QStringLiteral("Prev"), this, QRect(252, 6, 70, 24));
    connect(prevButton, &QPushButton::clicked, this, [prev = std::move(prev)] {
        if (prev)
            prev();
    });
    m_play = button(resourceTextOr(kPlayText, "Play"), this, QRect(328, 6, 70, 24));
    connect(m_play, &QPushButton::clicked, this, &LocalTimelinePanel::play);
}

void LocalTimelinePanel::setTime(int hour, int minute, int second) {
    m_time = std::array<int, 3>{hour, minute, second};
    m_timeField->setText(QString::asprintf("%02d : %02d : %02d", hour, minute, second));
    update();
}

void LocalTimelinePanel::chooseAt(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (insideTimelineGrid(p.x(), p.y())) {
        const TimeOfDay t = timeAtColumn(p.x());
        setTime(t.hour, t.minute, t.second);
    }
}

void LocalTimelinePanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        chooseAt(event);
}

void LocalTimelinePanel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    setCursor(insideTimelineGrid(p.x(), p.y()) ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (event->buttons() & Qt::LeftButton)
        chooseAt(event);
}

void LocalTimelinePanel::play() {
    // No time chosen: the day from its start.
    const std::array<int, 3> t = m_time.value_or(std::array<int, 3>{});
    const auto start = encodeEntry({m_year, m_month, m_day, t[0], t[1], t[2]});
    if (start && m_playFn)
        m_playFn({LocalPlayRequest::Kind::StartOnly, *start, 0});
}

std::optional<LocalExportPeriod> LocalTimelinePanel::exportPeriod() const {
    const std::array<int, 3> t = m_time.value_or(std::array<int, 3>{});
    const auto from = encodeEntry({m_year, m_month, m_day, t[0], t[1], t[2]});
    const auto to = encodeEntry({m_year, m_month, m_day, 23, 59, 59});
    if (!from || !to)
        return std::nullopt;
    return LocalExportPeriod{*from, *to};
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
    const QByteArray prefix = resourceText(kChannelText).toLatin1();
    for (int n = 0; n < 16; ++n)
        p.drawText(QRect(50, timelineBarTop(n) - 5, 58, 18), Qt::AlignRight | Qt::AlignVCenter,
                   QString::asprintf("%s%02d", prefix.constData(), n + 1));
    const std::array<QColor, 6> colours = recordingKindColours();
    // Every channel counts here: no channel selection exists without a recorder.
    for (const TimelineBar& bar : timelineBars(m_segments, 0xFFFF))
        p.fillRect(QRect(QPoint(bar.x0, timelineBarTop(bar.channel)),
                         QPoint(std::max(bar.x0, bar.x1), timelineBarBottom(bar.channel))),
                   colours[static_cast<std::size_t>(bar.kind)]);
    for (int k = 0; k < 6; ++k) {
        const int x = 8 + (k % 3) * 130, y = 384 + (k / 3) * 16;
        p.fillRect(QRect(x, y + 2, 12, 10), colours[static_cast<std::size_t>(k)]);
        p.setPen(text);
        p.drawText(QRect(x + 16, y, 110, 14), Qt::AlignLeft | Qt::AlignVCenter,
                   resourceText(kLegendText[k]));
    }
    // The time cursor, drawn with XOR so that it shows on every bar.
    if (m_time) {
        const int x = timelineColumn((*m_time)[0], (*m_time)[1]);
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
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
        auto* b = button(resourceTextOr(kEventTabText[t], fallback[t]), this,
                         QRect(4 + t * 90, 6, 86, 26));
        b->setCheckable(true);
        showCheckedLook(b);
        connect(b, &QPushButton::clicked, this, [this, t] { selectTab(t); });
        m_tabs[t] = b;
    }
    m_list = new QTableWidget(0, 3, this);
    m_list->setAccessibleName(QStringLiteral("Events"));
    m_list->setHorizontalHeaderLabels({"Start", "End", "Channels"});
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(21);
    m_list->setShowGrid(true);
    m_list->horizontalHeader()->setStretchLastSection(true);
    QPalette listPalette = m_list->palette();
    listPalette.setColor(QPalette::Text, QColor(60, 60, 120));
    listPalette.setColor(QPalette::Base, Qt::white);
    m_list->setPalette(listPalette);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setGeometry(4, 38, 395, 340);
    m_list->setColumnWidth(0, 135);
    m_list->setColumnWidth(1, 135);
    m_play = button(resourceTextOr(kPlayText, "Play"), this, QRect(328, 386, 70, 24));
    connect(m_play, &QPushButton::clicked, this, &LocalEventListPanel::play);
    connect(m_list, &QTableWidget::itemSelectionChanged, this,
            &LocalEventListPanel::updatePlayEnabled);
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
    m_list->clearContents();
    m_list->setRowCount(static_cast<int>(events.size()));
    for (int row = 0; row < static_cast<int>(events.size()); ++row) {
        const EventEntry& e = events[static_cast<std::size_t>(row)];
        m_list->setItem(
            row, 0,
            new QTableWidgetItem(QString::fromStdString(formatListTime(e.start, m_dateFormat))));
        m_list->setItem(
            row, 1,
            new QTableWidgetItem(QString::fromStdString(formatListTime(e.end, m_dateFormat))));
        m_list->setItem(row, 2,
                        new QTableWidgetItem(QString::fromStdString(channelColumn(e.channels))));
    }
    updatePlayEnabled();
}

void LocalEventListPanel::updatePlayEnabled() {
    m_play->setEnabled(!m_list->selectionModel()->selectedRows().isEmpty());
}

void LocalEventListPanel::play() {
    const auto& events = m_lists->byTab[static_cast<std::size_t>(m_tab)];
    const auto rows = m_list->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? -1 : rows.front().row();
    if (row < 0 || row >= static_cast<int>(events.size()) || !m_playFn)
        return;
    const EventEntry& e = events[static_cast<std::size_t>(row)];
    m_playFn({LocalPlayRequest::Kind::ExactSegment, e.start, e.end});
}

std::optional<LocalExportPeriod> LocalEventListPanel::exportPeriod() const {
    const auto& events = m_lists->byTab[static_cast<std::size_t>(m_tab)];
    const auto rows = m_list->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? -1 : rows.front().row();
    if (row < 0 || row >= static_cast<int>(events.size()))
        return std::nullopt;
    const EventEntry& e = events[static_cast<std::size_t>(row)];
    return LocalExportPeriod{e.start, e.end};
}

// ---- date and time -----------------------------------------------------------------------

LocalDateTimePanel::LocalDateTimePanel(std::uint32_t initial, unsigned dateFormat,
                                       DateFieldPopups& popups, LocalPlayFn play, QWidget* parent)
    : QWidget(parent), m_popups(popups), m_playFn(std::move(play)) {
    setObjectName("LocalDateTimePanel");
    setAccessibleName(QStringLiteral("Date and time"));
    buildRow(0, 20, resourceTextOr(5420, "Start"), dateFormat);
    buildRow(1, 80, resourceTextOr(5421, "End"), dateFormat);
    const CivilTime start = decodeRecorderTime(initial);
    setEntry(0, {start.year, start.month, start.day, start.hour, start.minute, start.second});
    setEntry(1, {kLastSearchYear, 12, 31, 23, 59, 59}); // no end
    m_play = button(resourceTextOr(kPlayText, "Play"), this, QRect(328, 140, 70, 24));
    connect(m_play, &QPushButton::clicked, this, &LocalDateTimePanel::play);
}

QPushButton* LocalDateTimePanel::field(int row, int part) const {
    return m_rows[static_cast<std::size_t>(row)].fields[static_cast<std::size_t>(part)];
}

void LocalDateTimePanel::buildRow(int index, int y, const QString& caption, unsigned dateFormat) {
    Row& row = m_rows[static_cast<std::size_t>(index)];
    auto* label = new QLabel(caption, this);
    label->setGeometry(4, y, 50, 24);
    const char* names[4] = {"year", "month", "day", "time"};
    for (std::size_t part = 0; part < 4; ++part) {
        auto* b = new QPushButton(this);
        b->setAccessibleName(caption + QStringLiteral(" ") + QString::fromLatin1(names[part]));
        b->setAutoDefault(false);
        row.fields[part] = b;
    }
    placeDateRowFields(row.fields[0], row.fields[1], row.fields[2], row.fields[3], dateFormat, y);

    auto rowAt = [this, index]() -> Row& { return m_rows[static_cast<std::size_t>(index)]; };
    connect(row.fields[0], &QPushButton::clicked, this, [this, rowAt] {
        m_popups.openList(rowAt().fields[0], numberItems(kFirstSearchYear, kLastSearchYear, "%04d"),
                          4, 210, [this, rowAt](int i) {
                              rowAt().value.year = kFirstSearchYear + i;
                              clampDay(rowAt());
                          });
    });
    connect(row.fields[1], &QPushButton::clicked, this, [this, rowAt] {
        m_popups.openList(rowAt().fields[1], numberItems(1, 12, "%02d"), 1, 50,
                          [this, rowAt](int i) {
                              rowAt().value.month = i + 1;
                              clampDay(rowAt());
                          });
    });
    connect(row.fields[2], &QPushButton::clicked, this, [this, rowAt] {
        const CivilTime& v = rowAt().value;
        m_popups.openList(rowAt().fields[2], numberItems(1, daysInMonth(v.year, v.month), "%02d"),
                          4, 180, [this, rowAt](int i) {
                              rowAt().value.day = i + 1;
                              showRow(rowAt());
                          });
    });
    connect(row.fields[3], &QPushButton::clicked, this, [this, rowAt] {
        const CivilTime& v = rowAt().value;
        m_popups.openTime(rowAt().fields[3], v.hour, v.minute, v.second,
                          [this, rowAt](int h, int m, int s) {
                              CivilTime& chosen = rowAt().value;
                              chosen.hour = h;
                              chosen.minute = m;
                              chosen.second = s;
                              showRow(rowAt());
                          });
    });
}

void LocalDateTimePanel::clampDay(Row& row) {
    row.value.day = std::min(row.value.day, daysInMonth(row.value.year, row.value.month));
    showRow(row);
}

void LocalDateTimePanel::showRow(const Row& row) {
    row.fields[0]->setText(QString::asprintf("%04d.", row.value.year));
    row.fields[1]->setText(QString::asprintf("%02d.", row.value.month));
    row.fields[2]->setText(QString::asprintf("%02d.", row.value.day));
    row.fields[3]->setText(QString::asprintf("%02d : %02d : %02d", row.value.hour, row.value.minute,
                                             row.value.second));
}

void LocalDateTimePanel::setEntry(int index, const CivilTime& entry) {
    Row& row = m_rows[static_cast<std::size_t>(std::clamp(index, 0, 1))];
    row.value = entry;
    row.value.year = std::clamp(entry.year, kFirstSearchYear, kLastSearchYear);
    row.value.month = std::clamp(entry.month, 1, 12);
    row.value.day = std::max(entry.day, 1);
    row.value.hour = std::clamp(entry.hour, 0, 23);
    row.value.minute = std::clamp(entry.minute, 0, 59);
    row.value.second = std::clamp(entry.second, 0, 59);
    clampDay(row);
}

void LocalDateTimePanel::play() {
    const auto start = encodeEntry(entry(0));
    if (!start || !m_playFn)
        return;
    m_playFn(dateTimePlayRequest(*start, entry(1), encodeEntry(entry(1))));
}

std::optional<LocalExportPeriod> LocalDateTimePanel::exportPeriod() const {
    const auto start = encodeEntry(entry(0));
    if (!start)
        return std::nullopt;
    const LocalPlayRequest r = dateTimePlayRequest(*start, entry(1), encodeEntry(entry(1)));
    return LocalExportPeriod{r.start, r.kind == LocalPlayRequest::Kind::StartAndEnd ? r.end : 0};
}

} // namespace kalder
