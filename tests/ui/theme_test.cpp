// The dialogs' theme with the resource library loaded. Its own process: the library stays
// registered until exit, and theme_missing_test covers the look without it.
#include "ui/theme.h"

#include "resources/resource_ids.h"
#include "resources/resource_library.h"
#include "tests/support/accessible_name.h"
#include "ui/skin_button.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <set>

namespace kalder {
namespace {

class ThemeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(loadResourceLibrary(KALDER_PROGRAM_DIR)); }
};

std::set<QRgb> coloursOf(const QImage& picture) {
    std::set<QRgb> colours;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            colours.insert(picture.pixel(x, y) | 0xFF000000u);
    return colours;
}

// The palette is read against the pictures the generator drew, so a colour changed on one side
// only shows here.
TEST_F(ThemeTest, PaletteTakesTheColoursOfTheSkinPictures) {
    const QPalette palette = kalderPalette();

    const QImage frameBottom = resourcePicture(res::kBackgroundTileFirst + 7);
    ASSERT_FALSE(frameBottom.isNull());
    EXPECT_EQ(palette.color(QPalette::Window),
              frameBottom.pixelColor(frameBottom.width() / 2, frameBottom.height() - 8));

    const QImage clockStrip = resourcePicture(res::kClockTimeGlyphs);
    ASSERT_FALSE(clockStrip.isNull());
    EXPECT_EQ(palette.color(QPalette::Base), clockStrip.pixelColor(0, 0)) << "the clock panel";
    EXPECT_TRUE(coloursOf(clockStrip).count(palette.color(QPalette::Highlight).rgb()))
        << "selections are lit in the clock digits' colour";

    const QImage connectFace = resourcePicture(res::mainButtonSkin(360, false));
    EXPECT_TRUE(coloursOf(connectFace).count(palette.color(QPalette::ButtonText).rgb()))
        << "captions are written as on the main window's buttons";
    EXPECT_EQ(palette.color(QPalette::WindowText), palette.color(QPalette::ButtonText));

    EXPECT_NE(palette.color(QPalette::Disabled, QPalette::Text),
              palette.color(QPalette::Active, QPalette::Text))
        << "a disabled edit must look disabled";
}

TEST_F(ThemeTest, AppliedThemeReachesChildrenAndDropDownLists) {
    QDialog dialog;
    auto* edit = new QLineEdit(&dialog);
    auto* combo = new QComboBox(&dialog);
    combo->addItems({QStringLiteral("YUV"), QStringLiteral("RGB")});
    ASSERT_TRUE(applyTheme(dialog));
    const QColor panel = kalderPalette().color(QPalette::Base);
    EXPECT_EQ(edit->palette().color(QPalette::Base), panel);
    // The list opens in a window of its own, which does not inherit the dialog's palette.
    EXPECT_EQ(combo->view()->palette().color(QPalette::Base), panel);
    EXPECT_GT(warningColour(dialog).lightness(), 128) << "light on the dark frame";
}

TEST_F(ThemeTest, DialogButtonIsSkinnedNamedByCaptionAndCanBeTheDefault) {
    QDialog dialog;
    auto* edit = new QLineEdit(&dialog);
    QPushButton* ok = makeDialogButton(QStringLiteral("OK"), &dialog);
    QPushButton* cancel = makeDialogButton(QStringLiteral("Cancel"), &dialog);
    auto* layout = new QVBoxLayout(&dialog);
    for (QWidget* w :
         {static_cast<QWidget*>(edit), static_cast<QWidget*>(ok), static_cast<QWidget*>(cancel)})
        layout->addWidget(w);
    applyTheme(dialog);

    auto* skinned = qobject_cast<SkinButton*>(ok);
    ASSERT_NE(skinned, nullptr) << "the library has a dialog button face";
    EXPECT_EQ(test::findByAccessibleName<QPushButton>(dialog, QStringLiteral("OK")), ok);
    EXPECT_EQ(test::findByAccessibleName<QPushButton>(dialog, QStringLiteral("Cancel")), cancel);
    EXPECT_EQ(ok->focusPolicy(), Qt::StrongFocus) << "dialog buttons are reached by Tab";
    EXPECT_FALSE(ok->autoDefault());

    // Enter in an edit presses the dialog's default button, skinned or not.
    ok->setDefault(true);
    QSignalSpy clicks(ok, &QPushButton::clicked);
    dialog.show();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(cancel->isDefault());
}

// A caption or a layout widens a dialog button beyond its face: the corners stay as drawn.
// A chosen page, view or value is drawn as a chosen tab is: the pressed caption's colour.
TEST_F(ThemeTest, ACheckedPlainButtonTakesThePressedCaptionColour) {
    QWidget window;
    applyTheme(window);
    auto* button = new QPushButton(QStringLiteral("Rate"), &window);
    button->setCheckable(true);
    showCheckedLikeTheSkin(button);
    const QColor plain = kalderPalette().color(QPalette::ButtonText);
    EXPECT_EQ(button->palette().color(QPalette::Active, QPalette::ButtonText), plain);
    button->setChecked(true);
    EXPECT_EQ(button->palette().color(QPalette::Active, QPalette::ButtonText),
              QColor(255, 204, 96));
    button->setChecked(false);
    EXPECT_EQ(button->palette().color(QPalette::Active, QPalette::ButtonText), plain);
    // The rest of the palette still follows the window's.
    EXPECT_EQ(button->palette().color(QPalette::Button), window.palette().color(QPalette::Button));
}

TEST_F(ThemeTest, StretchedFaceKeepsItsCorners) {
    QDialog dialog;
    QPushButton* button = makeDialogButton(QString(), &dialog);
    const QSize faceSize = resourcePicture(res::kDialogButtonNormal).size();
    ASSERT_EQ(button->sizeHint(), faceSize);
    auto shown = [button](QSize size) {
        button->resize(size);
        return button->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    };
    const QImage asDrawn = shown(faceSize);
    const QImage wide = shown(QSize(faceSize.width() * 3, faceSize.height()));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(wide.pixel(x, y), asDrawn.pixel(x, y)) << x << "," << y;
            EXPECT_EQ(wide.pixel(wide.width() - 1 - x, y),
                      asDrawn.pixel(asDrawn.width() - 1 - x, y))
                << x << "," << y;
        }
    // A caption wider than the face widens the button.
    button->setText(QString(40, QLatin1Char('W')));
    EXPECT_GT(button->sizeHint().width(), faceSize.width());
}

} // namespace
} // namespace kalder
