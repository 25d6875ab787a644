#pragma once

#include "setup/model/assignment_page.h"

#include <QWidget>

#include <array>

class QPushButton;

namespace kalder {

class SetupWindow;

// The assignment page: five rows, each a button showing its profile and opening the list of
// the profiles the row offers. GUI thread only.
class AssignmentPageWidget : public QWidget {
public:
    explicit AssignmentPageWidget(SetupWindow& window);
    QPushButton* rowButton(unsigned row) const { return m_rows[row]; }

private:
    void refresh();

    SetupWindow& m_window;
    std::array<QPushButton*, kAssignmentRows> m_rows{};
};

} // namespace kalder
