#include "setup/pages/camera_name_page_widget.h"

#include "setup/setup_window.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace kalder {

CameraNamePageWidget::CameraNamePageWidget(SetupWindow& window)
    : m_window(window), m_state(readCameraNames(window.record(), window.context())) {
    setObjectName(QStringLiteral("cameraNamePage"));
    auto* grid = new QGridLayout(this);
    grid->setVerticalSpacing(2);
    for (unsigned ch = 0; ch < m_state.channels; ++ch) {
        auto* label = new QLabel(QStringLiteral("CH%1").arg(ch + 1), this);
        auto* edit = new QLineEdit(QString::fromLatin1(m_state.titles[ch].c_str()), this);
        edit->setObjectName(QStringLiteral("title%1").arg(ch + 1));
        edit->setAccessibleName(QStringLiteral("Title of channel %1").arg(ch + 1));
        edit->setMaxLength(static_cast<int>(kCameraTitleMaxChars));
        label->setBuddy(edit);
        connect(edit, &QLineEdit::textEdited, this,
                [this, ch](const QString& text) { titleEdited(ch, text); });
        // Two columns of eight rows keep sixteen channels inside the page frame.
        const int column = ch < 8 ? 0 : 2;
        grid->addWidget(label, static_cast<int>(ch % 8), column);
        grid->addWidget(edit, static_cast<int>(ch % 8), column + 1);
        m_edits[ch] = edit;
    }
    grid->setRowStretch(8, 1);
}

QLineEdit* CameraNamePageWidget::titleEdit(unsigned channel) const {
    return channel < m_edits.size() ? m_edits[channel] : nullptr;
}

void CameraNamePageWidget::titleEdited(unsigned channel, const QString& text) {
    const std::u32string input = text.toStdU32String();
    const std::string title = cameraTitleFromInput(input);
    // Characters the recorder cannot show are dropped from the box too.
    const QString shown = QString::fromLatin1(title.c_str());
    if (shown != text)
        m_edits[channel]->setText(shown);
    if (writeCameraName(m_window.record(), m_state, channel, title))
        m_state.titles[channel] = title;
}

} // namespace kalder
