#pragma once

#include "setup/model/spot_setting_page.h"

#include <QWidget>

#include <array>

class QPushButton;
class QVBoxLayout;

namespace kalder {

class SetupWindow;

// The Spot Setting page: the mode view (seven modes), the dwell view (one slider per channel
// or per group of the split modes) and the enable view (On/Off per channel). The dwell view's
// button shows in the sequence modes, the enable view's in the event-driven ones. GUI thread
// only.
class SpotSettingPageWidget : public QWidget {
public:
    enum class View { Mode = 0, Dwell = 1, Enable = 2 };
    explicit SpotSettingPageWidget(SetupWindow& window);

    void showView(View view);
    View view() const { return m_view; }
    QPushButton* viewButton(View view) const { return m_viewButtons[static_cast<int>(view)]; }
    QWidget* content() const { return m_content; }
    // The text of a mode row's second button.
    static QString modeSummaryText(const SpotModeSummary& summary);

private:
    void chooseMode(unsigned mode);
    void updateViewButtons();
    QWidget* makeModeView();
    QWidget* makeDwellView();
    QWidget* makeEnableView();

    SetupWindow& m_window;
    View m_view = View::Mode;
    std::array<QPushButton*, 3> m_viewButtons{};
    QVBoxLayout* m_column = nullptr;
    QWidget* m_content = nullptr;
};

} // namespace kalder
