#include "search/backup_date_time_panel.h"

#include "search/date_time_panel.h"
#include "ui/search_look.h"
#include "ui/search_rules.h"
#include "search/search_window.h"

#include "session/recorder_session.h"
#include "wire/search_records.h"

#include <QDate>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <tuple>

namespace kalder {

bool backupPeriodOrdered(const CivilTime& start, const CivilTime& end) {
    auto key = [](const CivilTime& t) {
        return std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second);
    };
    return key(start) < key(end);
}

BackupDateTimePanel::BackupDateTimePanel(SearchWindow& window, QWidget* parent)
    : BackupPeriodPanel(window, parent) {
    setObjectName("BackupDateTimePanel");
    buildRow(0, 20, QStringLiteral("Start"));
    buildRow(1, 80, QStringLiteral("End"));
    const QDate today = QDate::currentDate();
    m_rows[0].value = {today.year(), today.month(), today.day(), 0, 0, 0};
    m_rows[1].value = {today.year(), today.month(), today.day(), 23, 59, 59};
    showRow(m_rows[0]);
    showRow(m_rows[1]);

    placeSizeRow(140);
}

void BackupDateTimePanel::buildRow(int index, int y, const QString& caption) {
    Row& row = m_rows[index];
    auto* label = new QLabel(caption, this);
    label->setGeometry(4, y, 50, 24);
    auto field = [&](const QString& name) {
        auto* b = new QPushButton(this);
        b->setAccessibleName(QStringLiteral("Backup ") + caption.toLower() + QStringLiteral(" ") +
                             name);
        b->setAutoDefault(false);
        return b;
    };
    row.year = field(QStringLiteral("year"));
    row.month = field(QStringLiteral("month"));
    row.day = field(QStringLiteral("day"));
    row.time = field(QStringLiteral("time"));
    placeDateRowFields(row.year, row.month, row.day, row.time, m_window.dateFormat(), y);

    // Each field proposes a changed entry; setEntry takes it or leaves the field as it was.
    auto propose = [this, index](auto change) {
        CivilTime value = m_rows[index].value;
        change(value);
        value.day = std::min(value.day, daysInMonth(value.year, value.month));
        setEntry(index, value);
    };
    connect(row.year, &QPushButton::clicked, this, [this, index, propose] {
        QStringList items;
        for (int v = kFirstSearchYear; v <= kLastSearchYear; ++v)
            items << QString::asprintf("%04d", v);
        m_window.openListPopup(m_rows[index].year, items, 4, 210, [propose](int i) {
            propose([i](CivilTime& v) { v.year = kFirstSearchYear + i; });
        });
    });
    connect(row.month, &QPushButton::clicked, this, [this, index, propose] {
        QStringList items;
        for (int v = 1; v <= 12; ++v)
            items << QString::asprintf("%02d", v);
        m_window.openListPopup(m_rows[index].month, items, 1, 50, [propose](int i) {
            propose([i](CivilTime& v) { v.month = i + 1; });
        });
    });
    connect(row.day, &QPushButton::clicked, this, [this, index, propose] {
        const CivilTime& v = m_rows[index].value;
        QStringList items;
        for (int d = 1; d <= daysInMonth(v.year, v.month); ++d)
            items << QString::asprintf("%02d", d);
        m_window.openListPopup(m_rows[index].day, items, 4, 180,
                               [propose](int i) { propose([i](CivilTime& v) { v.day = i + 1; }); });
    });
    connect(row.time, &QPushButton::clicked, this, [this, index, propose] {
        const CivilTime& v = m_rows[index].value;
        m_window.openTimePopup(m_rows[index].time, v.hour, v.minute, v.second,
                               [propose](int h, int m, int s) {
                                   propose([=](CivilTime& v) {
                                       v.hour = h;
                                       v.minute = m;
                                       v.second = s;
                                   });
                               });
    });
}

void BackupDateTimePanel::showRow(const Row& row) {
    row.year->setText(QString::asprintf("%04d.", row.value.year));
    row.month->setText(QString::asprintf("%02d.", row.value.month));
    row.day->setText(QString::asprintf("%02d.", row.value.day));
    row.time->setText(QString::asprintf("%02d : %02d : %02d", row.value.hour, row.value.minute,
                                        row.value.second));
}

bool BackupDateTimePanel::setEntry(int index, const CivilTime& entry) {
    if (index < 0 || index > 1)
        return false;
    CivilTime value = entry;
    value.year = std::clamp(value.year, kFirstSearchYear, kLastSearchYear);
    value.month = std::clamp(value.month, 1, 12);
    value.day = std::clamp(value.day, 1, daysInMonth(value.year, value.month));
    const CivilTime& start = index == 0 ? value : m_rows[0].value;
    const CivilTime& end = index == 1 ? value : m_rows[1].value;
    if (!backupPeriodOrdered(start, end)) {
        showRow(m_rows[index]); // the field keeps its value
        return false;
    }
    m_rows[index].value = value;
    showRow(m_rows[index]);
    periodChanged();
    return true;
}

std::optional<BackupRequest> BackupDateTimePanel::request() const {
    const auto start = encodeOperatorTime(m_rows[0].value, m_window.standardOffsetSeconds());
    const auto end = encodeOperatorTime(m_rows[1].value, m_window.standardOffsetSeconds());
    if (!start || !end)
        return std::nullopt;
    BackupRequest request;
    request.channelMask = m_window.searchChannelMask();
    request.kind = kBackupKindAll;
    request.start = *start;
    request.end = *end;
    return request;
}

void BackupDateTimePanel::calculate() {
    if (const auto req = request())
        requestSize(*req, *req);
}

} // namespace kalder
