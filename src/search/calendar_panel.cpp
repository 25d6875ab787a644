#include "search/calendar_panel.h"

#include "ui/search_rules.h"
#include "ui/search_look.h"
#include "search/search_flow.h"
#include "search/search_window.h"

#include <QDate>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace kalder {

namespace {

const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

CalendarPanel::CalendarPanel(SearchWindow& window, QWidget* parent)
    : QWidget(parent), m_window(window) {
    setObjectName("CalendarPanel");
    auto* yearLabel = new QLabel(QStringLiteral("Year"), this);
    yearLabel->setGeometry(4, 6, 40, 24);
    // The year label opens the list of years 2000-2037.
    m_yearField = new QPushButton(this);
    m_yearField->setGeometry(48, 6, 90, 24);
    m_yearField->setAccessibleName(QStringLiteral("Year"));
    m_yearField->setAutoDefault(false);
    yearLabel->setBuddy(m_yearField);
    connect(m_yearField, &QPushButton::clicked, this, [this] {
        if (m_window.requestPending())
            return;
        const int first = m_floor ? std::clamp(m_floor->year, kFirstSearchYear, kLastSearchYear)
                                  : kFirstSearchYear;
        QStringList years;
        for (int y = first; y <= kLastSearchYear; ++y)
            years << QString::asprintf("%d", y);
        m_window.openListPopup(m_yearField, years, 4, 210,
                               [this, first](int index) { chooseYear(first + index); });
    });

    for (int m = 1; m <= 12; ++m) {
        auto* b = new QPushButton(QString::fromLatin1(kMonthNames[m - 1]), this);
        b->setAccessibleName(QString::fromLatin1(kMonthNames[m - 1]));
        b->setCheckable(true);
        showCheckedLook(b);
        b->setAutoDefault(false);
        b->setGeometry(4 + ((m - 1) % 6) * 66, 36 + ((m - 1) / 6) * 28, 62, 24);
        connect(b, &QPushButton::clicked, this, [this, m] { chooseMonth(m); });
        m_months[m - 1] = b;
    }
    addWeekdayHeader(this, 92);
    for (int d = 1; d <= 31; ++d) {
        auto* b = new QPushButton(QString::asprintf("%d", d), this);
        b->setAccessibleName(QString::asprintf("Day %d", d));
        b->setAutoDefault(false);
        b->hide();
        connect(b, &QPushButton::clicked, this, [this, d] { chooseDay(d); });
        m_days[d - 1] = b;
    }
}

void CalendarPanel::reload() {
    m_floor.reset();
    const int current = QDate::currentDate().year();
    const auto start = calendarStart(m_window.years(), current);
    if (!start) {
        m_window.postNotification({4, 0}); // no recorded data
        m_year =
            current < kFirstSearchYear || current > kLastSearchYear ? kLastSearchYear : current;
        m_month = 1;
        m_yearField->setText(QString::asprintf("%d", m_year));
        showMonths(false);
        layoutDays();
        return;
    }
    m_year = start->year;
    m_month = start->month;
    m_yearField->setText(QString::asprintf("%d", m_year));
    showMonths(true);
    layoutDays();
}

void CalendarPanel::openAt(int year, int month, std::optional<CalendarDay> floor) {
    m_floor = floor;
    m_year = year;
    m_month = month;
    m_yearField->setText(QString::asprintf("%d", m_year));
    const auto months = enabledMonths(findYear(m_window.years(), m_year), m_floor);
    showMonths(std::find(months.begin(), months.end(), true) != months.end());
    layoutDays();
}

void CalendarPanel::chooseYear(int year) {
    if (m_window.requestPending()) {
        m_yearField->setText(QString::asprintf("%d", m_year));
        return;
    }
    m_year = year;
    m_yearField->setText(QString::asprintf("%d", year));
    const auto months = enabledMonths(findYear(m_window.years(), year), m_floor);
    const std::optional<int> latest = latestEnabledMonth(months);
    m_month = latest.value_or(1);
    showMonths(latest.has_value());
    layoutDays();
}

void CalendarPanel::showMonths(bool anyEnabled) {
    const auto months = enabledMonths(findYear(m_window.years(), m_year), m_floor);
    for (int m = 1; m <= 12; ++m) {
        m_months[m - 1]->setEnabled(anyEnabled && months[m - 1]);
        m_months[m - 1]->setChecked(m == m_month);
    }
}

void CalendarPanel::chooseMonth(int month) {
    const bool enabled = m_months[month - 1]->isEnabled();
    if (month == m_month || !enabled || m_window.requestPending()) {
        for (int m = 1; m <= 12; ++m)
            m_months[m - 1]->setChecked(m == m_month);
        return;
    }
    m_month = month;
    showMonths(true);
    layoutDays();
}

bool CalendarPanel::dayHighlighted(int day) const {
    return dayOffered(findYear(m_window.years(), m_year), m_month, day, m_floor);
}

void CalendarPanel::layoutDays() {
    const int weekday = firstWeekday(m_year, m_month);
    const int length = daysInMonth(m_year, m_month);
    for (int d = 1; d <= 31; ++d) {
        QPushButton* b = m_days[d - 1];
        if (d > length) {
            b->hide();
            continue;
        }
        const CalendarCell cell = dayCell(weekday, d);
        b->setGeometry(cell.x, cell.y, cell.width, cell.height);
        const bool recorded = dayHighlighted(d);
        // Recorded days stand out; the others stay visible but choose nothing.
        b->setEnabled(recorded);
        QFont f = font();
        f.setBold(recorded);
        b->setFont(f);
        b->setStyleSheet(recorded ? QStringLiteral("background-color: rgb(70, 140, 210); "
                                                   "color: white;")
                                  : QString());
        // A cleared style sheet leaves the palette it saved behind: take the window's again, or
        // a day highlighted before shows light on the dark panel.
        if (!recorded)
            b->setPalette(QPalette());
        b->show();
    }
}

void CalendarPanel::chooseDay(int day) {
    if (m_window.requestPending() || !dayHighlighted(day))
        return;
    dayChosen(m_year, m_month, day);
}

void CalendarPanel::dayChosen(int year, int month, int day) {
    m_window.searchFlow().requestDay(year, month, day);
}

} // namespace kalder
