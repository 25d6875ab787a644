#pragma once

#include "ui/search_rules.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <span>

class QPushButton;
class QTableWidget;

namespace kalder {

class SearchWindow;

// The parts shared by the search's and the backup's event lists.
// The Alarm, Motion and Audio tab buttons along the panel's top; `chosen` gets the tab.
std::array<QPushButton*, 3> makeEventTabs(QWidget* panel, std::function<void(int)> chosen);
// The list: start, end and channels, one row selected at a time.
QTableWidget* makeEventTable(QWidget* panel);
// Fills the list with `records`, dates in the operator's order.
void fillEventTable(QTableWidget* table, std::span<const EventEntry> records, unsigned dateFormat);

// The recorder's event list in three tabs (alarm, motion, audio), each listing the events of its
// type in arrival order with start, end and channels; Play plays the selected event. GUI thread
// only; a child of its search window.
class EventListPanel : public QWidget {
    Q_OBJECT
public:
    // `savedTab`: the tab to open on when resuming.
    EventListPanel(SearchWindow& window, std::optional<int> savedTab, QWidget* parent);

    void selectTab(int tab);
    void play();
    void updatePlayEnabled();

    int tab() const { return m_tab; }
    QTableWidget* list() const { return m_list; }
    QPushButton* playButton() const { return m_play; }
    const EventLists& lists() const { return m_lists; }

private:
    SearchWindow& m_window;
    const EventLists m_lists;
    int m_tab = 0;
    std::array<QPushButton*, 3> m_tabs{};
    QTableWidget* m_list = nullptr;
    QPushButton* m_play = nullptr;
};

} // namespace kalder
