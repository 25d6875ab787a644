#include "setup/pages/assignment_page_widget.h"

#include "setup/pages/rec_page_parts.h"
#include "setup/setup_window.h"

#include <QLabel>

namespace kalder {

namespace {

// The five rows are five places a recording profile is assigned to, each profile to one place
// at most; they are named by their order.
QString rowCaption(unsigned row) {
    static const char* const kOrdinals[kAssignmentRows] = {"First", "Second", "Third", "Fourth",
                                                           "Fifth"};
    return QObject::tr("%1 profile").arg(QString::fromLatin1(kOrdinals[row]));
}

} // namespace

AssignmentPageWidget::AssignmentPageWidget(SetupWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("assignmentPage"));
    for (unsigned row = 0; row < kAssignmentRows; ++row) {
        const int y = 16 + static_cast<int>(row) * 40;
        auto* label = new QLabel(rowCaption(row), this);
        label->setGeometry(16, y, 120, 28);
        QPushButton* b = makePageButton(QString(), this, QRect(150, y, 160, 28));
        b->setObjectName(QStringLiteral("assign%1").arg(row + 1));
        label->setBuddy(b);
        b->setToolTip(tr("The recording profile in this place; a profile chosen here leaves "
                         "any other place it held"));
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
        m_rows[row]->setAccessibleName(rowCaption(row) + QStringLiteral(": ") + name);
    }
}

} // namespace kalder
