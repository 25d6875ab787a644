#pragma once

#include <QPalette>
#include <QPushButton>

namespace kalder {

// A checkable button of the search window (mode tab, month, channel On/Off, event tab) shows in
// the highlight colour while it is on, so that the operator sees which one is chosen.
inline void showCheckedLook(QPushButton* button) {
    QObject::connect(button, &QPushButton::toggled, button, [button](bool on) {
        // The inherited look, as the window's theme made it.
        const QPalette normal =
            button->parentWidget() ? button->parentWidget()->palette() : QPalette();
        QPalette p = normal;
        if (on) {
            p.setColor(QPalette::Button, normal.color(QPalette::Highlight));
            p.setColor(QPalette::ButtonText, normal.color(QPalette::HighlightedText));
        }
        button->setPalette(p);
    });
}

} // namespace kalder
