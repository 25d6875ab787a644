#pragma once

#include <QDialog>
#include <QStringList>

namespace kalder {

// The list pop-up: the items a field offers (years, months, days), `columns` to a row, rows 21
// pixels high. Choosing an item reports its index and closes the pop-up; closing it otherwise
// reports nothing. GUI thread only.
class ListPopup : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 21;

    ListPopup(const QStringList& items, int columns, int width, QWidget* parent);

signals:
    void chosen(int index);
};

} // namespace kalder
