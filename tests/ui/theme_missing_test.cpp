// The dialogs' theme without the resource library: plain Qt, and plain push buttons that still
// behave as the dialogs expect.
#include "ui/theme.h"

#include "ui/skin_button.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace kalder {
namespace {

TEST(ThemeWithoutLibrary, DialogsKeepThePlainLook) {
    ASSERT_FALSE(skinAvailable());
    QDialog dialog;
    auto* edit = new QLineEdit(&dialog);
    const QPalette plain = edit->palette();
    EXPECT_FALSE(applyTheme(dialog));
    EXPECT_EQ(edit->palette(), plain);
    EXPECT_EQ(warningColour(dialog), QColor(0xc0, 0x00, 0x00)) << "dark red on a light window";

    QPushButton* ok = makeDialogButton(QStringLiteral("OK"), &dialog);
    EXPECT_EQ(qobject_cast<SkinButton*>(ok), nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_FALSE(ok->autoDefault());
}

} // namespace
} // namespace kalder
