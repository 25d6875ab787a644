#include "ptz/ptz_window_base.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

namespace kalder {

PtzWindowBase::PtzWindowBase(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setAttribute(Qt::WA_DeleteOnClose);
}

QPushButton* PtzWindowBase::makeButton(int id, const QString& caption, int x, int y, int w, int h) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QStringLiteral("control%1").arg(id));
    button->setAccessibleName(caption);
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
