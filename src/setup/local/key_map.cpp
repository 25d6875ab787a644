#include "setup/local/key_map.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStringList>

namespace kalder {

namespace {

struct KeyActionRow {
    const char* name;
    const char* text;
    const char* keys[2]; // portable text, up to two sequences
};

// In the order of KeyAction. The digits choose the nine layout buttons in their order, so 9 is
// the sixteen-cell layout and 0 is free; the playback keys are those of a media player (Space,
// the arrows), with Shift for playing on (again: faster).
constexpr KeyActionRow kKeyActionRows[kKeyActionCount] = {
    {"Help", QT_TRANSLATE_NOOP("kalder::KeyMap", "Show this list of keys"), {"F1", "?"}},
    {"Layout1", QT_TRANSLATE_NOOP("kalder::KeyMap", "1 cell (again: next channel)"), {"1"}},
    {"Layout4", QT_TRANSLATE_NOOP("kalder::KeyMap", "4 cells (again: next page)"), {"2"}},
    {"Layout6", QT_TRANSLATE_NOOP("kalder::KeyMap", "6 cells (again: next page)"), {"3"}},
    {"Layout7", QT_TRANSLATE_NOOP("kalder::KeyMap", "7 cells (again: next page)"), {"4"}},
    {"Layout8", QT_TRANSLATE_NOOP("kalder::KeyMap", "8 cells (again: next page)"), {"5"}},
    {"Layout9", QT_TRANSLATE_NOOP("kalder::KeyMap", "9 cells (again: next page)"), {"6"}},
    {"Layout10", QT_TRANSLATE_NOOP("kalder::KeyMap", "10 cells (again: next page)"), {"7"}},
    {"Layout13", QT_TRANSLATE_NOOP("kalder::KeyMap", "13 cells (again: next page)"), {"8"}},
    {"Layout16", QT_TRANSLATE_NOOP("kalder::KeyMap", "16 cells"), {"9"}},
    {"PreviousPage", QT_TRANSLATE_NOOP("kalder::KeyMap", "Previous page"), {"PgUp"}},
    {"NextPage", QT_TRANSLATE_NOOP("kalder::KeyMap", "Next page"), {"PgDown"}},
    {"FullScreen", QT_TRANSLATE_NOOP("kalder::KeyMap", "Full screen (Escape leaves it)"), {"F11"}},
    {"Osd", QT_TRANSLATE_NOOP("kalder::KeyMap", "Titles and times on or off"), {"O"}},
    {"Snapshot",
     QT_TRANSLATE_NOOP("kalder::KeyMap", "Snapshot of the focused cell (none: every cell)"),
     {"Ctrl+S"}},
    {"Live", QT_TRANSLATE_NOOP("kalder::KeyMap", "Live view on or off"), {"L"}},
    {"Search", QT_TRANSLATE_NOOP("kalder::KeyMap", "Search the recorder"), {"Ctrl+F"}},
    {"PlayPause", QT_TRANSLATE_NOOP("kalder::KeyMap", "Playback: play or pause"), {"Space"}},
    {"StepBackward", QT_TRANSLATE_NOOP("kalder::KeyMap", "Playback: step back"), {"Left"}},
    {"StepForward", QT_TRANSLATE_NOOP("kalder::KeyMap", "Playback: step forward"), {"Right"}},
    {"Reverse",
     QT_TRANSLATE_NOOP("kalder::KeyMap", "Playback: play backward (again: faster)"),
     {"Shift+Left"}},
    {"Forward",
     QT_TRANSLATE_NOOP("kalder::KeyMap", "Playback: play forward (again: faster)"),
     {"Shift+Right"}},
    {"Stop", QT_TRANSLATE_NOOP("kalder::KeyMap", "Playback: stop"), {"S"}},
    {"Mute", QT_TRANSLATE_NOOP("kalder::KeyMap", "Sound off or on"), {"M"}},
    {"FocusLeft", QT_TRANSLATE_NOOP("kalder::KeyMap", "Focus the cell to the left"), {"Ctrl+Left"}},
    {"FocusRight",
     QT_TRANSLATE_NOOP("kalder::KeyMap", "Focus the cell to the right"),
     {"Ctrl+Right"}},
    {"FocusUp", QT_TRANSLATE_NOOP("kalder::KeyMap", "Focus the cell above"), {"Ctrl+Up"}},
    {"FocusDown", QT_TRANSLATE_NOOP("kalder::KeyMap", "Focus the cell below"), {"Ctrl+Down"}},
    {"ZoomReset",
     QT_TRANSLATE_NOOP("kalder::KeyMap", "Show the focused cell whole (no zoom)"),
     {"Ctrl+0"}},
    {"InstantReplay",
     QT_TRANSLATE_NOOP("kalder::KeyMap", "Replay the focused cell's last seconds"),
     {"R"}},
};

const KeyActionRow& keyActionRow(KeyAction action) {
    return kKeyActionRows[static_cast<std::size_t>(action)];
}

// As every local setting: a subkey of the action's name holding a value of the same name, one
// level under Keys (LocalSetupEx/Keys/Help/Help).
QString keyPath(KeyAction action) {
    const QLatin1StringView name(keyActionRow(action).name);
    return QStringLiteral("LocalSetupEx/Keys/") + name + u'/' + name;
}

// Drops empty sequences and repeats, keeping the order.
QList<QKeySequence> cleanedKeys(QList<QKeySequence> keys) {
    QList<QKeySequence> out;
    for (const QKeySequence& key : keys)
        if (!key.isEmpty() && !out.contains(key))
            out << key;
    return out;
}

} // namespace

QList<QKeySequence> defaultKeys(KeyAction action) {
    QList<QKeySequence> keys;
    for (const char* text : keyActionRow(action).keys)
        if (text != nullptr)
            keys << QKeySequence::fromString(QLatin1String(text), QKeySequence::PortableText);
    return keys;
}

QString keyActionText(KeyAction action) {
    return QCoreApplication::translate("kalder::KeyMap", keyActionRow(action).text);
}

QString keyActionName(KeyAction action) {
    return QLatin1String(keyActionRow(action).name);
}

QString keysText(const QList<QKeySequence>& keys) {
    QStringList parts;
    for (const QKeySequence& key : keys)
        parts << key.toString(QKeySequence::NativeText);
    return parts.join(QStringLiteral(", "));
}

KeyMap::KeyMap() {
    for (int i = 0; i < kKeyActionCount; ++i)
        m_keys[static_cast<std::size_t>(i)] = defaultKeys(static_cast<KeyAction>(i));
}

void KeyMap::setKeys(KeyAction action, QList<QKeySequence> keys) {
    m_keys[static_cast<std::size_t>(action)] = cleanedKeys(std::move(keys));
}

std::optional<KeyMap::Conflict> KeyMap::conflict() const {
    for (int a = 0; a < kKeyActionCount; ++a)
        for (const QKeySequence& key : m_keys[static_cast<std::size_t>(a)])
            for (int b = a; b < kKeyActionCount; ++b) {
                const auto& other = m_keys[static_cast<std::size_t>(b)];
                const qsizetype uses = other.count(key);
                if (uses > (a == b ? 1 : 0))
                    return Conflict{static_cast<KeyAction>(a), static_cast<KeyAction>(b), key};
            }
    return std::nullopt;
}

std::optional<KeyAction> KeyMap::actionOf(const QKeySequence& key,
                                          std::optional<KeyAction> except) const {
    for (int a = 0; a < kKeyActionCount; ++a) {
        const auto action = static_cast<KeyAction>(a);
        if (action != except && m_keys[static_cast<std::size_t>(a)].contains(key))
            return action;
    }
    return std::nullopt;
}

KeyMap loadKeyMap(QSettings& store) {
    KeyMap map;
    for (int i = 0; i < kKeyActionCount; ++i) {
        const auto action = static_cast<KeyAction>(i);
        const QVariant stored = store.value(keyPath(action));
        if (!stored.isValid())
            continue; // the default stays
        QList<QKeySequence> keys;
        for (const QString& text : stored.toStringList())
            keys << QKeySequence::fromString(text, QKeySequence::PortableText);
        map.setKeys(action, keys);
    }
    if (map.conflict())
        return KeyMap();
    return map;
}

void saveKeyMap(QSettings& store, const KeyMap& map) {
    for (int i = 0; i < kKeyActionCount; ++i) {
        const auto action = static_cast<KeyAction>(i);
        QStringList texts;
        for (const QKeySequence& key : map.keys(action))
            texts << key.toString(QKeySequence::PortableText);
        // An empty string, not an empty list: the store keeps no empty list, and a missing
        // value means the default keys.
        if (texts.isEmpty())
            store.setValue(keyPath(action), QStringLiteral(""));
        else
            store.setValue(keyPath(action), texts);
    }
}

} // namespace kalder
