#pragma once

#include <QWidget>

class QPushButton;

namespace kalder {

// The information menu: the recorder's system information and its status information.
class InfoMenuPanel : public QWidget {
    Q_OBJECT
public:
    explicit InfoMenuPanel(QWidget* parent = nullptr);
    QPushButton* systemButton() const { return m_system; }
    QPushButton* statusButton() const { return m_status; }

signals:
    void systemChosen();
    void statusChosen();

private:
    QPushButton* m_system = nullptr;
    QPushButton* m_status = nullptr;
};

} // namespace kalder
