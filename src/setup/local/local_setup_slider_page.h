#pragma once

#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

class QCheckBox;
class QLabel;
class QSlider;

namespace kalder {

// A page of rows, each a check box, a slider and the value (the Opacity and Audio buffer pages).
// Releasing the slider of a checked row moves every checked row to its value; "All Check" checks
// every row and "Beturn All" clears every check. GUI thread only.
class LocalSetupSliderPage : public QWidget {
    Q_OBJECT
public:
    // `values` is the working copy the page edits (one byte per row); it must outlive the page.
    LocalSetupSliderPage(const QStringList& rowLabels, std::span<std::uint8_t> values, int minimum,
                         int maximum, QWidget* parent = nullptr);

    // The most rows a page has (the nine window kinds of the Opacity page).
    static constexpr std::size_t kMaxRows = 9;

    std::span<const bool> checks() const { return {m_checked.data(), m_rows}; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onMoved(std::size_t row, int position);
    void onReleased(std::size_t row);
    void onCheck(std::size_t row, bool on);
    void setAll(bool on);
    // Shows the working values and the checks.
    void refresh();

    std::span<std::uint8_t> m_values;
    std::size_t m_rows;
    std::array<bool, kMaxRows> m_checked{};
    std::vector<QCheckBox*> m_checkBoxes;
    std::vector<QSlider*> m_sliders;
    std::vector<QLabel*> m_valueLabels;
};

} // namespace kalder
