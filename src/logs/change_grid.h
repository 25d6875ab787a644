#pragma once

#include <QWidget>

#include <vector>

namespace kalder {

// A grid of cells whose values are drawn as shades (0 empty, up to `maxValue` darkest): the
// schedule (hours by days) and the motion area (rows by columns) of a change entry.
class ChangeGrid : public QWidget {
    Q_OBJECT
public:
    ChangeGrid(int columns, int rows, int cellWidth, int cellHeight, QWidget* parent = nullptr);

    // Row-major values: cell k is row k / columns, column k % columns.
    void setValues(std::vector<int> values, int maxValue);
    const std::vector<int>& values() const { return m_values; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const int m_columns;
    const int m_rows;
    const int m_cellWidth;
    const int m_cellHeight;
    std::vector<int> m_values;
    int m_maxValue = 1;
};

} // namespace kalder
