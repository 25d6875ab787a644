#include "ui/transient_notice.h"

#include "ui/theme.h"

namespace kalder {

TransientNotice::TransientNotice(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("transientNotice"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
    setPalette(kalderPalette());
    setMargin(3);
    hide();
    m_hide.setSingleShot(true);
    m_hide.setInterval(kShownMs);
    connect(&m_hide, &QTimer::timeout, this, &QWidget::hide);
}

void TransientNotice::tell(const QString& text, const QString& toolTip) {
    setText(text);
    setAccessibleName(text);
    setToolTip(toolTip.isEmpty() ? text : toolTip);
    setAccessibleDescription(toolTip);
    show();
    raise();
    m_hide.start();
}

} // namespace kalder
