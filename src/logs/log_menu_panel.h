#pragma once

#include "wire/log_listing.h"

#include <QWidget>

#include <map>

class QPushButton;

namespace kalder {

// The log menu: one button per list of the recorder's log.
class LogMenuPanel : public QWidget {
    Q_OBJECT
public:
    explicit LogMenuPanel(QWidget* parent = nullptr);
    QPushButton* button(LogList list) const;

signals:
    void listChosen(LogList list);

private:
    std::map<LogList, QPushButton*> m_buttons;
};

} // namespace kalder
