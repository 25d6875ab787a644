#include "setup/pages/page_controls.h"

#include "ui/theme.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace kalder {

QPushButton* pageButton(const QString& caption, const QString& objectName, QWidget* parent,
                        bool checkable) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(objectName);
    b->setAccessibleName(caption);
    b->setAutoDefault(false);
    b->setCheckable(checkable);
    showCheckedLikeTheSkin(b);
    return b;
}

ChannelRowsPanel::ChannelRowsPanel(const std::vector<unsigned>& rows, unsigned channels,
                                   QWidget* parent)
    : QWidget(parent), m_rows(rows) {
    m_selection.channels = std::min(channels, 16u);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    m_grid = new QGridLayout;
    m_grid->setVerticalSpacing(1);
    column->setSpacing(2);
    m_grid->setHorizontalSpacing(6);
    column->addLayout(m_grid);
    m_boxHandler = [this](unsigned ch, bool on) { m_selection.checked[ch] = on; };
    // The boxes' column says what a checked box does: a change in one checked row reaches
    // every checked row. The header takes grid row 0; the channel rows follow it.
    m_header = new QLabel(tr("Select"), this);
    m_header->setObjectName(QStringLiteral("selectHeader"));
    m_header->setToolTip(tr("A change in a checked row applies to every checked row"));
    m_grid->addWidget(m_header, 0, 0);
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const unsigned ch = m_rows[i];
        if (ch >= m_selection.channels)
            continue;
        auto* box = new QCheckBox(QStringLiteral("CH%1").arg(ch + 1), this);
        box->setObjectName(QStringLiteral("select%1").arg(ch + 1));
        box->setAccessibleName(QStringLiteral("Select CH%1").arg(ch + 1, 2, 10, QLatin1Char('0')));
        box->setFixedHeight(20);
        connect(box, &QCheckBox::clicked, this, [this, ch](bool on) {
            m_boxHandler(ch, on);
            syncBoxes();
        });
        m_grid->addWidget(box, static_cast<int>(i) + 1, 0);
        m_boxes[ch] = box;
    }
    column->addStretch();
    auto* buttons = new QHBoxLayout;
    m_allCheck = pageButton(QStringLiteral("All Check"), QStringLiteral("allCheck"), this);
    m_returnAll = pageButton(QStringLiteral("Beturn All"), QStringLiteral("returnAll"), this);
    m_allCheck->setToolTip(tr("Checks every channel row"));
    m_returnAll->setToolTip(tr("Clears every channel row's check"));
    connect(m_allCheck, &QPushButton::clicked, this, [this] {
        m_selection.checkAll();
        syncBoxes();
    });
    connect(m_returnAll, &QPushButton::clicked, this, [this] {
        m_selection.clearAll();
        syncBoxes();
    });
    buttons->addWidget(m_allCheck);
    buttons->addWidget(m_returnAll);
    buttons->addStretch();
    column->addLayout(buttons);
    m_buttonRow = buttons;
}

int ChannelRowsPanel::gridRow(unsigned channel) const {
    const auto it = std::find(m_rows.begin(), m_rows.end(), channel);
    return it == m_rows.end() ? -1 : static_cast<int>(it - m_rows.begin()) + 1;
}

QCheckBox* ChannelRowsPanel::selectionBox(unsigned channel) const {
    return channel < m_boxes.size() ? m_boxes[channel] : nullptr;
}

void ChannelRowsPanel::syncBoxes() {
    for (unsigned ch = 0; ch < m_boxes.size(); ++ch)
        if (m_boxes[ch])
            m_boxes[ch]->setChecked(m_selection.checked[ch]);
}

namespace {

std::vector<unsigned> allRows(unsigned channels) {
    std::vector<unsigned> rows;
    for (unsigned ch = 0; ch < std::min(channels, 16u); ++ch)
        rows.push_back(ch);
    return rows;
}

} // namespace

