#include "setup/pages/rec_page_parts.h"

#include "ui/theme.h"

#include <QButtonGroup>
#include <QWidget>

namespace kalder {

QPushButton* makePageButton(const QString& caption, QWidget* parent, const QRect& geometry,
                            const QString& accessibleName) {
    auto* b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    b->setGeometry(geometry);
    if (!accessibleName.isEmpty())
        b->setAccessibleName(accessibleName);
    // A checked button (the current view, the chosen resolution, On or Off) looks as a chosen
    // tab or page does.
    showCheckedLikeTheSkin(b);
    return b;
}

std::vector<QPushButton*> makeChannelButtons(QWidget* parent, unsigned channels, int x, int y,
                                             int width, std::function<void(unsigned)> chosen) {
    std::vector<QPushButton*> buttons;
    auto* group = new QButtonGroup(parent);
    for (unsigned ch = 0; ch < channels; ++ch) {
        QPushButton* b = makePageButton(QString::number(ch + 1), parent,
                                        QRect(x + static_cast<int>(ch) * width, y, width - 1, 24),
                                        QStringLiteral("Channel %1").arg(ch + 1));
        b->setObjectName(QStringLiteral("channel%1").arg(ch + 1));
        b->setCheckable(true);
        b->setChecked(ch == 0);
        group->addButton(b);
        QObject::connect(b, &QPushButton::clicked, parent, [chosen, ch] { chosen(ch); });
        buttons.push_back(b);
    }
    return buttons;
}

} // namespace kalder
