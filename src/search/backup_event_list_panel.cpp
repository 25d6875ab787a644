#include "search/backup_event_list_panel.h"

#include "search/event_list_panel.h"
#include "search/search_window.h"

#include <QPushButton>
#include <QTableWidget>

namespace kalder {

BackupEventListPanel::BackupEventListPanel(SearchWindow& window, QWidget* parent)
    : BackupPeriodPanel(window, parent), m_lists(sortEvents(window.events())) {
    setObjectName("BackupEventListPanel");
    m_tabs = makeEventTabs(this, [this](int t) { selectTab(t); });
    m_list = makeEventTable(this);
    // Each event chosen is a new period to size.
    connect(m_list, &QTableWidget::itemSelectionChanged, this, [this] {
        if (selected())
            periodChanged();
        else
            periodCleared();
    });
    placeSizeRow(386);
    selectTab(initialEventTab(m_lists, std::nullopt));
}

void BackupEventListPanel::selectTab(int tab) {
    if (tab < 0 || tab > 2)
        return;
    m_tab = tab;
    for (int t = 0; t < 3; ++t)
        m_tabs[t]->setChecked(t == tab);
    fillEventTable(m_list, m_lists.byTab[tab], m_window.dateFormat());
    periodCleared();
}

const EventEntry* BackupEventListPanel::selected() const {
    const auto rows = m_list->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return nullptr;
    const auto& records = m_lists.byTab[m_tab];
    const int row = rows.front().row();
    if (row < 0 || row >= static_cast<int>(records.size()))
        return nullptr;
    return &records[row];
}

void BackupEventListPanel::calculate() {
    const EventEntry* e = selected();
    if (!e)
        return;
    BackupRequest size;
    size.channelMask = m_window.searchChannelMask();
    size.kind = static_cast<std::uint8_t>(1u << e->type);
    size.start = e->start;
    size.end = e->end;
    BackupRequest data = size;
    data.kind = 0;
    requestSize(size, data);
}

} // namespace kalder
