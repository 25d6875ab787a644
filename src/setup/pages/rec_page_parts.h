#pragma once

#include <QPushButton>
#include <QRect>
#include <QString>

#include <functional>
#include <vector>

class QWidget;

namespace kalder {

// Small pieces the Rec tab's pages share. GUI thread only.

// A plain push button of a page at `geometry`: its caption is its accessible name unless
// `accessibleName` names it otherwise (several "On" buttons need their channel in the name).
QPushButton* makePageButton(const QString& caption, QWidget* parent, const QRect& geometry,
                            const QString& accessibleName = QString());

// One checkable button a channel ("1" .. n) in a row from (x, y), `width` pixels each; a press
// reports the channel. The first is checked.
std::vector<QPushButton*> makeChannelButtons(QWidget* parent, unsigned channels, int x, int y,
                                             int width, std::function<void(unsigned)> chosen);

} // namespace kalder
