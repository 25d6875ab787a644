#include "search/backup_calendar_panel.h"

#include "ui/resource_fallbacks.h"
#include "search/backup_period_rules.h"
#include "search/backup_flow.h"
#include "search/search_window.h"

#include "resources/resource_library.h"

#include <QLabel>
#include <QPushButton>

namespace kalder {

namespace {
constexpr int kStartTitle = 5580;
constexpr int kEndTitle = 5581;

} // namespace

BackupCalendarPanel::BackupCalendarPanel(SearchWindow& window, QWidget* parent)
    : CalendarPanel(window, parent) {
    setObjectName("BackupCalendarPanel");
    m_title = new QLabel(this);
    m_title->setGeometry(146, 6, 178, 24);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_prev = new QPushButton(QStringLiteral("Prev"), this);
    m_prev->setAccessibleName(QStringLiteral("Prev"));
    m_prev->setAutoDefault(false);
    m_prev->setGeometry(328, 6, 70, 24);
    connect(m_prev, &QPushButton::clicked, this,
            [this] { m_window.backupFlow().chooseStartAgain(); });
}

void BackupCalendarPanel::reopen() {
    const BackupPeriod& period = m_window.backupPeriod();
    m_title->setText(period.endPhase ? resourceTextOr(kEndTitle, "Select the backup end")
                                     : resourceTextOr(kStartTitle, "Select the backup start"));
    m_title->setAccessibleName(m_title->text());
    m_prev->setVisible(period.endPhase);
    if (period.endPhase)
        openAt(period.start.year, period.start.month, backupCalendarFloor(period));
    else
        reload();
}

void BackupCalendarPanel::dayChosen(int year, int month, int day) {
    m_window.backupFlow().chooseDay(year, month, day);
}

} // namespace kalder
