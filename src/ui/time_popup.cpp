#include "ui/time_popup.h"

#include "resources/resource_library.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>

namespace kalder {

namespace {
constexpr int kPartText[3] = {5350, 5351, 5341}; // hour, minute, second
const char* const kPartFallback[3] = {"Hour", "Min", "Sec"};
constexpr int kPartMaximum[3] = {23, 59, 59};
} // namespace

TimePopup::TimePopup(int hour, int minute, int second, QWidget* parent)
    : QDialog(parent, Qt::Popup) {
    setObjectName("TimePopup");
    setFixedSize(220, 3 * 21 + 12 + 26);
    const int values[3] = {hour, minute, second};
    for (int part = 0; part < 3; ++part) {
        QString name = resourceText(kPartText[part]);
        if (name.isEmpty())
            name = QString::fromLatin1(kPartFallback[part]);
        auto* label = new QLabel(name, this);
        label->setGeometry(6, 6 + part * 21, 40, 20);
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setAccessibleName(name);
        slider->setRange(0, kPartMaximum[part]);
        slider->setValue(values[part]);
        slider->setGeometry(48, 6 + part * 21, 130, 20);
        label->setBuddy(slider);
        auto* value = new QLabel(QString::asprintf("%d", values[part]), this);
        value->setGeometry(184, 6 + part * 21, 30, 20);
        connect(slider, &QSlider::valueChanged, value,
                [value](int v) { value->setText(QString::asprintf("%d", v)); });
        m_sliders[part] = slider;
        m_values[part] = value;
    }
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("timePopupOk"));
    m_ok->setAccessibleName(QStringLiteral("OK"));
    m_ok->setDefault(true); // Enter anywhere in the pop-up
    m_ok->setGeometry(220 - 6 - 60, 6 + 3 * 21 + 2, 60, 22);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

void TimePopup::reject() {
    // Escape: the time stays as it was. A close() from the owner also arrives here (QDialog
    // closes by rejecting) and still reports.
    if (!m_closing)
        m_reported = true;
    QDialog::reject();
}

void TimePopup::closeEvent(QCloseEvent* event) {
    m_closing = true;
    QDialog::closeEvent(event);
    m_closing = false;
}

void TimePopup::mousePressEvent(QMouseEvent* event) {
    // A pop-up sees the press that lands outside it and closes on it: that closes it unchanged.
    if (!rect().contains(event->position().toPoint()))
        m_reported = true;
    QDialog::mousePressEvent(event);
}

void TimePopup::hideEvent(QHideEvent* event) {
    if (!m_reported) {
        m_reported = true;
        emit chosen(m_sliders[0]->value(), m_sliders[1]->value(), m_sliders[2]->value());
    }
    QDialog::hideEvent(event);
}

} // namespace kalder
