// One look and plain tool tips across the program's windows: every window of its own takes the
// dialogs' theme, lists are themed and headed and fit their texts, and every control's tool tip
// says what it does rather than repeating its caption.
#include "info/info_list_view.h"
#include "main_window_harness.h"
#include "ptz/dome_menu_window.h"
#include "ptz/ptz_keypad_window.h"
#include "ptz/ptz_panel.h"
#include "resources/resource_library.h"
#include "search/backup_progress_window.h"
#include "ui/notification_box.h"
#include "ui/report_list.h"
#include "ui/skin_button.h"
#include "ui/skin_slider.h"
#include "ui/theme.h"
#include "viewer/snapshot_controller.h"
#include "wire/notification_table.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QHeaderView>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

bool onlyDigits(const QString& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

// A tool tip that says nothing the caption does not.
void expectToolTipsSayWhat(const QList<QWidget*>& controls, const char* where) {
    for (const QWidget* w : controls) {
        const QString tip = w->toolTip();
        const auto* button = qobject_cast<const QAbstractButton*>(w);
        const QString caption = button ? button->text() : QString();
        SCOPED_TRACE(std::string(where) + " " + w->objectName().toStdString() + " \"" +
                     tip.toStdString() + "\"");
        EXPECT_FALSE(tip.trimmed().isEmpty());
        EXPECT_NE(tip, w->accessibleName());
        EXPECT_NE(tip, caption);
        EXPECT_FALSE(onlyDigits(tip));
    }
}

template <typename T> QList<QWidget*> widgets(const QWidget& parent) {
    QList<QWidget*> all;
    for (T* w : parent.findChildren<T*>())
        all << w;
    return all;
}

void expectThemed(const QWidget& window, const char* name) {
    const QPalette theme = kalderPalette();
    EXPECT_EQ(window.palette().color(QPalette::Window), theme.color(QPalette::Window)) << name;
    EXPECT_EQ(window.palette().color(QPalette::Base), theme.color(QPalette::Base)) << name;
}

TEST(MainWindowLook, ToolTipsSayWhatTheControlsDo) {
    test::MainWindowHarness harness;
    MainWindow window(harness.config());
    QList<QWidget*> controls = widgets<SkinButton>(window) + widgets<SkinSlider>(window);
    ASSERT_GE(controls.size(), 50);
    expectToolTipsSayWhat(controls, "main window");

    PtzPanel panel(&window, nullptr);
    expectToolTipsSayWhat(widgets<QPushButton>(panel), "PTZ panel");
    PtzKeypadWindow keypad(&window, 0, nullptr);
    expectToolTipsSayWhat(widgets<QPushButton>(keypad), "keypad");
    DomeMenuWindow dome(nullptr);
    expectToolTipsSayWhat(widgets<QPushButton>(dome), "dome menu");
}

TEST(MainWindowLook, EveryWindowTakesTheTheme) {
    ASSERT_TRUE(skinAvailable());
    PtzPanel panel(nullptr, nullptr);
    expectThemed(panel, "PTZ panel");
    PtzKeypadWindow keypad(nullptr, 0, nullptr);
    expectThemed(keypad, "keypad");
    DomeMenuWindow dome(nullptr);
    expectThemed(dome, "dome menu");
    // A held mode is drawn with the skin's pressed face, as the main window's buttons are.
    auto* pan =
        qobject_cast<SkinButton*>(panel.findChild<QPushButton*>(QStringLiteral("control444")));
    ASSERT_NE(pan, nullptr);
    EXPECT_TRUE(pan->showsPressed());

    InfoListView info(QStringLiteral("System Information"), {130, 140, 120}, nullptr);
    expectThemed(info, "information view");
    EXPECT_EQ(info.list()->palette().color(QPalette::Base), kalderPalette().color(QPalette::Base))
        << "the list is not a white sheet on the dark window";

    QTemporaryDir dir;
    SnapshotController media;
    media.setSaveTarget(dir.path(), 0);
    QWidget host;
    media.openImage(&host);
    ASSERT_NE(media.fileDialog(), nullptr);
    EXPECT_TRUE(media.fileDialog()->testOption(QFileDialog::DontUseNativeDialog));
    expectThemed(*media.fileDialog(), "file dialog");
    media.fileDialog()->reject();

    BackupWriteResult result;
    result.sets = {"6553f100"};
    result.folder = dir.path().toStdString();
    BackupResultBox box(result, nullptr);
    expectThemed(box, "backup result");
}

TEST(MainWindowLook, ListColumnsAreHeadedAndFitTheList) {
    QWidget window;
    applyTheme(window);
    auto* list = new ReportList({50, 150, 120, 70, 336}, &window);
    list->setGeometry(2, 2, 399, 389);
    list->setHeaders({"No.", "Date / time", "Event", "Source", "Details"});
    const QString longText(200, QLatin1Char('W'));
    list->addRow({"0001", "2024-01-01 00:00:00", "Power on", "Local", longText});
    window.show();
    list->fitColumns();
    EXPECT_FALSE(list->horizontalHeader()->isHidden());
    EXPECT_EQ(list->horizontalHeaderItem(2)->text(), QStringLiteral("Event"));
    int total = 0;
    for (int c = 0; c < list->columnCount(); ++c)
        total += list->columnWidth(c);
    EXPECT_LE(total, list->viewport()->width()) << "no column runs off the list";
    EXPECT_GE(list->columnWidth(1),
              list->fontMetrics().horizontalAdvance(QStringLiteral("2024-01-01 00:00:00")))
        << "a time is shown whole";
    EXPECT_EQ(list->textElideMode(), Qt::ElideRight);
    EXPECT_EQ(list->item(0, 4)->toolTip(), longText) << "a cut text is read whole in its tip";
}

// A finished backup says where its sets are, and Open Folder opens that folder.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

TEST(MainWindowLook, BackupResultNamesTheSetAndOpensItsFolder) {
    QTemporaryDir dir;
    BackupWriteResult result;
    result.end = BackupWriteResult::End::Done;
    result.sets = {"6553f100", "6553f1a0"};
    result.folder = dir.path().toStdString();
    BackupResultBox box(result, nullptr);
    EXPECT_TRUE(box.text().contains(QStringLiteral("complete")));
    EXPECT_TRUE(box.text().contains(QStringLiteral("6553f1a0")));
    EXPECT_TRUE(box.text().contains(QDir::toNativeSeparators(dir.path())));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    box.openFolderButton()->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0], QUrl::fromLocalFile(dir.path()));
}

// A box whose only button would be Cancel offers OK instead; the rights box can name the right.
TEST(MainWindowLook, NoBoxHasCancelAlone) {
    for (const NotificationEntry& entry : notificationTable())
        EXPECT_NE(entry.buttons, NotificationButtons::Cancel)
            << entry.notification.category << "," << entry.notification.detail;
    const NotificationEntry* rights = findNotificationEntry({15, 0});
    ASSERT_NE(rights, nullptr);
    NotificationBox box(*rights, 255, nullptr, resourceText(7300));
    EXPECT_NE(box.findChild<SkinButton*>(QStringLiteral("okButton")), nullptr);
    ASSERT_EQ(box.lines().size(), 2);
    EXPECT_EQ(box.lines()[1], QStringLiteral("Missing right: Remote setup"));
}

} // namespace
} // namespace kalder

#include "main_window_look_test.moc"
