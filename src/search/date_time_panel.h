#pragma once

#include "wire/recorder_time.h"

#include <QWidget>

#include <array>
#include <optional>

class QPushButton;

namespace kalder {

class SearchWindow;

// Date and time entry: a start row and, for recorders of version 1.1 or later, an end row, each
// with year, month and day fields in the operator's date order and a time field; Play plays the
// entered period (or from the start on older recorders). GUI thread only.
class DateTimePanel : public QWidget {
    Q_OBJECT
public:
    DateTimePanel(SearchWindow& window, QWidget* parent);

    bool hasEndRow() const { return m_hasEnd; }
    void setEntry(int row, const CivilTime& entry);
    CivilTime entry(int row) const;
    void play();
    void updatePlayEnabled();
    QPushButton* playButton() const { return m_play; }

private:
    struct Row {
        QPushButton* year = nullptr;
        QPushButton* month = nullptr;
        QPushButton* day = nullptr;
        QPushButton* time = nullptr;
        CivilTime value;
    };
    void buildRow(int index, int y, const QString& caption);
    // After a change of year or month: a day past the month's end becomes its last day.
    void clampDay(Row& row);
    void showRow(Row& row);

    SearchWindow& m_window;
    const bool m_hasEnd;
    std::array<Row, 2> m_rows;
    QPushButton* m_play = nullptr;
};

} // namespace kalder
