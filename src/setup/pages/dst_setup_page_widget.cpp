#include "setup/pages/dst_setup_page_widget.h"

#include "net/trace.h"
#include "setup/pages/serial_page_controls.h"
#include "ui/theme.h"

#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <ctime>

namespace kalder {

namespace {

using C = DstSetupPageWidget::Control;

// The local wall clock now, in the recorder's clock form.
std::uint32_t localWallClock() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr)
        return static_cast<std::uint32_t>(now);
    const std::int64_t wall =
        encodeCivilTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                         local.tm_min, local.tm_sec});
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(wall, 0, 0xFFFFFFFFll));
}

bool isStart(C c) {
    return c >= C::StartMonth && c <= C::StartTime;
}

} // namespace

DstSetupPageWidget::DstSetupPageWidget(SetupWindow& window)
    : m_window(window), m_rules(regionalDstRules(window.context().tables)),
      m_base(localWallClock()) {
    setObjectName(QStringLiteral("dstSetupPage"));
    m_since.start();
    auto addLabel = [this](const QString& text, int x, int y, int w) {
        auto* label = new QLabel(text, this);
        label->setGeometry(x, y, w, 22);
        return label;
    };
    auto addButton = [this](C c, const QString& name, int x, int y, int w) {
        auto* b = new ValueButton(QStringLiteral("dst%1").arg(static_cast<int>(c)), name, this);
        b->setGeometry(x, y, w, 22);
        connect(b, &QPushButton::clicked, this, [this, c] { open(c); });
        m_buttons[static_cast<int>(c)] = b;
        return b;
    };
    addLabel(tr("Mode"), 10, 12, 80)->setBuddy(addButton(C::Mode, tr("DST mode"), 96, 12, 220));
    addLabel(tr("Rule form"), 10, 44, 80);
    m_weekForm = makeDialogButton(tr("Week"), this);
    m_weekForm->setObjectName(QStringLiteral("weekForm"));
    m_weekForm->setCheckable(true);
    m_weekForm->setGeometry(96, 42, 96, 24);
    connect(m_weekForm, &QPushButton::clicked, this, [this] { chooseForm(DstForm::Week); });
    m_dateForm = makeDialogButton(tr("Date"), this);
    m_dateForm->setObjectName(QStringLiteral("dateForm"));
    m_dateForm->setCheckable(true);
    m_dateForm->setGeometry(196, 42, 96, 24);
    connect(m_dateForm, &QPushButton::clicked, this, [this] { chooseForm(DstForm::Date); });
    for (int edge = 0; edge < 2; ++edge) {
        const int y = 84 + edge * 70;
        const QString which = edge == 0 ? tr("Start") : tr("End");
        addLabel(which, 10, y, 80);
        const int base =
            edge == 0 ? static_cast<int>(C::StartMonth) : static_cast<int>(C::EndMonth);
        addButton(static_cast<C>(base), which + tr(" month"), 96, y, 100);
        addButton(static_cast<C>(base + 1), which + tr(" week"), 200, y, 76);
        addButton(static_cast<C>(base + 2), which + tr(" weekday"), 280, y, 100);
        addButton(static_cast<C>(base + 3), which + tr(" day"), 200, y, 76);
        addLabel(tr("Time"), 96, y + 28, 60)
            ->setBuddy(addButton(static_cast<C>(base + 4), which + tr(" time"), 200, y + 28, 76));
    }
    addLabel(tr("Shift"), 10, 230, 80)
        ->setBuddy(addButton(C::Shift, tr("DST shift"), 200, 230, 76));
    addLabel(tr("Current time"), 10, 280, 100);
    m_clock = addLabel(QString(), 120, 280, 200);
    m_clock->setObjectName(QStringLiteral("currentTime"));
    m_clock->setAccessibleName(tr("Current time"));
    auto* tick = new QTimer(this);
    connect(tick, &QTimer::timeout, this, [this] {
        m_clock->setText(QString::fromStdString(formatRecorderTime(currentTime())));
    });
    tick->start(1000);
    refresh();
    // The recorder's own clock replaces the local one when it answers.
    if (window.context().requestRecorderTime) {
        trace("Send...DVR_TIME_REQ...\n");
        window.context().requestRecorderTime();
    }
}

std::uint32_t DstSetupPageWidget::currentTime() const {
    const std::int64_t t = std::int64_t(m_base) + m_since.elapsed() / 1000;
    return static_cast<std::uint32_t>(std::min<std::int64_t>(t, 0xFFFFFFFFll));
}

int DstSetupPageWidget::year() const {
    return decodeRecorderTime(currentTime()).year;
}

void DstSetupPageWidget::recorderTimeArrived(std::uint32_t time) {
    const std::optional<std::uint32_t> clock =
        recorderClockForPage(time, standardTimeZoneOffsetSeconds(std::time(nullptr)));
    if (!clock)
        return; // 0: no time
    m_base = *clock;
    m_since.restart();
    refresh();
}

