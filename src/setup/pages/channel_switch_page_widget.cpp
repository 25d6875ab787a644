#include "setup/pages/channel_switch_page_widget.h"

#include "setup/model/system_value_pages.h"
#include "setup/setup_window.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalder {

ChannelSwitchPageWidget::ChannelSwitchPageWidget(SetupWindow& window, const QString& objectName,
                                                 const QString& title,
                                                 std::vector<SwitchChoice> choices,
                                                 std::function<std::uint32_t(unsigned)> stored,
                                                 ChannelSwitchPanel::Write write, QWidget* parent,
                                                 std::function<void()> back)
    : QWidget(parent) {
    setObjectName(objectName);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 6, 8, 6);
    auto* heading = new QLabel(title, this);
    heading->setObjectName(QStringLiteral("pageTitle"));
    column->addWidget(heading);
    m_panel = new ChannelSwitchPanel(window.context().channelNum, std::move(choices),
                                     std::move(stored), std::move(write), this);
    column->addWidget(m_panel, 1);
    if (back) {
        m_prev = pageButton(tr("Prev"), QStringLiteral("prev"), this);
        connect(m_prev, &QPushButton::clicked, this, back);
        column->addWidget(m_prev, 0, Qt::AlignRight);
    }
}

ChannelSwitchPageWidget* makeCameraCovertPage(SetupWindow& window) {
    return new ChannelSwitchPageWidget(
        window, QStringLiteral("cameraCovertPage"), QObject::tr("Camera Covert"),
        {{QObject::tr("On"), 1}, {QObject::tr("Off"), 0}},
        [&window](unsigned ch) { return window.record().value(configField("covert"), ch); },
        [&window](const ChannelSelection& s, unsigned ch, std::uint32_t v) {
            writeSelected(window.record(), configField("covert"), 0, s, ch, v);
        });
}

ChannelSwitchPageWidget* makeSensorPage(SetupWindow& window) {
    return new ChannelSwitchPageWidget(
        window, QStringLiteral("sensorPage"), QObject::tr("Sensor"),
        {{QStringLiteral("On"), 2}, {QStringLiteral("Off"), 1}, {QStringLiteral("None"), 0}},
        [&window](unsigned ch) { return window.record().value(configField("sensor_type"), ch); },
        [&window](const ChannelSelection& s, unsigned ch, std::uint32_t v) {
            setSensorType(window.record(), s, ch, static_cast<SensorType>(v));
        });
}

} // namespace kalder
