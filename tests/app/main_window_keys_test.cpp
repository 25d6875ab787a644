// The operator's keys in the main window: a changed key acts and the old one no longer does,
// the digits and pages, the list of keys, full-screen view, and keys typed into another window.
#include "main_window_harness.h"
#include "main_window_keys.h"
#include "local/backup_set_builder.h"
#include "local/local_player.h"
#include "test_clip.h"
#include "connect/connect_dialog.h"
#include "setup/local/key_map.h"
#include "ui/shortcut_overlay.h"
#include "ui/skin_button.h"
#include "video/video_window.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kalder {
namespace {

TEST(MainWindowKeys, StoredKeysActAndTheListShowsThem) {
    test::MainWindowHarness harness;
    MainWindowConfig config = harness.config();
    KeyMap keys;
    keys.setKeys(KeyAction::Osd, {QKeySequence(Qt::Key_K)});
    saveKeyMap(*config.store, keys);
    MainWindow window(config);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    VideoWindow* video = window.videoWindow();
    ASSERT_NE(video, nullptr);

    // The stored key toggles the overlays; the default one does nothing now.
    const bool osd = video->osdEnabled();
    QTest::keyClick(&window, Qt::Key_K);
    EXPECT_NE(video->osdEnabled(), osd);
    QTest::keyClick(&window, Qt::Key_O);
    EXPECT_NE(video->osdEnabled(), osd);

    // A digit chooses the layout button of its place and, again, its next page as the button
    // does; Page Down and Page Up move over the pages.
    QTest::keyClick(&window, Qt::Key_2);
    EXPECT_EQ(video->layoutModel().layout(), 4);
    EXPECT_EQ(video->layoutModel().page(), 0);
    EXPECT_TRUE(window.button(321)->pressedLook());
    QTest::keyClick(&window, Qt::Key_2);
    EXPECT_EQ(video->layoutModel().page(), 1);
    QTest::keyClick(&window, Qt::Key_PageDown);
    EXPECT_EQ(video->layoutModel().page(), 2);
    QTest::keyClick(&window, Qt::Key_PageUp);
    QTest::keyClick(&window, Qt::Key_PageUp);
    EXPECT_EQ(video->layoutModel().page(), 0);

    // Tab walks the buttons; Space presses the focused one while no playback runs, and Enter
    // presses it always.
    window.button(360)->setFocus(); // Connect, the first
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window.button(361));
    window.button(370)->setFocus();
    QTest::keyClick(window.button(370), Qt::Key_Space);
    WAIT_UNTIL(video->osdEnabled() == osd, 2000);
    QTest::keyClick(window.button(370), Qt::Key_Return);
    EXPECT_NE(video->osdEnabled(), osd);
    QTest::keyClick(window.button(370), Qt::Key_Return);
    EXPECT_EQ(video->osdEnabled(), osd);

