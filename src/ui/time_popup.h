#pragma once

#include <QDialog>

#include <array>

class QLabel;
class QSlider;

namespace kalder {

// The time pop-up: one slider each for hours (0-23), minutes and seconds (0-59) with the value
// beside it. It reports the time when it closes. GUI thread only.
class TimePopup : public QDialog {
    Q_OBJECT
public:
    TimePopup(int hour, int minute, int second, QWidget* parent);

    QSlider* slider(int part) const { return m_sliders[part]; }

signals:
    void chosen(int hour, int minute, int second);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    std::array<QSlider*, 3> m_sliders{};
    std::array<QLabel*, 3> m_values{};
    bool m_reported = false;
};

} // namespace kalder
