#include "setup/setup_choosers.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace kalder {

ListChooser::ListChooser(const QStringList& entries, int width, bool fourColumns,
                         std::function<void(int)> chosen, QWidget* parent)
    : QFrame(parent) {
    setObjectName(QStringLiteral("listChooser"));
    setAccessibleName(QStringLiteral("Choices"));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    m_count = static_cast<int>(std::min<qsizetype>(entries.size(), kMaxEntries));
    const int columns = fourColumns ? 4 : 1;
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(1, 1, 1, 1);
    grid->setSpacing(0);
    for (int i = 0; i < m_count; ++i) {
        auto* b = new QPushButton(entries[i], this);
        b->setObjectName(QStringLiteral("choice%1").arg(i));
        b->setAccessibleName(entries[i]);
        b->setFixedHeight(kRowHeight);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, i, chosen] {
            hide();
            deleteLater();
            if (chosen)
                chosen(i);
        });
        grid->addWidget(b, i / columns, i % columns);
    }
    const int rows = (m_count + columns - 1) / columns;
    setFixedSize(width, rows * kRowHeight + 2);
}

void ListChooser::keyPressEvent(QKeyEvent* event) {
    // Enter picks the entry that has the focus, as Space does.
    auto* entry = qobject_cast<QPushButton*>(focusWidget());
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && entry &&
        isAncestorOf(entry)) {
        entry->click();
        return;
    }
    QFrame::keyPressEvent(event);
}

NumberChooser::NumberChooser(int value, int minimum, int maximum,
                             std::function<void(int, int, int)> chosen, QWidget* parent)
    : QFrame(parent) {
    setObjectName(QStringLiteral("numberChooser"));
    build({{value, minimum, maximum}}, {QString()}, true, std::move(chosen));
}

NumberChooser::NumberChooser(int hour, int minute, int second,
                             std::function<void(int, int, int)> chosen, QWidget* parent, bool)
    : QFrame(parent) {
    setObjectName(QStringLiteral("timeChooser"));
    build({{hour, 0, 23}, {minute, 0, 59}, {second, 0, 59}},
          {QStringLiteral("Hour"), QStringLiteral("Minute"), QStringLiteral("Second")}, false,
          std::move(chosen));
}

void NumberChooser::build(const std::vector<std::array<int, 3>>& sliders, const QStringList& labels,
                          bool steps, std::function<void(int, int, int)> chosen) {
    setAccessibleName(steps ? QStringLiteral("Number") : QStringLiteral("Time"));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    auto* column = new QVBoxLayout(this);
    for (std::size_t i = 0; i < sliders.size(); ++i) {
        const auto [value, low, high] = sliders[i];
        auto* row = new QHBoxLayout;
        auto* shown = new QLabel(this);
        auto* slider = new QSlider(Qt::Horizontal, this);
        const QString name = labels[static_cast<int>(i)].isEmpty() ? QStringLiteral("Value")
                                                                   : labels[static_cast<int>(i)];
        slider->setAccessibleName(name);
        slider->setRange(low, high);
        slider->setValue(std::clamp(value, low, high));
        shown->setObjectName(QStringLiteral("shown%1").arg(i));
        shown->setMinimumWidth(30);
        connect(slider, &QSlider::valueChanged, this, [this] { showValues(); });
        if (!labels[static_cast<int>(i)].isEmpty())
            row->addWidget(new QLabel(labels[static_cast<int>(i)], this));
        if (steps) {
            auto* minus = new QPushButton(QStringLiteral("-"), this);
            minus->setObjectName(QStringLiteral("minus"));
            minus->setAccessibleName(QStringLiteral("Less"));
            minus->setFixedWidth(24);
            connect(minus, &QPushButton::clicked, this, [this] { step(-1); });
            row->addWidget(minus);
        }
        row->addWidget(slider);
        if (steps) {
            auto* plus = new QPushButton(QStringLiteral("+"), this);
            plus->setObjectName(QStringLiteral("plus"));
            plus->setAccessibleName(QStringLiteral("More"));
            plus->setFixedWidth(24);
            connect(plus, &QPushButton::clicked, this, [this] { step(1); });
            row->addWidget(plus);
        }
        row->addWidget(shown);
        column->addLayout(row);
        m_sliders.push_back(slider);
        m_shown.push_back(shown);
    }
    showValues();
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("chooserOk"));
    ok->setAccessibleName(QStringLiteral("OK"));
    ok->setAutoDefault(false);
    m_ok = ok;
    connect(ok, &QPushButton::clicked, this, [this, chosen] {
        const int a = value(0), b = value(1), c = value(2);
        hide();
        deleteLater();
        if (chosen)
            chosen(a, b, c);
    });
    column->addWidget(ok);
    setFixedWidth(260);
    adjustSize();
}

int NumberChooser::value(int slider) const {
    return slider >= 0 && static_cast<std::size_t>(slider) < m_sliders.size()
               ? m_sliders[static_cast<std::size_t>(slider)]->value()
               : 0;
}

void NumberChooser::setUnit(const QString& unit) {
    m_unit = unit;
    showValues();
}

void NumberChooser::showValues() {
    for (std::size_t i = 0; i < m_sliders.size(); ++i) {
        const QString number = QString::number(m_sliders[i]->value());
        m_shown[i]->setText(m_unit.isEmpty() ? number : number + QLatin1Char(' ') + m_unit);
    }
}

void NumberChooser::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_ok->click();
        return;
    }
    QFrame::keyPressEvent(event);
}

void NumberChooser::step(int delta) {
    if (!m_sliders.empty())
        m_sliders[0]->setValue(m_sliders[0]->value() + delta); // the slider keeps its range
}

} // namespace kalder
