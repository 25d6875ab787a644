#pragma once

#include "wire/log_records.h"

#include <QWidget>

class QPushButton;

namespace kalder {

class ChangeGrid;

// The recording schedule before and after a schedule-change entry: seven days by 24 hours.
// Opens on the new schedule; Before and After switch, Back returns to the list.
class ScheduleChangeViewer : public QWidget {
    Q_OBJECT
public:
    // `twoBits`: the recorder keeps two bits a cell (sub-product 3 or 4), else one.
    ScheduleChangeViewer(const LogRecord& record, bool twoBits, QWidget* parent = nullptr);

    bool showingNew() const { return m_showingNew; }
    ChangeGrid* grid() const { return m_grid; }
    void showBefore();
    void showAfter();

signals:
    void backRequested();

private:
    void showGrid(bool newGrid);

    std::vector<int> m_old;
    std::vector<int> m_new;
    int m_maxValue;
    bool m_showingNew = true;
    ChangeGrid* m_grid = nullptr;
    QPushButton* m_before = nullptr;
    QPushButton* m_after = nullptr;
};

} // namespace kalder
