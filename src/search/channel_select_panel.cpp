#include "search/channel_select_panel.h"

#include "ui/search_look.h"
#include "search/search_window.h"

#include "resources/resource_library.h"

#include <QCheckBox>
#include <QPushButton>

namespace kalder {

namespace {
constexpr int kChannelSelectText = 5152;
}

ChannelSelectPanel::ChannelSelectPanel(SearchWindow& window, QWidget* parent)
    : QWidget(parent), m_window(window) {
    setObjectName("ChannelSelectPanel");
    const QByteArray prefix = resourceText(kChannelSelectText).toLatin1();
    for (int n = 0; n < 16; ++n) {
        const int x = n < 8 ? 4 : 204, y = 6 + (n % 8) * 40;
        const QString name = QString::asprintf("%s%02d", prefix.constData(), n + 1);
        auto* check = new QCheckBox(name, this);
        check->setAccessibleName(name);
        check->setGeometry(x, y, 70, 26);
        auto* on = new QPushButton(QStringLiteral("On"), this);
        on->setAccessibleName(name + QStringLiteral(" On"));
        on->setCheckable(true);
        showCheckedLook(on);
        on->setAutoDefault(false);
        on->setGeometry(x + 74, y, 52, 26);
        auto* off = new QPushButton(QStringLiteral("Off"), this);
        off->setAccessibleName(name + QStringLiteral(" Off"));
        off->setCheckable(true);
        showCheckedLook(off);
        off->setAutoDefault(false);
        off->setGeometry(x + 130, y, 52, 26);
        connect(on, &QPushButton::clicked, this, [this, n] { setChannel(n, true); });
        connect(off, &QPushButton::clicked, this, [this, n] { setChannel(n, false); });
        // Rows beyond the recorder's channels are hidden.
        const bool present = static_cast<unsigned>(n) < window.channelCount();
        check->setVisible(present);
        on->setVisible(present);
        off->setVisible(present);
        m_checks[n] = check;
        m_on[n] = on;
        m_off[n] = off;
    }
    auto* all = new QPushButton(QStringLiteral("All Check"), this);
    all->setAccessibleName(QStringLiteral("All Check"));
    all->setAutoDefault(false);
    all->setGeometry(4, 380, 120, 26);
    connect(all, &QPushButton::clicked, this, [this] { checkAll(true); });
    auto* clear = new QPushButton(QStringLiteral("Clear Check"), this);
    clear->setAccessibleName(QStringLiteral("Clear Check"));
    clear->setAutoDefault(false);
    clear->setGeometry(130, 380, 120, 26);
    connect(clear, &QPushButton::clicked, this, [this] { checkAll(false); });
    showStates();
}

void ChannelSelectPanel::setChannel(int channel, bool on) {
    m_window.setSearchChannel(static_cast<unsigned>(channel), on);
    // On or Off on a checked row acts on every checked row.
    if (m_checks[channel]->isChecked())
        for (int n = 0; n < 16; ++n)
            if (n != channel && m_checks[n]->isChecked() && !m_checks[n]->isHidden())
                m_window.setSearchChannel(static_cast<unsigned>(n), on);
    showStates();
}

void ChannelSelectPanel::checkAll(bool checked) {
    for (QCheckBox* c : m_checks)
        c->setChecked(checked);
}

void ChannelSelectPanel::showStates() {
    const std::uint16_t mask = m_window.searchChannelMask();
    for (int n = 0; n < 16; ++n) {
        m_on[n]->setChecked(mask & (1u << n));
        m_off[n]->setChecked(!(mask & (1u << n)));
    }
}

} // namespace kalder
