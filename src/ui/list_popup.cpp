#include "ui/list_popup.h"

#include <QPushButton>

namespace kalder {

ListPopup::ListPopup(const QStringList& items, int columns, int width, QWidget* parent)
    : QDialog(parent, Qt::Popup) {
    setObjectName("ListPopup");
    const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
    setFixedSize(width, rows * kRowHeight + 2);
    const int cellWidth = (width - 2) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* item = new QPushButton(items[i], this);
        item->setAccessibleName(items[i]);
        item->setFlat(true);
        item->setAutoDefault(false);
        item->setGeometry(1 + (i % columns) * cellWidth, 1 + (i / columns) * kRowHeight, cellWidth,
                          kRowHeight);
        connect(item, &QPushButton::clicked, this, [this, i] {
            emit chosen(i);
            close();
        });
    }
}

} // namespace kalder
