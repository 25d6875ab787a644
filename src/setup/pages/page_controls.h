#pragma once

#include "setup/model/channel_selection.h"

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class QCheckBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QSlider;

namespace kalder {

// Controls the setup pages share. GUI thread only.

// A command button of a page: its caption is its accessible name; never a default button.
QPushButton* pageButton(const QString& caption, const QString& objectName, QWidget* parent,
                        bool checkable = false);

// Per-channel rows with their selection boxes and the "All Check" and "Beturn All" buttons
// below them. The owner fills each row's cells after the box (columns 1 ..) through grid().
class ChannelRowsPanel : public QWidget {
public:
    // `rows`: the channels with a row, top to bottom (all below `channels`).
    ChannelRowsPanel(const std::vector<unsigned>& rows, unsigned channels, QWidget* parent);

    QGridLayout* grid() const { return m_grid; }
    // The grid row of channel `channel`'s row; -1 when it has none.
    int gridRow(unsigned channel) const;
    QCheckBox* selectionBox(unsigned channel) const;
    ChannelSelection& selection() { return m_selection; }
    // What a click on a box does; by default it checks or clears that row alone.
    void setBoxHandler(std::function<void(unsigned, bool)> handler) { m_boxHandler = handler; }
    // Shows the selection in the boxes.
    void syncBoxes();
    QPushButton* allCheckButton() const { return m_allCheck; }
    QPushButton* returnAllButton() const { return m_returnAll; }
    // The row of "All Check" and "Beturn All", for a page's own buttons beside them.
    QHBoxLayout* buttonRow() const { return m_buttonRow; }
    // The "Select" header above the boxes.
    QLabel* selectHeader() const { return m_header; }

private:
    ChannelSelection m_selection;
    std::vector<unsigned> m_rows;
    QGridLayout* m_grid = nullptr;
    QLabel* m_header = nullptr;
    std::array<QCheckBox*, 16> m_boxes{};
    QPushButton* m_allCheck = nullptr;
    QPushButton* m_returnAll = nullptr;
    QHBoxLayout* m_buttonRow = nullptr;
    std::function<void(unsigned, bool)> m_boxHandler;
};

// One choice of a channel switch row: its caption and the value it stores.
struct SwitchChoice {
    QString caption;
    std::uint32_t value;
};

// Channel rows of buttons, each storing its value for the row's channel and its selected set
// (On/Off, On/Off/None); the button of the stored value is shown pressed. `stored` reads a
// channel's value from the record; `write` applies a choice and returns nothing of interest.
class ChannelSwitchPanel : public ChannelRowsPanel {
public:
    using Write = std::function<void(const ChannelSelection&, unsigned, std::uint32_t)>;
    ChannelSwitchPanel(unsigned channels, std::vector<SwitchChoice> choices,
                       std::function<std::uint32_t(unsigned)> stored, Write write, QWidget* parent);

    QPushButton* button(unsigned channel, std::size_t choice) const;
    void refresh();

private:
    std::vector<SwitchChoice> m_choices;
    std::function<std::uint32_t(unsigned)> m_stored;
    std::vector<std::vector<QPushButton*>> m_buttons; // [channel][choice]
};

// Channel rows of sliders with the value shown beside each.
class ChannelSliderPanel : public ChannelRowsPanel {
public:
    ChannelSliderPanel(const std::vector<unsigned>& rows, unsigned channels, int minimum,
                       int maximum, std::function<void(unsigned, int)> moved, QWidget* parent);

    QSlider* slider(unsigned channel) const { return m_sliders[channel]; }
    // Moves the slider without reporting it, and shows `text` beside it.
    void showValue(unsigned channel, int position, const QString& text);

private:
    std::array<QSlider*, 16> m_sliders{};
    std::array<QLabel*, 16> m_values{};
};

// A labelled row whose button opens a chooser; the button shows the current value.
struct ValueRow {
    QLabel* label = nullptr;
    QPushButton* button = nullptr;
};
ValueRow addValueRow(QGridLayout* grid, int row, const QString& caption, const QString& name,
                     QWidget* parent);

// A labelled On/Off pair; the pressed one is the stored state.
struct OnOffRow {
    QLabel* label = nullptr;
    QPushButton* on = nullptr;
    QPushButton* off = nullptr;
    void show(bool value) const;
};
OnOffRow addOnOffRow(QGridLayout* grid, int row, const QString& caption, const QString& name,
                     QWidget* parent, const QString& onText = QStringLiteral("On"),
                     const QString& offText = QStringLiteral("Off"));

} // namespace kalder
