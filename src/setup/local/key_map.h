#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

#include <array>
#include <optional>

class QSettings;

namespace kalder {

// What the operator's keys do in the main window (and in full-screen view). The order is the
// order of the shortcut list and of the Keys page.
enum class KeyAction : int {
    Help, // the list of keys
    // The nine layout buttons in their order (1, 4, 6, 7, 8, 9, 10, 13 and 16 cells); pressed
    // again, the layout turns to its next page as the button does.
    Layout1,
    Layout4,
    Layout6,
    Layout7,
    Layout8,
    Layout9,
    Layout10,
    Layout13,
    Layout16,
    PreviousPage,
    NextPage,
    FullScreen,
    Osd,
    Snapshot, // the focused cell's channel, else every channel shown (Save)
    Live,
    Search,
    PlayPause,
    StepBackward,
    StepForward,
    Reverse, // again: faster backward
    Forward, // again: faster forward
    Stop,
    Mute,
    FocusLeft,
    FocusRight,
    FocusUp,
    FocusDown,
    ZoomReset,     // the focused cell's digital zoom
    InstantReplay, // the focused cell's channel from a little while ago
};
inline constexpr int kKeyActionCount = static_cast<int>(KeyAction::InstantReplay) + 1;

// The keys of every action: none, one or several key sequences each.
class KeyMap {
public:
    // Every action with its default keys.
    KeyMap();

    const QList<QKeySequence>& keys(KeyAction action) const {
        return m_keys[static_cast<std::size_t>(action)];
    }
    void setKeys(KeyAction action, QList<QKeySequence> keys);
    // Every action back to its default keys.
    void restoreDefaults() { *this = KeyMap(); }

    // Two actions (or one action twice) that share a key sequence: the first such action and
    // the key; nothing when every key is used once.
    struct Conflict {
        KeyAction first;
        KeyAction second;
        QKeySequence key;
    };
    std::optional<Conflict> conflict() const;
    // The action that already uses `key`, other than `except`.
    std::optional<KeyAction> actionOf(const QKeySequence& key,
                                      std::optional<KeyAction> except = std::nullopt) const;

    bool operator==(const KeyMap&) const = default;

private:
    std::array<QList<QKeySequence>, kKeyActionCount> m_keys;
};

QList<QKeySequence> defaultKeys(KeyAction action);
// What the action does, as the shortcut list and the Keys page say it.
QString keyActionText(KeyAction action);
// The name the action's keys are stored under (LocalSetupEx/Keys/<name>/<name>).
QString keyActionName(KeyAction action);
// The keys as the operator reads them ("F1, ?"; empty for none), in this system's key names.
QString keysText(const QList<QKeySequence>& keys);

// Reads LocalSetupEx/Keys: a missing value gives the action's defaults, an empty one no key.
// Each value is the action's key sequences in portable text ("Ctrl+S"), a list when several.
// A stored map whose keys conflict is not taken: the defaults are.
KeyMap loadKeyMap(QSettings& store);
// Writes every action's keys.
void saveKeyMap(QSettings& store, const KeyMap& map);

} // namespace kalder