    // F1 lists every key, the changed one included, and holds the keyboard until Escape.
    QTest::keyClick(&window, Qt::Key_F1);
    auto* overlay = window.findChild<ShortcutOverlay*>();
    ASSERT_NE(overlay, nullptr);
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_EQ(overlay->accessibleName(), QStringLiteral("Keyboard shortcuts"));
    const QList<QLabel*> labels = overlay->findChildren<QLabel*>();
    const auto osdKey = std::find_if(labels.begin(), labels.end(), [](const QLabel* label) {
        return label->accessibleName() == keyActionText(KeyAction::Osd);
    });
    ASSERT_NE(osdKey, labels.end());
    EXPECT_EQ((*osdKey)->text(), QStringLiteral("K"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_9);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), overlay);
    EXPECT_EQ(video->layoutModel().layout(), 4);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    WAIT_UNTIL(window.findChild<ShortcutOverlay*>() == nullptr, 2000); // closed and gone
    QTest::keyClick(&window, Qt::Key_9);
    EXPECT_EQ(video->layoutModel().layout(), 16);

    // F11: full screen, where the keys act on the full-screen window; F11 again leaves.
    QTest::keyClick(&window, Qt::Key_F11);
    ASSERT_TRUE(video->fullScreen());
    video->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(video));
    QTest::keyClick(video, Qt::Key_2);
    EXPECT_EQ(video->layoutModel().layout(), 4);
    // The list shows over the full-screen window there.
    QTest::keyClick(video, Qt::Key_F1);
    auto* fullScreenList = video->findChild<ShortcutOverlay*>();
    ASSERT_NE(fullScreenList, nullptr);
    EXPECT_TRUE(fullScreenList->isVisible());
    QTest::keyClick(fullScreenList, Qt::Key_F1);
    EXPECT_FALSE(fullScreenList->isVisible());
    QTest::keyClick(video, Qt::Key_F11);
    EXPECT_FALSE(video->fullScreen());
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    // Back in the main window: one set of shortcuts again, so a key is not ambiguous.
    QTest::keyClick(&window, Qt::Key_9);
    EXPECT_EQ(video->layoutModel().layout(), 16);

    // Digits typed into the connect dialog's fields type there.
    window.pressConnect();
    ConnectDialog* dialog = window.connectDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("address"));
    ASSERT_NE(field, nullptr);
    field->setFocus();
    field->clear();
    QTest::keyClick(field, Qt::Key_2);
    EXPECT_EQ(field->text(), QStringLiteral("2"));
    EXPECT_EQ(video->layoutModel().layout(), 16);
    // Tab to Cancel and Enter cancels (OK is only the default of the fields).
    auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("cancelButton"));
    ASSERT_NE(cancel, nullptr);
    cancel->setFocus();
    QTest::keyClick(cancel, Qt::Key_Return);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(window.session(), nullptr);
    WAIT_UNTIL(window.connectDialog() == nullptr || !window.connectDialog()->isVisible(), 2000);
}

// The playback keys drive local playback while it runs (no remote playback runs): Space
// pauses and plays, Shift+Right plays faster, S stops.
TEST(MainWindowKeys, PlaybackKeysDriveLocalPlayback) {
    constexpr std::uint32_t kStart = 1714557600; // 2024-05-01 10:00:00
    test::MainWindowHarness harness;
    test::ClipParams params;
    params.frames = 60; // six seconds: the end of the data never comes first
    params.keyInterval = 10;
    const auto clip = test::encodeClip(params);
    std::vector<test::SetFrame> frames;
    for (int i = 0; i < params.frames; ++i) {
        test::SetFrame f;
        f.time = kStart + static_cast<std::uint32_t>(i / 10);
        f.ms = static_cast<std::uint16_t>((i % 10) * 100);
        f.key = clip[static_cast<std::size_t>(i)].key;
        f.video = clip[static_cast<std::size_t>(i)].data;
        frames.push_back(std::move(f));
    }
    const std::filesystem::path download =
        std::filesystem::path(harness.dataFolder().toStdString()) / "Download";
    test::writeBackupSet(download, 0x6632a000, frames);
    MainWindow window(harness.config());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    LocalPlaybackController* local = window.localPlayback();
    ASSERT_TRUE(local->play({LocalPlayRequest::Kind::StartOnly, kStart, 0}, download));
    ASSERT_TRUE(local->active());

    QTest::keyClick(&window, Qt::Key_Space);
    EXPECT_EQ(local->player()->mode(), LocalMode::Pause);
    QTest::keyClick(&window, Qt::Key_Space);
    EXPECT_EQ(local->player()->mode(), LocalMode::Forward);
    EXPECT_EQ(local->player()->speed(), 1);
    QTest::keyClick(&window, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(local->player()->speed(), 2);
    QTest::keyClick(&window, Qt::Key_S);
    EXPECT_FALSE(local->active());
}

} // namespace
} // namespace kalder
