#pragma once

#include "setup/pages/page_controls.h"

#include <QWidget>

#include <array>

class QLabel;
class QSlider;

namespace kalder {

class SetupWindow;

// The Auto Delete Mode page: one slider of days (0 .. 99). GUI thread only.
class AutoDeletePageWidget : public QWidget {
public:
    explicit AutoDeletePageWidget(SetupWindow& window);
    QSlider* slider() const { return m_slider; }
    QLabel* valueLabel() const { return m_value; }

private:
    void refresh();
    SetupWindow& m_window;
    QSlider* m_slider = nullptr;
    QLabel* m_value = nullptr;
};

// The Smart page: two On/Off rows and a slider (0 .. 99, 0 shown as off). GUI thread only.
class SmartPageWidget : public QWidget {
public:
    explicit SmartPageWidget(SetupWindow& window);
    const OnOffRow& flagRow(std::size_t row) const { return m_flags[row]; }
    QSlider* slider() const { return m_slider; }
    QLabel* valueLabel() const { return m_value; }
    // The unit the value is shown with: the disks' reading unit of the status view.
    static QString smartUnit();

private:
    void refresh();
    SetupWindow& m_window;
    std::array<OnOffRow, 2> m_flags{};
    QSlider* m_slider = nullptr;
    QLabel* m_value = nullptr;
};

// The ETC. page: two list rows. GUI thread only.
class EtcPageWidget : public QWidget {
public:
    explicit EtcPageWidget(SetupWindow& window);
    const ValueRow& row(std::size_t row) const { return m_rows[row]; }
    static QStringList entries(std::size_t row);

private:
    void refresh();
    SetupWindow& m_window;
    std::array<ValueRow, 2> m_rows{};
};

} // namespace kalder
