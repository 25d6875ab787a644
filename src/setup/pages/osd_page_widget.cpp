#include "setup/pages/osd_page_widget.h"

#include "setup/setup_window.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace kalder {

QStringList OsdPageWidget::choiceEntries(std::size_t choice) {
    const QString sec = QObject::tr("sec");
    const QString off = QObject::tr("Off");
    const QString always = QObject::tr("Always");
    switch (choice) {
    case 0:
        return {off, QStringLiteral("5 %1").arg(sec), QStringLiteral("10 %1").arg(sec), always};
    case 1: {
        QStringList numbers;
        for (int i = 0; i < 7; ++i)
            numbers << QString::number(i);
        return numbers;
    }
    case 2:
        return {off, QStringLiteral("5%1").arg(sec), QStringLiteral("10%1").arg(sec), always};
    default: {
        const QString unit = QObject::tr("min");
        return {QStringLiteral("1%1").arg(unit), QStringLiteral("5%1").arg(unit)};
    }
    }
}

OsdPageWidget::OsdPageWidget(SetupWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("osdPage"));
    const OsdState state = readOsd(window.record(), window.context());
    auto* grid = new QGridLayout(this);
    const char* flagCaptions[] = {"Status display", "Camera title"};
    for (std::size_t row = 0; row < 2; ++row) {
        // The row's box carries its caption: a checked row passes its On or Off to the other
        // checked row.
        const QString caption = QString::fromLatin1(flagCaptions[row]);
        auto* box = new QCheckBox(caption, this);
        box->setObjectName(QStringLiteral("osdSelect%1").arg(row + 1));
        box->setAccessibleName(caption);
        box->setToolTip(tr("Check both rows to switch them together"));
        grid->addWidget(box, static_cast<int>(row), 0);
        m_boxes[row] = box;
        auto* rowGrid = new QGridLayout;
        m_flags[row] =
            addOnOffRow(rowGrid, 0, caption, QStringLiteral("osdFlag%1").arg(row + 1), this);
        m_flags[row].label->hide();
        grid->addLayout(rowGrid, static_cast<int>(row), 1);
        connect(m_flags[row].on, &QPushButton::clicked, this,
                [this, row] { flagClicked(row, true); });
        connect(m_flags[row].off, &QPushButton::clicked, this,
                [this, row] { flagClicked(row, false); });
    }
    auto* lists = new QGridLayout;
    const char* listCaptions[] = {"Event display", "Display position", "Event pop-up",
                                  "Status interval", "Title interval"};
    for (std::size_t k = 0; k < kOsdChoices; ++k) {
        m_choices[k] = addValueRow(lists, static_cast<int>(k), QString::fromLatin1(listCaptions[k]),
                                   QStringLiteral("osdChoice%1").arg(k + 1), this);
        if (k == 1)
            m_choices[k].button->setToolTip(
                tr("Where the recorder places its on-screen text: one of its places 0 to 6"));
        connect(m_choices[k].button, &QPushButton::clicked, this, [this, k] {
            m_window.openListChooser(m_choices[k].button, choiceEntries(k), 150, false,
                                     [this, k](int entry) {
                                         setOsdChoice(m_window.record(), m_window.context(), k,
                                                      static_cast<unsigned>(entry));
                                         refresh();
                                     });
        });
        // Records of 4.3 and before have no such settings: the rows are not there.
        const bool shown = k < 2 || state.extraRows;
        m_choices[k].label->setVisible(shown);
        m_choices[k].button->setVisible(shown);
    }
    grid->addLayout(lists, 2, 0, 1, 2);
    grid->setRowStretch(3, 1);
    refresh();
}

void OsdPageWidget::flagClicked(std::size_t row, bool on) {
    setOsdFlag(m_window.record(), row, on, {m_boxes[0]->isChecked(), m_boxes[1]->isChecked()});
    refresh();
}

void OsdPageWidget::refresh() {
    const OsdState state = readOsd(m_window.record(), m_window.context());
    for (std::size_t row = 0; row < 2; ++row)
        m_flags[row].show(state.flags[row] != 0);
    for (std::size_t k = 0; k < kOsdChoices; ++k) {
        const QStringList entries = choiceEntries(k);
        const unsigned v = state.choices[k];
        // A value the list does not have is shown as the number it is.
        QString text = v < entries.size() ? entries[int(v)] : QString::number(v);
        // The position list offers the recorder's numbered places for its on-screen text;
        // the button says the number is a position rather than a count.
        if (k == 1)
            text = tr("Position %1").arg(text);
        m_choices[k].button->setText(text);
    }
}

} // namespace kalder
