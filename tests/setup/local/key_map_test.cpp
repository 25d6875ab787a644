// The operator's key map: its defaults, its store and its conflict rule.
#include "setup/local/key_map.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kalder {
namespace {

TEST(KeyMap, DefaultsUseEveryKeyOnceAndNameEveryAction) {
    const KeyMap map;
    EXPECT_FALSE(map.conflict().has_value());
    for (int i = 0; i < kKeyActionCount; ++i) {
        const auto action = static_cast<KeyAction>(i);
        EXPECT_FALSE(map.keys(action).isEmpty()) << keyActionName(action).toStdString();
        EXPECT_FALSE(keyActionText(action).isEmpty());
    }
    // The digits choose the layout buttons in their order; F1 and ? both show the list.
    EXPECT_EQ(map.actionOf(QKeySequence(Qt::Key_1)), KeyAction::Layout1);
    EXPECT_EQ(map.actionOf(QKeySequence(Qt::Key_9)), KeyAction::Layout16);
    EXPECT_EQ(map.actionOf(QKeySequence(Qt::Key_Question)), KeyAction::Help);
    EXPECT_EQ(keysText(map.keys(KeyAction::Help)), QStringLiteral("F1, ?"));
}

TEST(KeyMap, StoreRoundTripKeepsOddKeysNoKeyAndRefusesAConflict) {
    QTemporaryDir dir;
    QSettings store(dir.filePath(QStringLiteral("keys.ini")), QSettings::IniFormat);
    // Nothing stored: the defaults.
    EXPECT_EQ(loadKeyMap(store), KeyMap());

    KeyMap changed;
    // Keys that the store's own list syntax uses, a chord of two and an action without keys.
    changed.setKeys(KeyAction::Osd, {QKeySequence(Qt::Key_Comma), QKeySequence(Qt::Key_Semicolon)});
    changed.setKeys(KeyAction::Live, {QKeySequence(QKeyCombination(Qt::CTRL, Qt::Key_K),
                                                   QKeyCombination(Qt::Key_L))});
    changed.setKeys(KeyAction::Mute, {});
    changed.setKeys(KeyAction::Stop, {QKeySequence(Qt::Key_Backslash)});
    ASSERT_FALSE(changed.conflict().has_value());
    saveKeyMap(store, changed);
    store.sync();
    QSettings reread(dir.filePath(QStringLiteral("keys.ini")), QSettings::IniFormat);
    EXPECT_EQ(reread.value(QStringLiteral("LocalSetupEx/Keys/Stop/Stop")).toString(),
              QStringLiteral("\\"));
    EXPECT_EQ(loadKeyMap(reread), changed);
    EXPECT_TRUE(loadKeyMap(reread).keys(KeyAction::Mute).isEmpty());

    // Two actions on one key: the conflict names both, and a stored map with one is not taken.
    changed.setKeys(KeyAction::Search, {QKeySequence(Qt::Key_Comma)});
    const auto conflict = changed.conflict();
    ASSERT_TRUE(conflict.has_value());
    EXPECT_EQ(conflict->first, KeyAction::Osd);
    EXPECT_EQ(conflict->second, KeyAction::Search);
    EXPECT_EQ(changed.actionOf(QKeySequence(Qt::Key_Comma), KeyAction::Osd), KeyAction::Search);
    saveKeyMap(reread, changed);
    EXPECT_EQ(loadKeyMap(reread), KeyMap());
}

} // namespace
} // namespace kalder
