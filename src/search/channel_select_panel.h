#pragma once

#include <QWidget>

#include <array>

class QCheckBox;
class QPushButton;

namespace kalder {

class SearchWindow;

// Which channels the search takes into account: one row per recorder channel with a check box
// and On/Off; On or Off on a checked row applies to every checked row. GUI thread only.
class ChannelSelectPanel : public QWidget {
    Q_OBJECT
public:
    ChannelSelectPanel(SearchWindow& window, QWidget* parent);

    void setChannel(int channel, bool on);
    void checkAll(bool checked);

    QCheckBox* checkBox(int channel) const { return m_checks[channel]; }
    QPushButton* onButton(int channel) const { return m_on[channel]; }
    QPushButton* offButton(int channel) const { return m_off[channel]; }

private:
    void showStates();

    SearchWindow& m_window;
    std::array<QCheckBox*, 16> m_checks{};
    std::array<QPushButton*, 16> m_on{};
    std::array<QPushButton*, 16> m_off{};
};

} // namespace kalder
