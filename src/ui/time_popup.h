#pragma once

#include <QDialog>

#include <array>

class QCloseEvent;
class QLabel;
class QMouseEvent;
class QPushButton;
class QSlider;

namespace kalder {

// The time pop-up: one slider each for hours (0-23), minutes and seconds (0-59) with the value
// beside it, and an OK button. OK (or Enter) reports the time and closes it; so does closing it
// from its owner (close()). Escape and a click outside close it and report nothing: the time
// stays as it was. GUI thread only.
class TimePopup : public QDialog {
    Q_OBJECT
public:
    TimePopup(int hour, int minute, int second, QWidget* parent);

    QSlider* slider(int part) const { return m_sliders[part]; }
    QPushButton* okButton() const { return m_ok; }

signals:
    void chosen(int hour, int minute, int second);

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::array<QSlider*, 3> m_sliders{};
    std::array<QLabel*, 3> m_values{};
    QPushButton* m_ok = nullptr;
    bool m_reported = false; // reported, or dismissed: nothing more is reported
    bool m_closing = false;  // inside close(), which QDialog turns into reject()
};

} // namespace kalder
