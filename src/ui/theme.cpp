#include "ui/theme.h"

#include "resources/resource_ids.h"
#include "resources/resource_library.h"
#include "resources/skin_colours.h"
#include "ui/skin_button.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFileDialog>
#include <QPushButton>
#include <QWidget>

namespace kalder {

namespace {

QColor skin(unsigned rgb) {
    return QColor(QRgb(0xFF000000u | rgb));
}

// A window whose background is darker than mid-grey takes light warning texts.
constexpr int kDarkWindowLightness = 128;

} // namespace

QPalette kalderPalette() {
    using namespace res;
    QPalette p;
    // Roles set for every group first; the disabled group is dimmed below.
    p.setColor(QPalette::Window, skin(kSkinFrameBottom));
    p.setColor(QPalette::WindowText, skin(kSkinCaption));
    // Edits and lists are recessed like the clock panels.
    p.setColor(QPalette::Base, skin(kSkinPanel));
    p.setColor(QPalette::AlternateBase, skin(kSkinFrameBottom));
    p.setColor(QPalette::Text, skin(kSkinCaption));
    p.setColor(QPalette::PlaceholderText, skin(kSkinFrameHighlight));
    p.setColor(QPalette::Button, skin(kSkinButtonBottom));
    p.setColor(QPalette::ButtonText, skin(kSkinCaption));
    p.setColor(QPalette::BrightText, skin(kSkinCaptionPressed));
    p.setColor(QPalette::Light, skin(kSkinFrameHighlight));
    p.setColor(QPalette::Midlight, skin(kSkinButtonTop));
    p.setColor(QPalette::Mid, skin(kSkinButtonBottom));
    p.setColor(QPalette::Dark, skin(kSkinFrameEdge));
    p.setColor(QPalette::Shadow, skin(kSkinFrameEdge));
    // A selection is lit in the clock digits' colour and written in the panel's.
    p.setColor(QPalette::Highlight, skin(kSkinClockDigit));
    p.setColor(QPalette::HighlightedText, skin(kSkinPanel));
    p.setColor(QPalette::Link, skin(kSkinClockDigit));
    p.setColor(QPalette::LinkVisited, skin(kSkinClockDate));
    p.setColor(QPalette::ToolTipBase, skin(kSkinPanel));
    p.setColor(QPalette::ToolTipText, skin(kSkinClockDate));

    // Disabled controls: texts in the frame's outline colour, edits sunk into the frame.
    const QPalette::ColorGroup off = QPalette::Disabled;
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(off, role, skin(kSkinFrameHighlight));
    p.setColor(off, QPalette::Base, skin(kSkinFrameBottom));
    p.setColor(off, QPalette::Button, skin(kSkinFrameBottom));
    p.setColor(off, QPalette::Highlight, skin(kSkinFrameHighlight));
    p.setColor(off, QPalette::HighlightedText, skin(kSkinPanel));
    return p;
}

bool skinAvailable() {
    return !resourcePicture(res::kDialogButtonNormal).isNull();
}

bool applyTheme(QWidget& window) {
    if (!skinAvailable())
        return false;
    const QPalette palette = kalderPalette();
    window.setPalette(palette);
    // A drop-down list opens in a window of its own, which takes the palette of a menu rather
    // than the dialog's and would show light on the dark dialog: its list gets the palette itself.
    for (QComboBox* combo : window.findChildren<QComboBox*>())
        combo->view()->setPalette(palette);
    return true;
}

void applyFileDialogTheme(QFileDialog& dialog) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    applyTheme(dialog);
}

QPushButton* makeDialogButton(const QString& caption, QWidget* parent) {
    QPushButton* button = nullptr;
    if (skinAvailable()) {
        auto* skinned =
            new SkinButton(0, res::kDialogButtonNormal, res::kDialogButtonPressed, parent);
        skinned->setText(caption);
        // Made as the main window's buttons are, it would take no focus: a dialog is used from
        // the keyboard as well.
        skinned->setFocusPolicy(Qt::StrongFocus);
        button = skinned;
    } else {
        button = new QPushButton(caption, parent);
    }
    button->setAutoDefault(false);
    return button;
}

QColor warningColour(const QWidget& widget) {
    const bool dark = widget.palette().color(QPalette::Window).lightness() < kDarkWindowLightness;
    return dark ? skin(res::kSkinAlert) : QColor(0xc0, 0x00, 0x00);
}

void showCheckedLikeTheSkin(QAbstractButton* button) {
    const auto follow = [button](bool on) {
        QPalette palette = button->palette();
        const QColor caption =
            on ? skin(res::kSkinCaptionPressed) : kalderPalette().color(QPalette::ButtonText);
        palette.setColor(QPalette::Active, QPalette::ButtonText, caption);
        palette.setColor(QPalette::Inactive, QPalette::ButtonText, caption);
        button->setPalette(palette);
    };
    QObject::connect(button, &QAbstractButton::toggled, button, follow);
    follow(button->isChecked());
}

} // namespace kalder
