#pragma once

#include <QFrame>
#include <QStringList>

#include <array>
#include <functional>
#include <vector>

class QKeyEvent;
class QLabel;
class QPushButton;
class QSlider;

namespace kalder {

// The pop-up choosers a setup page opens through its SetupWindow. At most one exists at a time;
// the window closes it before opening another and when the page goes. GUI thread only.

// Escape and a click outside a chooser close it and report nothing (the window watches for
// both, SetupWindow::eventFilter): the value stays as it was.

// A list of at most 31 entries, one button each, in one column or in four columns of 21-pixel
// rows. Pressing an entry (a click, Space or Enter) closes the chooser and reports its index.
class ListChooser : public QFrame {
public:
    static constexpr int kMaxEntries = 31;
    static constexpr int kRowHeight = 21;

    // Entries past the 31st are not shown (a page must not pass more).
    ListChooser(const QStringList& entries, int width, bool fourColumns,
                std::function<void(int)> chosen, QWidget* parent);
    int entryCount() const { return m_count; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_count = 0;
};

// One slider with "-" and "+" (a number within [minimum, maximum]), or hour, minute and second
// sliders (a time). OK (or Enter) closes it and reports the values (a number reports it as the
// first); until then the values moved are only pending.
class NumberChooser : public QFrame {
public:
    NumberChooser(int value, int minimum, int maximum, std::function<void(int, int, int)> chosen,
                  QWidget* parent);
    NumberChooser(int hour, int minute, int second, std::function<void(int, int, int)> chosen,
                  QWidget* parent, bool time);
    int value(int slider = 0) const;
    // The unit shown after a number ("sec"); none by default.
    void setUnit(const QString& unit);
    void step(int delta); // the "-" and "+" buttons: one step, kept within the range

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void build(const std::vector<std::array<int, 3>>& sliders, const QStringList& labels,
               bool steps, std::function<void(int, int, int)> chosen);

    void showValues();

    std::vector<QSlider*> m_sliders;
    std::vector<QLabel*> m_shown;
    QString m_unit;
    QPushButton* m_ok = nullptr;
};

} // namespace kalder
