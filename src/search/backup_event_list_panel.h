#pragma once

#include "search/backup_period_panel.h"
#include "ui/search_rules.h"

#include <array>

class QPushButton;
class QTableWidget;

namespace kalder {

// The backup's event list: the search's Alarm, Motion and Audio tabs and list; the period is the
// selected event's start and end. Calculate asks for the size of that event's kind only
// (1 << type), Backup then asks for the data of every kind. GUI thread only; a child of its
// search window.
class BackupEventListPanel : public BackupPeriodPanel {
    Q_OBJECT
public:
    BackupEventListPanel(SearchWindow& window, QWidget* parent);

    void selectTab(int tab);
    void calculate() override;

    int tab() const { return m_tab; }
    QTableWidget* list() const { return m_list; }
    const EventLists& lists() const { return m_lists; }

private:
    // The selected event, if any.
    const EventEntry* selected() const;

    const EventLists m_lists;
    int m_tab = 0;
    std::array<QPushButton*, 3> m_tabs{};
    QTableWidget* m_list = nullptr;
};

} // namespace kalder
