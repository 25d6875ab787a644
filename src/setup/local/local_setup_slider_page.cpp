#include "setup/local/local_setup_slider_page.h"

#include "setup/local/local_setup_rules.h"
#include "ui/theme.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace kalder {

LocalSetupSliderPage::LocalSetupSliderPage(const QStringList& rowLabels,
                                           std::span<std::uint8_t> values, int minimum, int maximum,
                                           QWidget* parent)
    : QWidget(parent), m_values(values.first(std::min(values.size(), kMaxRows))),
      m_rows(m_values.size()) {
    auto* grid = new QGridLayout;
    for (std::size_t row = 0; row < m_rows; ++row) {
        const QString suffix = QString::number(row);
        const QString label = row < std::size_t(rowLabels.size()) ? rowLabels[int(row)] : QString();
        auto* check = new QCheckBox(label, this);
        check->setObjectName(QStringLiteral("check") + suffix);
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setObjectName(QStringLiteral("slider") + suffix);
        slider->setRange(minimum, maximum);
        // The row's check box is its label: assistive tools and tests find the slider by it.
        slider->setAccessibleName(label);
        slider->setToolTip(QStringLiteral("%1: %2 to %3; releasing it moves every checked row")
                               .arg(label)
                               .arg(minimum)
                               .arg(maximum));
        auto* value = new QLabel(this);
        value->setObjectName(QStringLiteral("value") + suffix);
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("0000")));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setAccessibleName(label + QStringLiteral(" value"));
        grid->addWidget(check, int(row), 0);
        grid->addWidget(slider, int(row), 1);
        grid->addWidget(value, int(row), 2);
        m_checkBoxes.push_back(check);
        m_sliders.push_back(slider);
        m_valueLabels.push_back(value);

        connect(check, &QCheckBox::toggled, this, [this, row](bool on) { onCheck(row, on); });
        connect(slider, &QSlider::valueChanged, this,
                [this, row](int position) { onMoved(row, position); });
        connect(slider, &QSlider::sliderReleased, this, [this, row] { onReleased(row); });
        // A click on the groove moves the slider without holding its handle, so no
        // sliderReleased follows: the mouse release counts as the release then.
        slider->installEventFilter(this);
    }
    grid->setColumnStretch(1, 1);

    // Both captions are the system's own texts, not resource-library entries.
    QPushButton* allCheck = makeDialogButton(QStringLiteral("All Check"), this);
    allCheck->setObjectName(QStringLiteral("allCheck"));
    QPushButton* returnAll = makeDialogButton(QStringLiteral("Beturn All"), this);
    returnAll->setObjectName(QStringLiteral("returnAll"));
    connect(allCheck, &QPushButton::clicked, this, [this] { setAll(true); });
    connect(returnAll, &QPushButton::clicked, this, [this] { setAll(false); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(allCheck);
    buttons->addWidget(returnAll);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(buttons);
    refresh();
}

void LocalSetupSliderPage::refresh() {
    for (std::size_t row = 0; row < m_sliders.size(); ++row) {
        // A stored value outside the slider's range is kept until the operator moves the slider.
        const QSignalBlocker blockSlider(m_sliders[row]);
        const QSignalBlocker blockCheck(m_checkBoxes[row]);
        m_sliders[row]->setValue(m_values[row]);
        m_valueLabels[row]->setText(QString::number(m_values[row]));
        m_checkBoxes[row]->setChecked(m_checked[row]);
    }
}

bool LocalSetupSliderPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        for (std::size_t row = 0; row < m_sliders.size(); ++row) {
            if (m_sliders[row] == watched && !m_sliders[row]->isSliderDown()) {
                // Runs before the slider sees the release; a groove click has moved it already.
                QMetaObject::invokeMethod(
                    this, [this, row] { onReleased(row); }, Qt::QueuedConnection);
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LocalSetupSliderPage::onMoved(std::size_t row, int position) {
    m_values[row] = static_cast<std::uint8_t>(position);
    m_valueLabels[row]->setText(QString::number(position));
}

void LocalSetupSliderPage::onReleased(std::size_t row) {
    applySliderRelease(m_values, checks(), row, static_cast<std::uint8_t>(m_sliders[row]->value()));
    refresh();
}

void LocalSetupSliderPage::onCheck(std::size_t row, bool on) {
    m_checked[row] = on;
}

void LocalSetupSliderPage::setAll(bool on) {
    setAllChecks(std::span<bool>(m_checked.data(), m_rows), on);
    refresh();
}

} // namespace kalder
