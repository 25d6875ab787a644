#pragma once

#include "setup/model/osd_page.h"
#include "setup/pages/page_controls.h"

#include <QWidget>

#include <array>

class QCheckBox;

namespace kalder {

class SetupWindow;

// The OSD On/Off page: two On/Off rows with selection boxes, five list rows (the last three on
// records above 4.3 only). GUI thread only.
class OsdPageWidget : public QWidget {
public:
    explicit OsdPageWidget(SetupWindow& window);

    const OnOffRow& flagRow(std::size_t row) const { return m_flags[row]; }
    QCheckBox* flagBox(std::size_t row) const { return m_boxes[row]; }
    const ValueRow& choiceRow(std::size_t choice) const { return m_choices[choice]; }
    static QStringList choiceEntries(std::size_t choice);

private:
    void refresh();
    void flagClicked(std::size_t row, bool on);

    SetupWindow& m_window;
    std::array<OnOffRow, 2> m_flags{};
    std::array<QCheckBox*, 2> m_boxes{};
    std::array<ValueRow, kOsdChoices> m_choices{};
};

} // namespace kalder
