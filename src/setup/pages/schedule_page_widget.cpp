#include "setup/pages/schedule_page_widget.h"

#include "setup/model/schedule_page.h"
#include "setup/pages/cell_grid_widget.h"
#include "setup/pages/rec_page_parts.h"
#include "setup/setup_window.h"

#include <QIcon>
#include <QLabel>
#include <QPixmap>

namespace kalder {

namespace {
const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr int kGridX = 34;
constexpr int kGridY = 16;
} // namespace

SchedulePageWidget::SchedulePageWidget(SetupWindow& window, std::function<void()> back,
                                       QWidget* parent)
    : QWidget(parent), m_window(window) {
    setObjectName(QStringLiteral("schedulePage"));
    const SetupContext& context = window.context();
    clampScheduleCells(window.record(), context);
    for (unsigned d = 0; d < kScheduleDays; ++d) {
        auto* label = new QLabel(QString::fromLatin1(kDays[d]), this);
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(kGridX + static_cast<int>(d) * kScheduleCellWidth, 0, kScheduleCellWidth,
                           kGridY);
    }
    for (unsigned h = 0; h < kScheduleHours; h += 2) {
        auto* label = new QLabel(QStringLiteral("%1").arg(h, 2, 10, QLatin1Char('0')), this);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setGeometry(0, kGridY + static_cast<int>(h) * kScheduleCellHeight - 1, kGridX - 4,
                           kScheduleCellHeight + 2);
    }
    m_grid = new CellGridWidget(
        kScheduleDays, kScheduleHours, kScheduleCellWidth, kScheduleCellHeight,
        [this](unsigned day, unsigned hour) { return scheduleCell(m_window.record(), day, hour); },
        this);
    m_grid->setObjectName(QStringLiteral("scheduleGrid"));
    m_grid->setAccessibleName(tr("Schedule"));
    m_grid->move(kGridX, kGridY);
    const std::vector<QColor> profileColours = {QColor(70, 130, 200), QColor(90, 170, 90),
                                                QColor(220, 150, 50), QColor(200, 80, 160)};
    if (profileSchedule(context))
        m_grid->setColours(profileColours);
    m_grid->onClick([this](unsigned day, unsigned hour) {
        clickScheduleCell(m_window.record(), m_window.context(), day, hour);
        m_grid->update();
    });
    m_grid->onBand([this](const CellRange& cells) {
        const unsigned value = profileSchedule(m_window.context()) ? m_paint : 1;
        paintScheduleCells(m_window.record(), m_window.context(), cells, value);
        m_grid->update();
    });

    const int y = kGridY + m_grid->height() + 6;
    if (profileSchedule(context)) {
        for (unsigned v = 0; v < 4; ++v) {
            const QString name = QString::fromStdString(scheduleValueName(context, v));
            QPushButton* b =
                makePageButton(name, this, QRect(kGridX + static_cast<int>(v) * 88, y, 84, 26),
                               tr("Paint %1").arg(name));
            b->setObjectName(QStringLiteral("button%1").arg(480 + v));
            b->setCheckable(true);
            // The button shows the colour its profile's hours are drawn in.
            QPixmap swatch(12, 12);
            swatch.fill(profileColours[v]);
            b->setIcon(QIcon(swatch));
            connect(b, &QPushButton::clicked, this, [this, v] { setPaintValue(v); });
            m_paintButtons.push_back(b);
        }
        setPaintValue(0);
        return;
    }
    QPushButton* all =
        makePageButton(tr("All"), this, QRect(kGridX, y, 84, 26), tr("Schedule every hour"));
    all->setObjectName(QStringLiteral("button480"));
    connect(all, &QPushButton::clicked, this, [this] {
        fillSchedule(m_window.record(), m_window.context(), 1);
        m_grid->update();
    });
    QPushButton* clear =
        makePageButton(tr("Clear"), this, QRect(kGridX + 88, y, 84, 26), tr("Clear every hour"));
    clear->setObjectName(QStringLiteral("button481"));
    connect(clear, &QPushButton::clicked, this, [this] {
        fillSchedule(m_window.record(), m_window.context(), 0);
        m_grid->update();
    });
    if (back) {
        QPushButton* ret = makePageButton(tr("Return"), this, QRect(kGridX + 264, y, 84, 26));
        ret->setObjectName(QStringLiteral("button483"));
        connect(ret, &QPushButton::clicked, this, [back] { back(); });
    }
}

void SchedulePageWidget::setPaintValue(unsigned value) {
    if (value >= m_paintButtons.size())
        return;
    m_paint = value;
    for (unsigned v = 0; v < m_paintButtons.size(); ++v)
        m_paintButtons[v]->setChecked(v == value);
}

} // namespace kalder