void DstSetupPageWidget::open(Control control) {
    const DstSettings dst = readDst(m_window.record());
    if (control == C::StartTime || control == C::EndTime || control == C::Shift) {
        const DstMoment& m = control == C::StartTime ? dst.start : dst.end;
        const int hour = static_cast<int>(control == C::Shift ? dst.shiftHours : m.hour);
        const int minute = static_cast<int>(control == C::Shift ? dst.shiftMinutes : m.minute);
        m_window.openTimeChooser(button(control), std::min(hour, 23), std::min(minute, 59), 0,
                                 [this, control](int h, int m, int) { chooseTime(control, h, m); });
        return;
    }
    std::vector<std::string> entries;
    int width = 110;
    bool columns = false;
    switch (control) {
    case C::Mode:
        entries = dstModeEntries(m_rules);
        width = 220;
        break;
    case C::StartMonth:
    case C::EndMonth:
        entries = dstMonthEntries();
        break;
    case C::StartWeek:
    case C::EndWeek:
        entries = dstWeekEntries();
        break;
    case C::StartWeekday:
    case C::EndWeekday:
        entries = dstWeekdayEntries();
        break;
    default: { // a day of the month, in the page's year
        const DstMoment& m = isStart(control) ? dst.start : dst.end;
        for (unsigned d = 1; d <= lastDayOfMonth(year(), m.month % 12); ++d)
            entries.push_back(std::to_string(d));
        width = 240;
        columns = true;
        break;
    }
    }
    m_window.openListChooser(button(control), toStringList(entries), width, columns,
                             [this, control](int entry) { choose(control, entry); });
}

void DstSetupPageWidget::choose(Control control, int entry) {
    if (entry < 0)
        return;
    ConfigRecord& record = m_window.record();
    const auto e = static_cast<unsigned>(entry);
    const DstEdge edge = isStart(control) ? DstEdge::Start : DstEdge::End;
    switch (control) {
    case C::Mode:
        if (e >= dstModeEntries(m_rules).size())
            return;
        setDstMode(record, e);
        break;
    case C::StartMonth:
    case C::EndMonth:
        setDstMonth(record, edge, e, year());
        break;
    case C::StartWeek:
    case C::EndWeek:
        setDstWeek(record, edge, e, year());
        break;
    case C::StartWeekday:
    case C::EndWeekday:
        setDstWeekday(record, edge, e, year());
        break;
    case C::StartDay:
    case C::EndDay:
        setDstDay(record, edge, e, year());
        break;
    default:
        return;
    }
    m_changed = true;
    refresh();
}

void DstSetupPageWidget::chooseTime(Control control, int hour, int minute) {
    if (hour < 0 || minute < 0)
        return;
    ConfigRecord& record = m_window.record();
    if (control == C::Shift)
        setDstShift(record, static_cast<unsigned>(hour), static_cast<unsigned>(minute));
    else if (control == C::StartTime || control == C::EndTime)
        setDstTime(record, control == C::StartTime ? DstEdge::Start : DstEdge::End,
                   static_cast<unsigned>(hour), static_cast<unsigned>(minute));
    else
        return;
    m_changed = true;
    refresh();
}

void DstSetupPageWidget::chooseForm(DstForm form) {
    setDstForm(m_window.record(), form, year());
    m_changed = true;
    refresh();
}

void DstSetupPageWidget::refresh() {
    const DstSettings dst = readDst(m_window.record());
    const auto modes = dstModeEntries(m_rules);
    button(C::Mode)->setValueText(dst.mode < modes.size() ? modes[dst.mode] : std::string("-"));
    const bool week = dst.form == DstForm::Week;
    m_weekForm->setChecked(week);
    m_dateForm->setChecked(!week);
    const auto months = dstMonthEntries();
    const auto weeks = dstWeekEntries();
    const auto weekdays = dstWeekdayEntries();
    auto textOf = [](const std::vector<std::string>& list, unsigned i) {
        return i < list.size() ? list[i] : std::string("-");
    };
    for (int edge = 0; edge < 2; ++edge) {
        const DstMoment& m = edge == 0 ? dst.start : dst.end;
        const int base =
            edge == 0 ? static_cast<int>(C::StartMonth) : static_cast<int>(C::EndMonth);
        m_buttons[base]->setValueText(textOf(months, m.month));
        m_buttons[base + 1]->setValueText(textOf(weeks, m.week));
        m_buttons[base + 2]->setValueText(textOf(weekdays, m.weekday));
        m_buttons[base + 3]->setValueText(std::to_string(m.day + 1));
        m_buttons[base + 4]->setValueText(dstTimeText(m.hour, m.minute));
        m_buttons[base + 1]->setVisible(week);
        m_buttons[base + 2]->setVisible(week);
        m_buttons[base + 3]->setVisible(!week);
    }
    button(C::Shift)->setValueText(dstTimeText(dst.shiftHours, dst.shiftMinutes));
    m_clock->setText(QString::fromStdString(formatRecorderTime(currentTime())));
}

bool DstSetupPageWidget::askOperator() {
    // On the heap: if the window ends while the box is open, the page and the box go with it.
    QPointer<QMessageBox> box = new QMessageBox(
        QMessageBox::Question, tr("DST Setup"),
        tr("The daylight saving time ends within the shift. Is daylight saving time still in "
           "force?"),
        QMessageBox::Ok | QMessageBox::Cancel, this);
    box->setObjectName(QStringLiteral("dstQuestion"));
    const int answer = box->exec();
    const bool ok = box && box->clickedButton() == box->button(QMessageBox::Ok);
    delete box;
    return answer != 0 && ok;
}

void DstSetupPageWidget::pageLeaving() {
    if (!dstQuestionNeeded(readDst(m_window.record()), m_changed,
                           decodeRecorderTime(currentTime())))
        return;
    QPointer<DstSetupPageWidget> self(this);
    const bool inForce = m_ask ? m_ask() : askOperator();
    if (!self)
        return; // the window ended while the question was open
    setDstInForce(m_window.record(), inForce);
    m_changed = false;
}

} // namespace kalder
