#pragma once

// Finds controls as assistive technology does: by the name their accessible interface reports
// (a button's caption, a picture-only control's accessible name), not by object name.

#include <QAccessible>
#include <QAccessibleInterface>
#include <QString>
#include <QWidget>

namespace kalder::test {

inline QString accessibleNameOf(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}

// The first child of `root` of type T whose accessible name is `name`, or null.
template <typename T = QWidget> T* findByAccessibleName(QWidget& root, const QString& name) {
    for (T* child : root.findChildren<T*>())
        if (accessibleNameOf(child) == name)
            return child;
    return nullptr;
}

} // namespace kalder::test
