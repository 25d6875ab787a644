#include "setup/pages/event_action_page_widget.h"

#include "setup/pages/channel_switch_page_widget.h"
#include "setup/setup_window.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalder {

namespace {

const char* const kRowCaptions[kEventActionRows] = {"Alarm output", "Buzzer", "E-mail",
                                                    "Notify client", "Pop-up"};

} // namespace

EventActionPageWidget::EventActionPageWidget(SetupWindow& window, EventActionPage page)
    : m_window(window), m_page(page) {
    setObjectName(QStringLiteral("eventActionPage%1").arg(QChar('A' + static_cast<int>(page))));
    m_column = new QVBoxLayout(this);
    m_main = new QWidget(this);
    m_column->addWidget(m_main);
    const EventActionState state = readEventAction(window.record(), window.context(), page);
    auto* grid = new QGridLayout(m_main);
    for (std::size_t r = 0; r < state.rowCount; ++r) {
        m_rows[r] = addOnOffRow(grid, static_cast<int>(r), QString::fromLatin1(kRowCaptions[r]),
                                QStringLiteral("action%1").arg(r + 1), m_main, tr("Yes"), tr("No"));
        for (bool yes : {true, false}) {
            QPushButton* b = yes ? m_rows[r].on : m_rows[r].off;
            connect(b, &QPushButton::clicked, this, [this, r, yes] {
                setEventAction(m_window.record(), m_window.context(), m_page, r, yes);
                refresh();
            });
        }
    }
    int next = static_cast<int>(state.rowCount);
    if (state.hasDuration) {
        auto* label = new QLabel(tr("Duration"), m_main);
        m_noDuration = pageButton(tr("None"), QStringLiteral("noDuration"), m_main, true);
        m_noDuration->setAccessibleName(tr("No duration"));
        m_duration = pageButton(QString(), QStringLiteral("duration"), m_main);
        m_duration->setAccessibleName(tr("Duration"));
        m_duration->setMinimumWidth(90);
        label->setBuddy(m_duration);
        m_presets = pageButton(QStringLiteral("v"), QStringLiteral("durationPresets"), m_main);
        m_presets->setAccessibleName(tr("Duration presets"));
        connect(m_noDuration, &QPushButton::clicked, this, [this] {
            clearEventDuration(m_window.record(), m_page);
            refresh();
        });
        connect(m_duration, &QPushButton::clicked, this, [this] {
            const std::uint32_t now =
                readEventAction(m_window.record(), m_window.context(), m_page).duration;
            const int start = static_cast<int>(
                std::clamp<std::uint32_t>(now, kEventDurationMin, kEventDurationMax));
            m_window.openNumberChooser(
                m_duration, start, int(kEventDurationMin), int(kEventDurationMax),
                [this](int seconds) {
                    setEventDuration(m_window.record(), m_page, seconds);
                    refresh();
                },
                tr("sec"));
        });
        connect(m_presets, &QPushButton::clicked, this, [this] {
            QStringList entries;
            for (std::uint32_t s : kEventDurationPresets)
                entries << QStringLiteral("%1 %2").arg(s).arg(tr("sec"));
            m_window.openListChooser(m_presets, entries, 120, false, [this](int i) {
                setEventDurationPreset(m_window.record(), m_page, static_cast<std::size_t>(i));
                refresh();
            });
        });
        grid->addWidget(label, next, 0);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(m_noDuration);
        buttons->addWidget(m_duration);
        buttons->addWidget(m_presets);
        grid->addLayout(buttons, next, 1, 1, 2);
        ++next;
    }
    if (state.channelPageButton) {
        m_channelButton = pageButton(tr("Channel"), QStringLiteral("channelPage"), m_main);
        connect(m_channelButton, &QPushButton::clicked, this, [this] { openChannelPage(); });
        grid->addWidget(m_channelButton, next++, 2);
    }
    grid->setRowStretch(next, 1);
    refresh();
}

ChannelSwitchPageWidget* EventActionPageWidget::channelPage() const {
    return dynamic_cast<ChannelSwitchPageWidget*>(m_channelPage.data());
}

void EventActionPageWidget::refresh() {
    const EventActionState state = readEventAction(m_window.record(), m_window.context(), m_page);
    for (std::size_t r = 0; r < state.rowCount; ++r)
        m_rows[r].show(state.rows[r] != 0);
    if (state.hasDuration) {
        m_noDuration->setChecked(state.duration == 0);
        m_duration->setText(
            QString::fromStdString(eventDurationText(state.duration, tr("sec").toStdString())));
    }
}

void EventActionPageWidget::openChannelPage() {
    m_window.closeChooser();
    auto* page = new ChannelSwitchPageWidget(
        m_window, QStringLiteral("eventChannelPage"), tr("Channels"),
        {{tr("On"), 1}, {tr("Off"), 0}},
        [this](unsigned ch) {
            return m_window.record().value(configField("notify_a_channel"), ch);
        },
        [this](const ChannelSelection& s, unsigned ch, std::uint32_t v) {
            writeSelected(m_window.record(), configField("notify_a_channel"), 0, s, ch, v);
        },
        this, [this] { closeChannelPage(); });
    m_main->hide();
    m_column->addWidget(page);
    page->show();
    m_channelPage = page;
}

void EventActionPageWidget::closeChannelPage() {
    if (m_channelPage) {
        m_channelPage->hide();
        m_channelPage->setObjectName(QString());
        m_channelPage->deleteLater();
    }
    m_channelPage = nullptr;
    m_main->show();
    refresh();
}

} // namespace kalder
