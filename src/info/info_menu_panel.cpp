#include "info/info_menu_panel.h"

#include "resources/resource_library.h"
#include "session/info_rows.h"
#include "ui/theme.h"

#include <QPushButton>

namespace kalder {

InfoMenuPanel::InfoMenuPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("infoMenuPanel"));
    setFixedSize(174, 90);
    auto button = [this](int textId, const char* fallback, const char* name, int y) {
        QString caption = resourceText(textId);
        if (caption.isEmpty())
            caption = QLatin1String(fallback);
        QPushButton* b = makeDialogButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAccessibleName(caption);
        b->setGeometry(2, y, 130, 35);
        return b;
    };
    m_system = button(InfoText::SystemTitle, "System Information", "systemInfoButton", 1);
    m_status = button(InfoText::StatusTitle, "Status Information", "statusInfoButton", 41);
    connect(m_system, &QPushButton::clicked, this, &InfoMenuPanel::systemChosen);
    connect(m_status, &QPushButton::clicked, this, &InfoMenuPanel::statusChosen);
}

} // namespace kalder
