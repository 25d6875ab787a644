#pragma once

#include "setup/model/link_page.h"

#include <QWidget>

#include <array>
#include <functional>
#include <vector>

class QLineEdit;
class QPushButton;

namespace kalder {

class SetupWindow;

// Profile B's link page: a channel's four links, each a source chosen from a list, a flag
// between two texts and a value typed in its box (530 + link). GUI thread only.
class LinkPageWidget : public QWidget {
public:
    LinkPageWidget(SetupWindow& window, std::function<void()> back, QWidget* parent);

    void selectChannel(unsigned channel);
    unsigned channel() const { return m_channel; }
    QPushButton* sourceButton(unsigned link) const { return m_source[link]; }
    QPushButton* flagButton(unsigned link) const { return m_flag[link]; }
    QLineEdit* valueEdit(unsigned link) const { return m_value[link]; }

private:
    void refresh();
    void valueEdited(unsigned link);

    SetupWindow& m_window;
    unsigned m_channel = 0;
    std::vector<QPushButton*> m_channelButtons;
    std::array<QPushButton*, kLinksPerChannel> m_source{};
    std::array<QPushButton*, kLinksPerChannel> m_flag{};
    std::array<QLineEdit*, kLinksPerChannel> m_value{};
};

} // namespace kalder
