#include "setup/pages/motion_area_page_widget.h"

#include "setup/model/motion_area_page.h"
#include "setup/model/profile_page.h"
#include "setup/pages/cell_grid_widget.h"
#include "setup/pages/rec_page_parts.h"
#include "setup/setup_window.h"

namespace kalder {

MotionAreaPageWidget::MotionAreaPageWidget(SetupWindow& window, std::function<void()> back,
                                           QWidget* parent)
    : QWidget(parent), m_window(window) {
    setObjectName(QStringLiteral("motionAreaPage"));
    const unsigned n = recChannelCount(window.context());
    m_channelButtons =
        makeChannelButtons(this, n, 2, 2, 25, [this](unsigned ch) { selectChannel(ch); });
    m_grid = new CellGridWidget(
        kMotionColumns, kMotionRows, kMotionCellPixels, kMotionCellPixels,
        [this](unsigned column, unsigned row) {
            return motionCell(m_window.record(), m_channel, row, column) ? 1u : 0u;
        },
        this);
    m_grid->setObjectName(QStringLiteral("motionGrid"));
    m_grid->setAccessibleName(tr("Motion area"));
    m_grid->move(21, 32);
    m_grid->onClick([this](unsigned column, unsigned row) {
        toggleMotionCell(m_window.record(), m_window.context(), m_channel, row, column);
        m_grid->update();
    });
    m_grid->onBand([this](const CellRange& cells) {
        paintMotionCells(m_window.record(), m_window.context(), m_channel, cells);
        m_grid->update();
    });
    const int y = 32 + m_grid->height() + 8;
    QPushButton* all =
        makePageButton(tr("All"), this, QRect(21, y, 90, 26), tr("Select all cells"));
    all->setObjectName(QStringLiteral("button480"));
    connect(all, &QPushButton::clicked, this, [this] {
        fillMotionArea(m_window.record(), m_window.context(), m_channel, true);
        m_grid->update();
    });
    QPushButton* clear =
        makePageButton(tr("Clear"), this, QRect(117, y, 90, 26), tr("Clear all cells"));
    clear->setObjectName(QStringLiteral("button481"));
    connect(clear, &QPushButton::clicked, this, [this] {
        fillMotionArea(m_window.record(), m_window.context(), m_channel, false);
        m_grid->update();
    });
    QPushButton* ret = makePageButton(tr("Return"), this, QRect(291, y, 90, 26));
    ret->setObjectName(QStringLiteral("button482"));
    connect(ret, &QPushButton::clicked, this, [back] { back(); });
}

void MotionAreaPageWidget::selectChannel(unsigned channel) {
    if (channel >= m_channelButtons.size())
        return;
    m_channel = channel;
    m_channelButtons[channel]->setChecked(true);
    m_grid->update();
}

} // namespace kalder
