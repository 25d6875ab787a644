#include "setup/pages/assignment_page_widget.h"

#include "setup/pages/rec_page_parts.h"
#include "setup/setup_window.h"

#include <QLabel>

namespace kalder {

AssignmentPageWidget::AssignmentPageWidget(SetupWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("assignmentPage"));
    for (unsigned row = 0; row < kAssignmentRows; ++row) {
        const int y = 16 + static_cast<int>(row) * 40;
        auto* label = new QLabel(tr("Output %1").arg(row + 1), this);
        label->setGeometry(16, y, 120, 28);
        QPushButton* b = makePageButton(QString(), this, QRect(150, y, 160, 28));
        b->setObjectName(QStringLiteral("assign%1").arg(row + 1));
        label->setBuddy(b);
        connect(b, &QPushButton::clicked, this, [this, row] {
            const std::vector<unsigned> values = assignmentChoices(row);
            QStringList entries;
            for (unsigned v : values)
                entries << QString::fromStdString(recProfileName(m_window.context(), v));
            m_window.openListChooser(m_rows[row], entries, 160, false, [this, row, values](int i) {
                if (i >= 0 && static_cast<std::size_t>(i) < values.size())
                    chooseAssignment(m_window.record(), row, values[static_cast<std::size_t>(i)]);
                refresh();
            });
        });
        m_rows[row] = b;
    }
    refresh();
}

void AssignmentPageWidget::refresh() {
    const auto values = readAssignment(m_window.record());
    for (unsigned row = 0; row < kAssignmentRows; ++row) {
        const QString name =
            QString::fromStdString(recProfileName(m_window.context(), values[row]));
        m_rows[row]->setText(name);
        m_rows[row]->setAccessibleName(tr("Output %1: %2").arg(row + 1).arg(name));
    }
}

} // namespace kalder
