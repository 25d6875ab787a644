#include "ptz/ptz_window_base.h"

#include "ui/theme.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

namespace kalder {

PtzWindowBase::PtzWindowBase(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setAttribute(Qt::WA_DeleteOnClose);
    // The controls made later inherit the palette.
    applyTheme(*this);
}

QPushButton* PtzWindowBase::makeButton(int id, const QString& caption, const QString& toolTip,
                                       int x, int y, int w, int h, const QString& name) {
    // The dialogs' skinned face: a held mode or kind shows the pressed picture, as on the main
    // window's buttons.
    QPushButton* button = makeDialogButton(caption, this);
    button->setObjectName(QStringLiteral("control%1").arg(id));
    const QString fullName = name.isEmpty() ? caption : name;
    // A few pixels of the face's border stay clear on either side of the text.
    constexpr int kTextPadding = 8;
    if (button->fontMetrics().horizontalAdvance(fullName) <= w - 2 * kTextPadding)
        button->setText(fullName);
    button->setAccessibleName(fullName);
    button->setToolTip(toolTip);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(x, y, w, h);
    return button;
}

void PtzWindowBase::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PtzWindowBase::closeEvent(QCloseEvent* event) {
    if (!m_closing) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void PtzWindowBase::closeForGood() {
    m_closing = true;
    close();
}

} // namespace kalder
