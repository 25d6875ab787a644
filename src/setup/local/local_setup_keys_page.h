#pragma once

#include "setup/local/key_map.h"

#include <QLineEdit>
#include <QWidget>

class QLabel;
class QTableWidget;

namespace kalder {

// A field that takes the next key pressed in it (with its modifiers) as a key sequence. Tab and
// Shift+Tab still move the focus, Escape still reaches the window (its Cancel), and Enter
// confirms the key taken (without one it reaches the window's OK): those are never taken.
// GUI thread only.
class KeyCaptureField : public QLineEdit {
    Q_OBJECT
public:
    explicit KeyCaptureField(QWidget* parent = nullptr);
    QKeySequence key() const { return m_key; }
    void clearKey();

signals:
    void keyCaptured(const QKeySequence& key);
    // Enter after a key was taken.
    void keyConfirmed(const QKeySequence& key);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QKeySequence m_key;
};

// The Keys page: every action with its keys; the operator picks a row, presses the new key in
// the capture field and sets it, or clears the row's keys, or restores every default. A key
// that another action already uses is refused, and the message says which action has it. GUI
// thread only.
class LocalSetupKeysPage : public QWidget {
    Q_OBJECT
public:
    // `working` is the window's working copy; it must outlive the page.
    LocalSetupKeysPage(KeyMap& working, QWidget* parent = nullptr);

    // The chosen row's action gets `key` in place of its keys; false (and the message) when
    // another action uses it.
    bool assign(KeyAction action, const QKeySequence& key);

private:
    void refresh();
    void say(const QString& text, bool refusal);
    KeyAction chosenAction() const;

    KeyMap& m_working;
    QTableWidget* m_table = nullptr;
    KeyCaptureField* m_capture = nullptr;
    QLabel* m_message = nullptr;
};

} // namespace kalder
