#include "logs/log_menu_panel.h"

#include "ui/theme.h"

#include <QPushButton>

namespace kalder {

LogMenuPanel::LogMenuPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("logMenuPanel"));
    setFixedSize(174, 290);
    const std::pair<LogList, QString> entries[] = {
        {LogList::All, tr("All")},         {LogList::Power, tr("Power")},
        {LogList::Record, tr("Record")},   {LogList::Operation, tr("Operation")},
        {LogList::Client, tr("Client")},   {LogList::Event, tr("Event")},
        {LogList::Archive, tr("Archive")},
    };
    int y = 1;
    for (const auto& [list, caption] : entries) {
        QPushButton* b = makeDialogButton(caption, this);
        b->setObjectName(QStringLiteral("log") + caption + QStringLiteral("Button"));
        b->setAccessibleName(caption);
        b->setGeometry(2, y, 130, 35);
        y += 40;
        const LogList chosen = list;
        connect(b, &QPushButton::clicked, this, [this, chosen] { emit listChosen(chosen); });
        m_buttons[list] = b;
    }
}

QPushButton* LogMenuPanel::button(LogList list) const {
    const auto it = m_buttons.find(list);
    return it == m_buttons.end() ? nullptr : it->second;
}

} // namespace kalder
