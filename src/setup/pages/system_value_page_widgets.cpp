#include "setup/pages/system_value_page_widgets.h"

#include "setup/model/system_value_pages.h"
#include "resources/resource_library.h"
#include "setup/setup_window.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace kalder {

namespace {

QSlider* pageSlider(const QString& name, const QString& accessibleName, int maximum,
                    QWidget* parent) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    slider->setAccessibleName(accessibleName);
    slider->setRange(0, maximum);
    return slider;
}

} // namespace

AutoDeletePageWidget::AutoDeletePageWidget(SetupWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("autoDeletePage"));
    auto* grid = new QGridLayout(this);
    auto* label = new QLabel(tr("Delete recordings older than"), this);
    m_slider = pageSlider(QStringLiteral("autoDeleteDays"), tr("Auto delete days"),
                          int(kAutoDeleteMaxDays), this);
    label->setBuddy(m_slider);
    m_value = new QLabel(this);
    m_value->setObjectName(QStringLiteral("autoDeleteValue"));
    m_value->setMinimumWidth(70);
    connect(m_slider, &QSlider::valueChanged, this, [this](int days) {
        setAutoDeleteDays(m_window.record(), days);
        refresh();
    });
    grid->addWidget(label, 0, 0, 1, 2);
    grid->addWidget(m_slider, 1, 0);
    grid->addWidget(m_value, 1, 1);
    grid->setRowStretch(2, 1);
    refresh();
}

void AutoDeletePageWidget::refresh() {
    const unsigned days = m_window.record().value(configField("auto_delete_days"));
    const QSignalBlocker blocker(m_slider);
    m_slider->setValue(int(std::min(days, kAutoDeleteMaxDays)));
    m_value->setText(QStringLiteral("%1 %2").arg(days).arg(tr("days")));
}

// The Smart value's unit is the unit the status view shows the disks' readings with (the
// recorder's disk temperature, text 6408), so the limit set here reads like the value shown
// there.
QString SmartPageWidget::smartUnit() {
    constexpr int kDiskUnitText = 6408;
    // The library's texts are plain ASCII: a bare "C" is degrees Celsius, shown with its sign
    // so that "20 C" does not read as a letter.
    QString unit = resourceText(kDiskUnitText);
    if (unit.isEmpty() || unit == QLatin1String("C"))
        unit = QStringLiteral("\u00B0C");
    return unit;
}

SmartPageWidget::SmartPageWidget(SetupWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("smartPage"));
    auto* grid = new QGridLayout(this);
    // The disks' self-check: the first switch turns the recorder's health check of its disks
    // on, the second lets it warn when a disk reports errors; the value below is the disk
    // temperature that raises the alarm.
    const char* captions[] = {"Disk health check", "Warn on disk errors"};
    for (std::size_t row = 0; row < 2; ++row) {
        m_flags[row] = addOnOffRow(grid, static_cast<int>(row), QString::fromLatin1(captions[row]),
                                   QStringLiteral("smartFlag%1").arg(row + 1), this);
        for (bool on : {true, false})
            connect(on ? m_flags[row].on : m_flags[row].off, &QPushButton::clicked, this,
                    [this, row, on] {
                        setSmartFlag(m_window.record(), row, on);
                        refresh();
                    });
    }
    auto* label = new QLabel(tr("Disk temperature alarm"), this);
    m_slider = pageSlider(QStringLiteral("smartValue"), tr("Disk temperature alarm"),
                          int(kSmartValueMax), this);
    label->setBuddy(m_slider);
    m_value = new QLabel(this);
    m_value->setObjectName(QStringLiteral("smartValueText"));
    m_value->setMinimumWidth(70);
    connect(m_slider, &QSlider::valueChanged, this, [this](int v) {
        setSmartValue(m_window.record(), v);
        refresh();
    });
    grid->addWidget(label, 2, 0);
    grid->addWidget(m_slider, 3, 0, 1, 2);
    grid->addWidget(m_value, 3, 2);
    grid->setRowStretch(4, 1);
    refresh();
}

void SmartPageWidget::refresh() {
    for (std::size_t row = 0; row < 2; ++row)
        m_flags[row].show(m_window.record().value(row == 0 ? configField("smart_flag_1")
                                                           : configField("smart_flag_2")) != 0);
    const unsigned v = m_window.record().value(configField("smart_value"));
    const QSignalBlocker blocker(m_slider);
    m_slider->setValue(int(std::min(v, kSmartValueMax)));
    m_value->setText(QString::fromStdString(
        smartValueText(v, smartUnit().toStdString(), tr("Off").toStdString())));
}

QStringList EtcPageWidget::entries(std::size_t row) {
    // Row 0 is the key tone of the recorder's front panel; row 1 the monitor output the
    // recorder's own menu appears on.
    if (row == 0)
        return {QObject::tr("Off"), QObject::tr("On")};
    return {QObject::tr("Monitor output 1"), QObject::tr("Monitor output 2")};
}

EtcPageWidget::EtcPageWidget(SetupWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("etcPage"));
    auto* grid = new QGridLayout(this);
    const char* captions[] = {"Key tone", "Menu on monitor"};
    for (std::size_t row = 0; row < 2; ++row) {
        m_rows[row] = addValueRow(grid, static_cast<int>(row), QString::fromLatin1(captions[row]),
                                  QStringLiteral("etcRow%1").arg(row + 1), this);
        connect(m_rows[row].button, &QPushButton::clicked, this, [this, row] {
            m_window.openListChooser(
                m_rows[row].button, entries(row), 150, false, [this, row](int i) {
                    setEtcChoice(m_window.record(), row, static_cast<unsigned>(i));
                    refresh();
                });
        });
    }
    grid->setRowStretch(2, 1);
    refresh();
}

void EtcPageWidget::refresh() {
    for (std::size_t row = 0; row < 2; ++row) {
        const unsigned v = m_window.record().value(row == 0 ? configField("etc_choice_1")
                                                            : configField("etc_choice_2"));
        const QStringList list = entries(row);
        m_rows[row].button->setText(v < unsigned(list.size()) ? list[int(v)] : QString::number(v));
    }
}

} // namespace kalder
