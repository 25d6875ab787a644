#include "setup/pages/spot_setting_page_widget.h"

#include "setup/pages/page_controls.h"
#include "setup/setup_window.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace kalder {

namespace {

const char* const kModeNames[kSpotModes] = {"Single", "Quad",   "9 Split", "16 Split",
                                            "Alarm",  "Motion", "Audio"};

} // namespace

QString SpotSettingPageWidget::modeSummaryText(const SpotModeSummary& summary) {
    switch (summary.kind) {
    case SpotModeSummary::Kind::Dwell:
        if (summary.lowSeconds == summary.highSeconds)
            return tr("Dwell %1 sec").arg(summary.lowSeconds);
        return tr("Dwell %1-%2 sec").arg(summary.lowSeconds).arg(summary.highSeconds);
    case SpotModeSummary::Kind::AllAtOnce:
        return tr("All channels at once");
    case SpotModeSummary::Kind::Channels:
        return tr("%1 of %2 channels on").arg(summary.enabled).arg(summary.channels);
    }
    return {};
}

SpotSettingPageWidget::SpotSettingPageWidget(SetupWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("spotSettingPage"));
    m_column = new QVBoxLayout(this);
    auto* views = new QHBoxLayout;
    const char* captions[] = {"Mode", "Dwell", "Enable"};
    for (int v = 0; v < 3; ++v) {
        QPushButton* b = pageButton(QString::fromLatin1(captions[v]),
                                    QStringLiteral("view%1").arg(v), this, true);
        connect(b, &QPushButton::clicked, this, [this, v] { showView(View(v)); });
        views->addWidget(b);
        m_viewButtons[static_cast<std::size_t>(v)] = b;
    }
    views->addStretch();
    m_column->addLayout(views);
    showView(View::Mode);
}

void SpotSettingPageWidget::showView(View view) {
    const SpotSettingState state = readSpotSetting(m_window.record(), m_window.context());
    // The dwell view opens only where the mode has per-channel or per-group dwell times.
    if (view == View::Dwell && !spotDwellViewOpens(state.mode, state.channels)) {
        updateViewButtons();
        return;
    }
    m_view = view;
    // The clicked mode button may be a child of the old view: it goes once its click is over.
    if (m_content) {
        m_content->hide();
        m_content->setObjectName(QString());
        m_content->deleteLater();
    }
    switch (view) {
    case View::Mode:
        m_content = makeModeView();
        break;
    case View::Dwell:
        m_content = makeDwellView();
        break;
    case View::Enable:
        m_content = makeEnableView();
        break;
    }
    m_column->addWidget(m_content, 1);
    m_content->show();
    updateViewButtons();
}

void SpotSettingPageWidget::updateViewButtons() {
    const unsigned mode = readSpotSetting(m_window.record(), m_window.context()).mode;
    m_viewButtons[1]->setVisible(spotModeIsSequence(mode));
    m_viewButtons[2]->setVisible(!spotModeIsSequence(mode));
    for (std::size_t v = 0; v < m_viewButtons.size(); ++v)
        m_viewButtons[v]->setChecked(v == static_cast<std::size_t>(m_view));
}

void SpotSettingPageWidget::chooseMode(unsigned mode) {
    chooseSpotMode(m_window.record(), m_window.context().channelNum, mode);
    showView(View::Mode);
}

QWidget* SpotSettingPageWidget::makeModeView() {
    auto* view = new QWidget(this);
    view->setObjectName(QStringLiteral("modeView"));
    auto* grid = new QGridLayout(view);
    const SpotSettingState state = readSpotSetting(m_window.record(), m_window.context());
    const unsigned stored = state.mode;
    for (unsigned m = 0; m < kSpotModes; ++m) {
        QPushButton* select = pageButton(QString::fromLatin1(kModeNames[m]),
                                         QStringLiteral("mode%1").arg(m), view, true);
        select->setChecked(m == stored);
        connect(select, &QPushButton::clicked, this, [this, m] { chooseMode(m); });
        // The row's second button has no action on this recorder: it shows what the mode
        // would do with the stored dwell times and enable flags.
        const QString summary = modeSummaryText(spotModeSummary(state, m));
        QPushButton* other = pageButton(summary, QStringLiteral("modeExtra%1").arg(m), view);
        other->setAccessibleName(QString::fromLatin1(kModeNames[m]) + QStringLiteral(": ") +
                                 summary);
        grid->addWidget(select, static_cast<int>(m), 0);
        grid->addWidget(other, static_cast<int>(m), 1);
    }
    grid->setRowStretch(kSpotModes, 1);
    return view;
}

QWidget* SpotSettingPageWidget::makeDwellView() {
    const SpotSettingState state = readSpotSetting(m_window.record(), m_window.context());
    const unsigned group = spotDwellGroupSize(state.mode);
    std::vector<unsigned> rows;
    for (unsigned ch = 0; ch < state.channels; ch += group)
        rows.push_back(ch);
    auto* panel =
        new ChannelSliderPanel(rows, state.channels, 0, int(kSpotDwellPositions), nullptr, this);
    panel->setObjectName(QStringLiteral("dwellView"));
    const auto show = [this, panel, rows] {
        const SpotSettingState now = readSpotSetting(m_window.record(), m_window.context());
        for (unsigned ch : rows)
            panel->showValue(ch, spotDwellPosition(now.dwell[ch]),
                             QStringLiteral("%1 %2").arg(now.dwell[ch]).arg(tr("sec")));
    };
    for (unsigned ch : rows) {
        connect(panel->slider(ch), &QSlider::valueChanged, this, [this, panel, ch, show](int b) {
            const unsigned mode = readSpotSetting(m_window.record(), m_window.context()).mode;
            setSpotDwell(m_window.record(), mode, panel->selection(), ch, b);
            show();
        });
    }
    // In the split modes a row stands for its group of channels.
    if (group > 1)
        for (unsigned ch : rows)
            panel->selectionBox(ch)->setText(
                QStringLiteral("CH%1-%2").arg(ch + 1).arg(std::min(ch + group, state.channels)));
    panel->setBoxHandler([this, panel](unsigned ch, bool on) {
        const unsigned mode = readSpotSetting(m_window.record(), m_window.context()).mode;
        checkSpotRow(panel->selection(), mode, ch, on);
    });
    show();
    return panel;
}

QWidget* SpotSettingPageWidget::makeEnableView() {
    auto* panel = new ChannelSwitchPanel(
        m_window.context().channelNum, {{tr("On"), 1}, {tr("Off"), 0}},
        [this](unsigned ch) { return m_window.record().value(configField("spot_enable"), ch); },
        [this](const ChannelSelection& s, unsigned ch, std::uint32_t v) {
            setSpotEnable(m_window.record(), s, ch, v != 0);
        },
        this);
    panel->setObjectName(QStringLiteral("enableView"));
    return panel;
}

} // namespace kalder
