#include "logs/area_change_viewer.h"

#include "logs/change_grid.h"
#include "resources/resource_library.h"
#include "ui/theme.h"
#include "wire/log_listing.h"

#include <QPushButton>

namespace kalder {

namespace {

std::vector<int> gridOf(const std::array<std::uint8_t, kLogValueBlockSize>& block,
                        std::size_t offset) {
    const std::vector<bool> cells = areaCells(block, offset);
    return std::vector<int>(cells.begin(), cells.end());
}

} // namespace

// The old block starts with the profile byte, so its area begins one byte later than the new.
AreaChangeViewer::AreaChangeViewer(const LogRecord& record, QWidget* parent)
    : QWidget(parent), m_old(gridOf(record.oldValue, 5)), m_new(gridOf(record.newValue, 4)) {
    setObjectName(QStringLiteral("areaChangeViewer"));
    setFixedSize(403, 417);
    m_grid = new ChangeGrid(10, 8, 36, 36, this);
    m_grid->setObjectName(QStringLiteral("areaGrid"));
    m_grid->setAccessibleName(resourceText(5685));
    m_grid->move(21, 72);
    auto button = [this](int textId, const char* name, int x, bool checkable) {
        QPushButton* b = makeDialogButton(resourceText(textId), this);
        b->setObjectName(QLatin1String(name));
        b->setAccessibleName(resourceText(textId));
        b->setGeometry(x, 394, 97, 22);
        b->setCheckable(checkable);
        return b;
    };
    m_before = button(5937, "beforeButton", 107, true);
    m_after = button(5936, "afterButton", 206, true);
    QPushButton* back = button(5583, "backButton", 305, false);
    connect(m_before, &QPushButton::clicked, this, &AreaChangeViewer::showBefore);
    connect(m_after, &QPushButton::clicked, this, &AreaChangeViewer::showAfter);
    connect(back, &QPushButton::clicked, this, &AreaChangeViewer::backRequested);
    showGrid(true);
}

void AreaChangeViewer::showBefore() {
    showGrid(false);
}

void AreaChangeViewer::showAfter() {
    showGrid(true);
}

void AreaChangeViewer::showGrid(bool newGrid) {
    m_showingNew = newGrid;
    m_grid->setValues(newGrid ? m_new : m_old, 1);
    m_before->setChecked(!newGrid);
    m_after->setChecked(newGrid);
}

} // namespace kalder
