#include "setup/pages/link_page_widget.h"

#include "setup/model/profile_page.h"
#include "setup/pages/rec_page_parts.h"
#include "setup/setup_window.h"

#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>

namespace kalder {

namespace {
// A link ties the channel's alarm recording to a sensor input: the input's contact type and
// the seconds recorded after it trips.
const char* const kFlagTexts[] = {"Normally open", "Normally closed"};
} // namespace

LinkPageWidget::LinkPageWidget(SetupWindow& window, std::function<void()> back, QWidget* parent)
    : QWidget(parent), m_window(window) {
    setObjectName(QStringLiteral("linkPage"));
    const unsigned n = recChannelCount(window.context());
    m_channelButtons =
        makeChannelButtons(this, n, 2, 2, 25, [this](unsigned ch) { selectChannel(ch); });
    for (const auto& [text, x] :
         {std::pair{"Sensor input", 70}, {"Contact", 190}, {"Seconds", 300}}) {
        auto* header = new QLabel(tr(text), this);
        header->setGeometry(x, 40, 100, 20);
    }
    for (unsigned k = 0; k < kLinksPerChannel; ++k) {
        const int y = 66 + static_cast<int>(k) * 34;
        auto* label = new QLabel(tr("Link %1").arg(k + 1), this);
        label->setGeometry(8, y, 58, 26);
        m_source[k] = makePageButton(QString(), this, QRect(70, y, 110, 26));
        m_source[k]->setObjectName(QStringLiteral("linkSource%1").arg(k + 1));
        connect(m_source[k], &QPushButton::clicked, this, [this, k] {
            QStringList entries;
            for (unsigned s = 0; s <= kLinkSources; ++s)
                entries << QString::fromStdString(linkSourceLabel(s));
            m_window.openListChooser(m_source[k], entries, 110, false, [this, k](int i) {
                chooseLinkSource(m_window.record(), m_window.context(), m_channel, k,
                                 static_cast<unsigned>(i));
                refresh();
            });
        });
        m_flag[k] = makePageButton(QString(), this, QRect(190, y, 100, 26));
        m_flag[k]->setObjectName(QStringLiteral("linkFlag%1").arg(k + 1));
        connect(m_flag[k], &QPushButton::clicked, this, [this, k] {
            m_window.openListChooser(
                m_flag[k], {tr(kFlagTexts[0]), tr(kFlagTexts[1])}, 130, false, [this, k](int i) {
                    setLinkFlag(m_window.record(), m_window.context(), m_channel, k, i == 1);
                    refresh();
                });
        });
        m_value[k] = new QLineEdit(this);
        m_value[k]->setObjectName(QStringLiteral("edit%1").arg(530 + k));
        m_value[k]->setAccessibleName(tr("Seconds recorded after link %1").arg(k + 1));
        m_value[k]->setValidator(new QIntValidator(0, 9999, m_value[k]));
        m_value[k]->setMaxLength(4);
        m_value[k]->setGeometry(300, y, 80, 26);
        // Every keystroke goes into the record at once (OK may come before the box loses the
        // focus); the box shows what was stored when the operator leaves it.
        connect(m_value[k], &QLineEdit::textEdited, this, [this, k] { valueEdited(k); });
        connect(m_value[k], &QLineEdit::editingFinished, this, [this] { refresh(); });
    }
    QPushButton* ret = makePageButton(tr("Return"), this, QRect(300, 212, 80, 26));
    ret->setObjectName(QStringLiteral("linkReturn"));
    connect(ret, &QPushButton::clicked, this, [back] { back(); });
    refresh();
}

void LinkPageWidget::selectChannel(unsigned channel) {
    if (channel >= m_channelButtons.size())
        return;
    m_channel = channel;
    m_channelButtons[channel]->setChecked(true);
    refresh();
}

void LinkPageWidget::valueEdited(unsigned link) {
    setLinkValue(m_window.record(), m_window.context(), m_channel, link,
                 m_value[link]->text().toULong());
}

void LinkPageWidget::refresh() {
    const auto links = readLinks(m_window.record(), m_channel);
    for (unsigned k = 0; k < kLinksPerChannel; ++k) {
        const QString source = QString::fromStdString(linkSourceLabel(links[k].source));
        m_source[k]->setText(source);
        m_source[k]->setAccessibleName(tr("Sensor input of link %1: %2").arg(k + 1).arg(source));
        const QString flag = tr(kFlagTexts[links[k].flag ? 1 : 0]);
        m_flag[k]->setText(flag);
        m_flag[k]->setAccessibleName(tr("Contact of link %1: %2").arg(k + 1).arg(flag));
        m_value[k]->setText(QString::number(links[k].value));
    }
}

} // namespace kalder
