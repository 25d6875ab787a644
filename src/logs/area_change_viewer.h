#pragma once

#include "wire/log_records.h"

#include <QWidget>

class QPushButton;

namespace kalder {

class ChangeGrid;

// The motion area before and after a camera-recording entry: ten columns by eight rows. Opens
// on the new area; Before and After switch, Back returns to the entry's details.
class AreaChangeViewer : public QWidget {
    Q_OBJECT
public:
    explicit AreaChangeViewer(const LogRecord& record, QWidget* parent = nullptr);

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
    bool m_showingNew = true;
    ChangeGrid* m_grid = nullptr;
    QPushButton* m_before = nullptr;
    QPushButton* m_after = nullptr;
};

} // namespace kalder
