#pragma once

#include "setup/model/ptz_setup_page.h"

#include <QWidget>

#include <vector>

class QSlider;

namespace kalder {

class SetupWindow;
class ValueButton;

// PTZ Controller: the operator keyboard on the recorder's serial port. One ID row (list and
// slider 0 .. 255), one protocol row (the recorder's keyboard table) and one baud row.
// GUI thread only.
class PtzControllerPageWidget : public QWidget {
public:
    enum class Row { Id, Protocol, Baud };

    explicit PtzControllerPageWidget(SetupWindow& window);

    void chooseFromList(Row row, int entry);
    void moveSlider(int position);
    ValueButton* listButton(Row row) const { return m_lists[static_cast<int>(row)]; }
    QSlider* slider() const { return m_slider; }

private:
    void refresh();

    SetupWindow& m_window;
    const std::vector<SerialDeviceType> m_keyboards;
    SerialRow m_row;
    ValueButton* m_lists[3] = {};
    QSlider* m_slider = nullptr;
};

} // namespace kalder
