#include "setup/pages/ptz_setup_page_widget.h"

#include "setup/pages/serial_page_controls.h"
#include "setup/setup_window.h"
#include "ui/theme.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

namespace kalder {

namespace {

constexpr int kRowTop = 34;
constexpr int kRowHeight = 21;
const char* const kViewNames[] = {"ID",       "Protocol", "Baud Rate", "Pan Low",
                                  "Pan High", "Tilt Low", "Tilt High"};

} // namespace

PtzSetupPageWidget::PtzSetupPageWidget(SetupWindow& window)
    : m_window(window), m_channels(std::min<unsigned>(window.context().channelNum, kPtzChannels)),
      m_protocols(serialDeviceTypes(window.context().tables, SerialTable::PtzProtocols)),
      m_state(readPtzSetup(window.record())) {
    setObjectName(QStringLiteral("ptzSetupPage"));
    for (int v = 0; v < 7; ++v) {
        QPushButton* b = makeDialogButton(QString::fromLatin1(kViewNames[v]), this);
        b->setObjectName(QStringLiteral("view%1").arg(v));
        b->setCheckable(true);
        b->setGeometry(4 + (v < 3 ? v : v - 3) * 99, 4, 96, 24);
        connect(b, &QPushButton::clicked, this, [this, v] { showView(static_cast<View>(v)); });
        m_viewButtons.push_back(b);
    }
    for (unsigned ch = 0; ch < m_channels; ++ch) {
        const int y = kRowTop + static_cast<int>(ch) * kRowHeight;
        const QString channel = QStringLiteral("CH%1").arg(ch + 1, 2, 10, QLatin1Char('0'));
        auto* box = new QCheckBox(channel, this);
        box->setObjectName(QStringLiteral("select%1").arg(ch));
        box->setGeometry(4, y, 62, 20);
        connect(box, &QCheckBox::clicked, this, [this, ch](bool on) { setChecked(ch, on); });
        auto* list = new ValueButton(QStringLiteral("list%1").arg(ch), channel, this);
        list->setGeometry(70, y, 120, 20);
        connect(list, &QPushButton::clicked, this, [this, ch] { openList(ch); });
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setObjectName(QStringLiteral("slider%1").arg(ch));
        slider->setGeometry(70, y, 270, 20);
        connect(slider, &QSlider::valueChanged, this,
                [this, ch](int position) { moveSlider(ch, position); });
        auto* value = new QLabel(this);
        value->setGeometry(346, y, 50, 20);
        value->setBuddy(slider);
        m_boxes[ch] = box;
        m_lists[ch] = list;
        m_sliders[ch] = slider;
        m_values[ch] = value;
    }
    const int bottom = 417 - 30;
    QPushButton* all = makeDialogButton(tr("All Check"), this);
    all->setObjectName(QStringLiteral("allCheck"));
    all->setGeometry(4, bottom, 96, 26);
    connect(all, &QPushButton::clicked, this, [this] {
        for (unsigned ch = 0; ch < m_channels; ++ch)
            setChecked(ch, true);
    });
    QPushButton* none = makeDialogButton(tr("Beturn All"), this);
    none->setObjectName(QStringLiteral("returnAll"));
    none->setGeometry(104, bottom, 96, 26);
    connect(none, &QPushButton::clicked, this, [this] {
        for (unsigned ch = 0; ch < m_channels; ++ch)
            setChecked(ch, false);
    });
    m_next = makeDialogButton(tr("Next"), this);
    m_next->setObjectName(QStringLiteral("next"));
    m_next->setGeometry(302, bottom, 96, 26);
    connect(m_next, &QPushButton::clicked, this, [this] { showView(View::PanLow); });
    m_prev = makeDialogButton(tr("Prev"), this);
    m_prev->setObjectName(QStringLiteral("prev"));
    m_prev->setGeometry(302, bottom, 96, 26);
    connect(m_prev, &QPushButton::clicked, this, [this] { showView(View::Id); });
    showView(View::Id);
}

void PtzSetupPageWidget::showView(View view) {
    m_view = view;
    m_checked.fill(false);
    const bool levels = levelPage();
    for (std::size_t v = 0; v < m_viewButtons.size(); ++v) {
        m_viewButtons[v]->setVisible(levels == (v >= 3));
        m_viewButtons[v]->setChecked(v == static_cast<std::size_t>(view));
    }
    m_next->setVisible(!levels);
    m_prev->setVisible(levels);
    for (unsigned ch = 0; ch < m_channels; ++ch) {
        const QString channel = QStringLiteral("CH%1").arg(ch + 1, 2, 10, QLatin1Char('0'));
        QSlider* s = m_sliders[ch];
        const QSignalBlocker quiet(s);
        if (levels) {
            s->setRange(0, static_cast<int>(kPtzLevelPositions));
            s->setGeometry(70, s->y(), 270, 20);
        } else {
            s->setRange(0, static_cast<int>(kPtzMaxAddress));
            s->setGeometry(196, s->y(), 150, 20);
        }
        s->setAccessibleName(channel + QLatin1Char(' ') +
                             QString::fromLatin1(kViewNames[static_cast<int>(view)]));
        s->setVisible(view == View::Id || levels);
        m_lists[ch]->setVisible(!levels);
        m_values[ch]->setVisible(levels);
    }
    refresh();
}

std::vector<std::size_t> PtzSetupPageWidget::targets(unsigned channel) const {
    return changedChannels(channel, m_checked, m_channels);
}

void PtzSetupPageWidget::setChecked(unsigned channel, bool checked) {
    if (channel >= m_channels)
        return;
    m_checked[channel] = checked;
    m_boxes[channel]->setChecked(checked);
}

void PtzSetupPageWidget::openList(unsigned channel) {
    std::vector<std::string> entries;
    switch (m_view) {
    case View::Id:
        entries = addressEntries();
        break;
    case View::Protocol:
        entries = serialTypeEntries(m_protocols);
        break;
    case View::Baud:
        entries = baudEntries(m_protocols, m_state.rows[channel].protocol);
        break;
    default:
        return;
    }
    if (entries.empty())
        return;
    m_window.openListChooser(m_lists[channel], toStringList(entries), 120, false,
                             [this, channel](int entry) { chooseFromList(channel, entry); });
}

void PtzSetupPageWidget::chooseFromList(unsigned channel, int entry) {
    if (channel >= m_channels || entry < 0)
        return;
    ConfigRecord& record = m_window.record();
    const auto set = targets(channel);
    const auto e = static_cast<unsigned>(entry);
    if (m_view == View::Id)
        writeSerialAddress(record, kPtzFields, set,
                           addressAfterChoice(e, m_state.rows[channel].id));
    else if (m_view == View::Protocol)
        chooseSerialType(record, kPtzFields, m_protocols, set, e);
    else if (m_view == View::Baud &&
             e < baudEntries(m_protocols, m_state.rows[channel].protocol).size())
        chooseSerialBaud(record, kPtzFields, set, e);
    m_state = readPtzSetup(record);
    refresh();
}

void PtzSetupPageWidget::moveSlider(unsigned channel, int position) {
    if (channel >= m_channels || position < 0)
        return;
    ConfigRecord& record = m_window.record();
    if (m_view == View::Id)
        writeSerialAddress(record, kPtzFields, targets(channel), static_cast<unsigned>(position));
    else if (levelPage())
        writePtzLevel(record, static_cast<std::size_t>(m_view) - 3, targets(channel),
                      static_cast<unsigned>(position));
    else
        return;
    m_state = readPtzSetup(record);
    refresh();
}

void PtzSetupPageWidget::refresh() {
    for (unsigned ch = 0; ch < m_channels; ++ch) {
        m_boxes[ch]->setChecked(m_checked[ch]);
        const SerialRow& row = m_state.rows[ch];
        const QSignalBlocker quiet(m_sliders[ch]);
        switch (m_view) {
        case View::Id:
            m_lists[ch]->setValueText(addressText(row.id));
            m_sliders[ch]->setValue(static_cast<int>(row.id));
            break;
        case View::Protocol:
            m_lists[ch]->setValueText(serialTypeText(m_protocols, row.protocol));
            break;
        case View::Baud:
            m_lists[ch]->setValueText(baudText(row.baud));
            break;
        default: {
            const unsigned position =
                levelPosition(m_state.levels[static_cast<std::size_t>(m_view) - 3][ch]);
            m_sliders[ch]->setValue(static_cast<int>(position));
            m_values[ch]->setText(QString::number(position));
            break;
        }
        }
    }
}

} // namespace kalder
