// The local setup window in the skin's look (resource library loaded): its pages take the
// palette, every button is skinned and found by its caption, drop-down lists match the window.
#include "setup/local/local_setup_window.h"

#include "resources/resource_library.h"
#include "tests/support/accessible_name.h"
#include "ui/skin_button.h"
#include "ui/theme.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kalder {
namespace {

TEST(LocalSetupTheme, PagesAreThemedAndButtonsSkinnedAndNamed) {
    ASSERT_TRUE(loadResourceLibrary(KALDER_PROGRAM_DIR));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings store(dir.filePath(QStringLiteral("kalder.ini")), QSettings::IniFormat);
    LocalSettings applied;
    applied.location = dir.path();
    LocalSetupWindow window(applied, store, false, nullptr, {});

    const QPalette theme = kalderPalette();
    for (const char* page : {"menuPage", "globalPage", "opacityPage", "audioPage", "webPage"}) {
        auto* w = window.findChild<QWidget*>(QLatin1String(page));
        ASSERT_NE(w, nullptr) << page;
        EXPECT_EQ(w->palette().color(QPalette::Window), theme.color(QPalette::Window)) << page;
    }
    for (QComboBox* combo : window.findChildren<QComboBox*>())
        EXPECT_EQ(combo->view()->palette().color(QPalette::Base), theme.color(QPalette::Base))
            << combo->objectName().toStdString();

    for (QPushButton* b : window.findChildren<QPushButton*>()) {
        EXPECT_NE(qobject_cast<SkinButton*>(b), nullptr) << b->objectName().toStdString();
        // A caption of signs only (the folder buttons' "...") is named for what it does.
        if (b->text() == QStringLiteral("..."))
            EXPECT_TRUE(test::accessibleNameOf(b).startsWith(QStringLiteral("Choose the")))
                << b->objectName().toStdString();
        else
            EXPECT_EQ(test::accessibleNameOf(b), b->text()) << b->objectName().toStdString();
    }

    // The menu's captions come from the library; the menu is used by them.
    test::findByAccessibleName<QPushButton>(window, resourceText(5951))->click();
    EXPECT_EQ(window.currentPage(), LocalSetupWindow::Page::Opacity);
    test::findByAccessibleName<QPushButton>(window, QStringLiteral("All Check"))->click();
    test::findByAccessibleName<QPushButton>(window, QStringLiteral("Cancel"))->click();
    EXPECT_EQ(window.result(), QDialog::Rejected);
}

} // namespace
} // namespace kalder