ChannelSwitchPanel::ChannelSwitchPanel(unsigned channels, std::vector<SwitchChoice> choices,
                                       std::function<std::uint32_t(unsigned)> stored, Write write,
                                       QWidget* parent)
    : ChannelRowsPanel(allRows(channels), channels, parent), m_choices(std::move(choices)),
      m_stored(std::move(stored)), m_buttons(16) {
    for (unsigned ch = 0; ch < selection().channels; ++ch) {
        for (std::size_t k = 0; k < m_choices.size(); ++k) {
            QPushButton* b =
                pageButton(m_choices[k].caption, QStringLiteral("ch%1choice%2").arg(ch + 1).arg(k),
                           this, true);
            b->setAccessibleName(
                QStringLiteral("%1 channel %2").arg(m_choices[k].caption).arg(ch + 1));
            b->setFixedHeight(20);
            const std::uint32_t value = m_choices[k].value;
            connect(b, &QPushButton::clicked, this, [this, ch, value, write] {
                write(selection(), ch, value);
                refresh();
            });
            grid()->addWidget(b, gridRow(ch), static_cast<int>(k) + 1);
            m_buttons[ch].push_back(b);
        }
    }
    refresh();
}

QPushButton* ChannelSwitchPanel::button(unsigned channel, std::size_t choice) const {
    if (channel >= m_buttons.size() || choice >= m_buttons[channel].size())
        return nullptr;
    return m_buttons[channel][choice];
}

void ChannelSwitchPanel::refresh() {
    for (unsigned ch = 0; ch < m_buttons.size(); ++ch) {
        if (m_buttons[ch].empty())
            continue;
        const std::uint32_t value = m_stored(ch);
        for (std::size_t k = 0; k < m_buttons[ch].size(); ++k)
            m_buttons[ch][k]->setChecked(m_choices[k].value == value);
    }
}

ChannelSliderPanel::ChannelSliderPanel(const std::vector<unsigned>& rows, unsigned channels,
                                       int minimum, int maximum,
                                       std::function<void(unsigned, int)> moved, QWidget* parent)
    : ChannelRowsPanel(rows, channels, parent) {
    for (unsigned ch : rows) {
        if (ch >= selection().channels)
            continue;
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setObjectName(QStringLiteral("slider%1").arg(ch + 1));
        slider->setAccessibleName(QStringLiteral("Channel %1").arg(ch + 1));
        slider->setRange(minimum, maximum);
        slider->setFixedHeight(18);
        auto* value = new QLabel(this);
        value->setObjectName(QStringLiteral("value%1").arg(ch + 1));
        value->setMinimumWidth(64);
        connect(slider, &QSlider::valueChanged, this, [ch, moved](int v) {
            if (moved)
                moved(ch, v);
        });
        grid()->addWidget(slider, gridRow(ch), 1);
        grid()->addWidget(value, gridRow(ch), 2);
        m_sliders[ch] = slider;
        m_values[ch] = value;
    }
}

void ChannelSliderPanel::showValue(unsigned channel, int position, const QString& text) {
    if (channel >= 16 || !m_sliders[channel])
        return;
    const QSignalBlocker blocker(m_sliders[channel]);
    m_sliders[channel]->setValue(position);
    m_values[channel]->setText(text);
}

ValueRow addValueRow(QGridLayout* grid, int row, const QString& caption, const QString& name,
                     QWidget* parent) {
    ValueRow r;
    r.label = new QLabel(caption, parent);
    r.button = pageButton(QString(), name, parent);
    r.button->setAccessibleName(caption);
    r.button->setMinimumWidth(150);
    r.label->setBuddy(r.button);
    grid->addWidget(r.label, row, 0);
    grid->addWidget(r.button, row, 1, 1, 2);
    return r;
}

void OnOffRow::show(bool value) const {
    on->setChecked(value);
    off->setChecked(!value);
}

OnOffRow addOnOffRow(QGridLayout* grid, int row, const QString& caption, const QString& name,
                     QWidget* parent, const QString& onText, const QString& offText) {
    OnOffRow r;
    r.label = new QLabel(caption, parent);
    r.on = pageButton(onText, name + QStringLiteral("On"), parent, true);
    r.off = pageButton(offText, name + QStringLiteral("Off"), parent, true);
    r.on->setAccessibleName(caption + QLatin1Char(' ') + onText);
    r.off->setAccessibleName(caption + QLatin1Char(' ') + offText);
    grid->addWidget(r.label, row, 0);
    grid->addWidget(r.on, row, 1);
    grid->addWidget(r.off, row, 2);
    return r;
}

} // namespace kalder
