// What a screen reader would find wanting in a window: a window without a title, a control
// without an accessible name, a tool tip that only repeats the caption.
#include "gallery.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace kalder::gallery {

namespace {

// Controls an operator acts on; labels and frames only show.
bool operated(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QAbstractSlider*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
           qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w) ||
           w->focusPolicy() != Qt::NoFocus;
}

QString describe(const QWidget* w) {
    QString text = QString::fromLatin1(w->metaObject()->className());
    if (!w->objectName().isEmpty())
        text += QLatin1Char(' ') + w->objectName();
    if (const auto* b = qobject_cast<const QAbstractButton*>(w); b && !b->text().isEmpty())
        text += QStringLiteral(" \"%1\"").arg(b->text());
    return text;
}

} // namespace

QStringList auditWindow(QWidget* top) {
    QStringList problems;
    if (top == nullptr)
        return problems;
    if (top->windowTitle().trimmed().isEmpty() && top->parentWidget() == nullptr)
        problems << QStringLiteral("window %1 has no title").arg(describe(top));
    const QList<QWidget*> children = top->findChildren<QWidget*>();
    for (QWidget* w : children) {
        if (!w->isVisibleTo(top) || !operated(w) || w->window() != top)
            continue;
        // The viewport and scroll bars of a list belong to the list.
        if (qobject_cast<QAbstractItemView*>(w->parentWidget()) ||
            qobject_cast<QAbstractItemView*>(w->parentWidget() ? w->parentWidget()->parentWidget()
                                                               : nullptr))
            continue;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
        const QString name = face ? face->text(QAccessible::Name).trimmed() : QString();
        if (name.isEmpty())
            problems << QStringLiteral("%1 has no accessible name").arg(describe(w));
        const auto* button = qobject_cast<QAbstractButton*>(w);
        const QString tip = w->toolTip().trimmed();
        if (button && !tip.isEmpty() && (tip == button->text().trimmed() || tip == name))
            problems << QStringLiteral("%1: the tool tip repeats the caption").arg(describe(w));
    }
    return problems;
}

} // namespace kalder::gallery
