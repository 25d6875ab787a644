#include "logs/schedule_change_viewer.h"

#include "logs/change_grid.h"
#include "resources/resource_library.h"
#include "ui/theme.h"
#include "wire/log_listing.h"

#include <QLabel>
#include <QPushButton>

#include <string_view>

namespace kalder {

namespace {

// Cells arrive as hour k / 7, day k % 7; the grid shows days across and hours down, which is
// the same row-major order.
std::vector<int> gridOf(const std::array<std::uint8_t, kLogValueBlockSize>& block, bool twoBits) {
    return scheduleCells(block, twoBits);
}

} // namespace

ScheduleChangeViewer::ScheduleChangeViewer(const LogRecord& record, bool twoBits, QWidget* parent)
    : QWidget(parent), m_old(gridOf(record.oldValue, twoBits)),
      m_new(gridOf(record.newValue, twoBits)), m_maxValue(twoBits ? 3 : 1) {
    setObjectName(QStringLiteral("scheduleChangeViewer"));
    setFixedSize(403, 417);
    for (int d = 0; d < 7; ++d) {
        auto* day = new QLabel(resourceText(5426 + d), this);
        day->setGeometry(56 + 50 * d, 14, 46, 14);
        day->setAlignment(Qt::AlignCenter);
        QPalette p = day->palette();
        p.setColor(QPalette::WindowText, d == 0 ? QColor(255, 0, 0) : QColor(90, 90, 120));
        day->setPalette(p);
    }
    m_grid = new ChangeGrid(7, 24, 50, 15, this);
    m_grid->setObjectName(QStringLiteral("scheduleGrid"));
    m_grid->setAccessibleName(resourceText(5209));
    m_grid->move(53, 30);
    auto button = [this](int textId, const char* name, int x) {
        QPushButton* b = makeDialogButton(resourceText(textId), this);
        b->setObjectName(QLatin1String(name));
        b->setAccessibleName(resourceText(textId));
        b->setGeometry(x, 394, 97, 22);
        b->setCheckable(std::string_view(name) != "backButton");
        return b;
    };
    m_before = button(5937, "beforeButton", 107);
    m_after = button(5936, "afterButton", 206);
    QPushButton* back = button(5583, "backButton", 305);
    connect(m_before, &QPushButton::clicked, this, &ScheduleChangeViewer::showBefore);
    connect(m_after, &QPushButton::clicked, this, &ScheduleChangeViewer::showAfter);
    connect(back, &QPushButton::clicked, this, &ScheduleChangeViewer::backRequested);
    showGrid(true);
}

void ScheduleChangeViewer::showBefore() {
    showGrid(false);
}

void ScheduleChangeViewer::showAfter() {
    showGrid(true);
}

void ScheduleChangeViewer::showGrid(bool newGrid) {
    m_showingNew = newGrid;
    m_grid->setValues(newGrid ? m_new : m_old, m_maxValue);
    m_before->setChecked(!newGrid);
    m_after->setChecked(newGrid);
}

} // namespace kalder
