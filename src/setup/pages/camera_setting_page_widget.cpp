#include "setup/pages/camera_setting_page_widget.h"

#include "setup/pages/page_controls.h"
#include "setup/setup_window.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace kalder {

CameraSettingPageWidget::CameraSettingPageWidget(SetupWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("cameraSettingPage"));
    const unsigned channels = std::min(window.context().channelNum, 16u);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 6, 8, 6);
    column->setSpacing(2);
    auto* views = new QHBoxLayout;
    const char* captions[] = {"Hue", "Saturation", "Contrast", "Brightness"};
    for (int v = 0; v < 4; ++v) {
        QPushButton* b = pageButton(QString::fromLatin1(captions[v]),
                                    QStringLiteral("view%1").arg(v), this, true);
        connect(b, &QPushButton::clicked, this, [this, v] { showView(PictureView(v)); });
        views->addWidget(b);
        m_viewButtons[static_cast<std::size_t>(v)] = b;
    }
    column->addLayout(views);
    std::vector<unsigned> rows;
    for (unsigned ch = 0; ch < channels; ++ch)
        rows.push_back(ch);
    m_panel = new ChannelSliderPanel(
        rows, channels, 0, static_cast<int>(kPictureMax),
        [this](unsigned ch, int value) {
            setPictureValue(m_window.record(), m_view, m_panel->selection(), ch,
                            static_cast<std::uint32_t>(value));
            refresh();
        },
        this);
    column->addWidget(m_panel, 1);
    m_reset = pageButton(tr("Reset"), QStringLiteral("reset"), this);
    connect(m_reset, &QPushButton::clicked, this, [this] {
        resetPicture(m_window.record(), m_view, m_panel->selection());
        refresh();
    });
    m_panel->buttonRow()->addWidget(m_reset);
    showView(PictureView::Hue);
}

void CameraSettingPageWidget::showView(PictureView view) {
    m_view = view;
    for (std::size_t v = 0; v < m_viewButtons.size(); ++v)
        m_viewButtons[v]->setChecked(v == static_cast<std::size_t>(view));
    refresh();
}

void CameraSettingPageWidget::refresh() {
    const CameraSettingState state = readCameraSetting(m_window.record(), m_window.context());
    for (unsigned ch = 0; ch < state.channels; ++ch) {
        const int value = state.values[static_cast<std::size_t>(m_view)][ch];
        m_panel->showValue(ch, value, QString::number(value));
    }
}

} // namespace kalder
