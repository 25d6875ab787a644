#pragma once

#include <QColor>
#include <QPalette>

class QFileDialog;
class QPushButton;
class QString;
class QAbstractButton;
class QWidget;

namespace kalder {

// The look of the dialogs (connect, history, local setup): the skin's colours on Qt's own
// controls, so that they sit beside the skinned main window without pictures of their own. The
// colours are the ones the skin is drawn with (resources/skin_colours.h). Without the resource
// library the dialogs keep the plain Qt look. GUI thread only.

// The dialogs' palette, built from the skin's colours whether or not the library is loaded.
QPalette kalderPalette();

// True when the resource library holds the skin that the dialogs are matched to.
bool skinAvailable();

// Gives `window` the skin's palette, which its child widgets inherit, and the lists of its
// drop-down boxes, which do not: call it once the window's controls are made. A window of its
// own does not inherit its parent's palette, so every window calls it. Without the skin nothing
// changes. True when it was applied.
bool applyTheme(QWidget& window);

// Qt's own file dialog (never the desktop's, which would not take the theme) in the theme.
// Call it before the dialog is shown.
void applyFileDialogTheme(QFileDialog& dialog);

// A command button of a dialog showing `caption` (also its accessible name): a SkinButton on the
// library's dialog button face when the library has that face, else a plain QPushButton. Either
// way it takes the keyboard focus like any push button and is not an auto-default button.
QPushButton* makeDialogButton(const QString& caption, QWidget* parent);

// The colour for a text that warns (why an input was refused), readable on `widget`'s
// background: light on the skin's dark frame, dark red on a light window.
QColor warningColour(const QWidget& widget);

// A checkable button that is not skinned shows its checked state as a skinned button shows its
// pressed one: the caption in the pressed caption's colour (over the style's sunken face), so
// that a chosen tab, page, view or value looks the same in every window.
void showCheckedLikeTheSkin(QAbstractButton* button);

} // namespace kalder
