#pragma once

#include "setup/model/basic_page.h"
#include "setup/pages/page_controls.h"

#include <QPointer>
#include <QWidget>

class QPushButton;
class QVBoxLayout;

namespace kalder {

class ChannelSwitchPageWidget;
class SetupWindow;

// The Basic page: language (from the recorder's tables), date format, video standard (a change
// resets the recording rates) and the fourth option; Initialize asks the main window to confirm
// a factory reset; Deinterlace opens the per-channel sub-page. GUI thread only.
class BasicPageWidget : public QWidget {
public:
    explicit BasicPageWidget(SetupWindow& window);

    const ValueRow& row(int row) const { return m_rows[static_cast<std::size_t>(row)]; }
    QPushButton* initializeButton() const { return m_initialize; }
    QPushButton* deinterlaceButton() const { return m_deinterlace; }
    ChannelSwitchPageWidget* deinterlacePage() const;

private:
    void refresh();
    void openRow(int row);
    void openDeinterlace();
    void closeDeinterlace();

    SetupWindow& m_window;
    std::vector<LanguageEntry> m_languages;
    QVBoxLayout* m_column = nullptr;
    QWidget* m_main = nullptr;
    std::array<ValueRow, 4> m_rows{};
    QPushButton* m_initialize = nullptr;
    QPushButton* m_deinterlace = nullptr;
    QPointer<QWidget> m_sub;
};

} // namespace kalder
