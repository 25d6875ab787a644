#include "setup/pages/ptz_controller_page_widget.h"

#include "setup/pages/serial_page_controls.h"
#include "setup/setup_window.h"

#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

namespace kalder {

PtzControllerPageWidget::PtzControllerPageWidget(SetupWindow& window)
    : m_window(window),
      m_keyboards(serialDeviceTypes(window.context().tables, SerialTable::Keyboards)),
      m_row(readPtzController(window.record())) {
    setObjectName(QStringLiteral("ptzControllerPage"));
    const char* const captions[] = {"ID", "Protocol", "Baud Rate"};
    for (int r = 0; r < 3; ++r) {
        const int y = 20 + r * 40;
        auto* label = new QLabel(QString::fromLatin1(captions[r]), this);
        label->setGeometry(10, y, 90, 22);
        auto* list =
            new ValueButton(QStringLiteral("list%1").arg(r),
                            QStringLiteral("Controller ") + QString::fromLatin1(captions[r]), this);
        list->setGeometry(104, y, 130, 22);
        label->setBuddy(list);
        connect(list, &QPushButton::clicked, this, [this, r] {
            const Row row = static_cast<Row>(r);
            const std::vector<std::string> entries = row == Row::Id ? addressEntries()
                                                     : row == Row::Protocol
                                                         ? serialTypeEntries(m_keyboards)
                                                         : baudEntries(m_keyboards, m_row.protocol);
            if (entries.empty())
                return;
            m_window.openListChooser(m_lists[r], toStringList(entries), 130, false,
                                     [this, row](int entry) { chooseFromList(row, entry); });
        });
        m_lists[r] = list;
    }
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("idSlider"));
    m_slider->setAccessibleName(tr("Controller ID slider"));
    m_slider->setRange(0, static_cast<int>(kPtzMaxAddress));
    m_slider->setGeometry(244, 20, 150, 22);
    connect(m_slider, &QSlider::valueChanged, this, [this](int p) { moveSlider(p); });
    refresh();
}

void PtzControllerPageWidget::chooseFromList(Row row, int entry) {
    if (entry < 0)
        return;
    ConfigRecord& record = m_window.record();
    const auto e = static_cast<unsigned>(entry);
    if (row == Row::Id)
        writeSerialAddress(record, kKeyboardFields, {0}, addressAfterChoice(e, m_row.id));
    else if (row == Row::Protocol)
        chooseSerialType(record, kKeyboardFields, m_keyboards, {0}, e);
    else if (e < baudEntries(m_keyboards, m_row.protocol).size())
        chooseSerialBaud(record, kKeyboardFields, {0}, e);
    m_row = readPtzController(record);
    refresh();
}

void PtzControllerPageWidget::moveSlider(int position) {
    if (position < 0)
        return;
    writeSerialAddress(m_window.record(), kKeyboardFields, {0}, static_cast<unsigned>(position));
    m_row = readPtzController(m_window.record());
    refresh();
}

void PtzControllerPageWidget::refresh() {
    m_lists[0]->setValueText(addressText(m_row.id));
    m_lists[1]->setValueText(serialTypeText(m_keyboards, m_row.protocol));
    m_lists[2]->setValueText(baudText(m_row.baud));
    const QSignalBlocker quiet(m_slider);
    m_slider->setValue(static_cast<int>(m_row.id));
}

} // namespace kalder
