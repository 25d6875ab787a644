#include "setup/local/local_setup_keys_page.h"

#include "ui/theme.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kalder {

namespace {

// Keys a capture field never takes: they move the focus and answer the window.
bool reservedForTheWindow(int key) {
    return key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return ||
           key == Qt::Key_Enter || key == Qt::Key_Escape;
}

bool modifierOnly(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr || key == Qt::Key_unknown;
}

} // namespace

KeyCaptureField::KeyCaptureField(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setPlaceholderText(tr("Press the new key here"));
}

void KeyCaptureField::clearKey() {
    m_key = QKeySequence();
    clear();
}

bool KeyCaptureField::event(QEvent* event) {
    // The field takes every key that it captures, before any shortcut of the window does.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!reservedForTheWindow(key->key())) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void KeyCaptureField::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !m_key.isEmpty()) {
        event->accept();
        emit keyConfirmed(m_key);
        return;
    }
    if (reservedForTheWindow(key)) {
        event->ignore(); // the dialog's OK and Cancel, the focus chain
        return;
    }
    event->accept();
    if (modifierOnly(key))
        return;
    // "?" arrives as Shift+? : the sequence keeps the character the operator sees.
    Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (!event->text().isEmpty() && event->text().at(0).isPrint() &&
        !event->text().at(0).isLetter())
        modifiers &= ~Qt::ShiftModifier;
    m_key = QKeySequence(QKeyCombination(modifiers, Qt::Key(key)));
    setText(m_key.toString(QKeySequence::NativeText));
    emit keyCaptured(m_key);
}

LocalSetupKeysPage::LocalSetupKeysPage(KeyMap& working, QWidget* parent)
    : QWidget(parent), m_working(working) {
    m_table = new QTableWidget(kKeyActionCount, 2, this);
    m_table->setObjectName(QStringLiteral("keyTable"));
    m_table->setAccessibleName(tr("Keys"));
    m_table->setHorizontalHeaderLabels({tr("Action"), tr("Keys")});
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTabKeyNavigation(false); // Tab leaves the table for the capture field
    for (int row = 0; row < kKeyActionCount; ++row)
        m_table->setItem(row, 0, new QTableWidgetItem(keyActionText(static_cast<KeyAction>(row))));
    m_table->setCurrentCell(0, 0);

    m_capture = new KeyCaptureField(this);
    m_capture->setObjectName(QStringLiteral("keyCapture"));
    m_capture->setAccessibleName(tr("New key"));
    auto* captureLabel = new QLabel(tr("New &key:"), this);
    captureLabel->setBuddy(m_capture);
    auto* setButton = makeDialogButton(tr("Use this key"), this);
    setButton->setObjectName(QStringLiteral("keySet"));
    auto* clearButton = makeDialogButton(tr("No key"), this);
    clearButton->setObjectName(QStringLiteral("keyClear"));
    auto* defaultsButton = makeDialogButton(tr("Restore defaults"), this);
    defaultsButton->setObjectName(QStringLiteral("keyDefaults"));
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("keyMessage"));
    m_message->setWordWrap(true);

    for (QPushButton* b : {setButton, clearButton, defaultsButton})
        b->setAutoDefault(true); // Enter presses the focused button
    connect(m_capture, &KeyCaptureField::keyConfirmed, this,
            [this](const QKeySequence& key) { assign(chosenAction(), key); });
    connect(setButton, &QPushButton::clicked, this, [this] {
        if (m_capture->key().isEmpty()) {
            say(tr("Press the new key in the field first."), true);
            return;
        }
        assign(chosenAction(), m_capture->key());
    });
    connect(clearButton, &QPushButton::clicked, this, [this] {
        m_working.setKeys(chosenAction(), {});
        refresh();
        say(tr("\"%1\" has no key now.").arg(keyActionText(chosenAction())), false);
    });
    connect(defaultsButton, &QPushButton::clicked, this, [this] {
        m_working.restoreDefaults();
        m_capture->clearKey();
        refresh();
        say(tr("Every key is back to its default."), false);
    });

    auto* captureRow = new QHBoxLayout;
    captureRow->addWidget(captureLabel);
    captureRow->addWidget(m_capture, 1);
    captureRow->addWidget(setButton);
    captureRow->addWidget(clearButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table, 1);
    layout->addLayout(captureRow);
    auto* footRow = new QHBoxLayout;
    footRow->addWidget(m_message, 1);
    footRow->addWidget(defaultsButton);
    layout->addLayout(footRow);
    refresh();
}

KeyAction LocalSetupKeysPage::chosenAction() const {
    const int row = m_table->currentRow();
    return static_cast<KeyAction>(row >= 0 && row < kKeyActionCount ? row : 0);
}

bool LocalSetupKeysPage::assign(KeyAction action, const QKeySequence& key) {
    if (const auto other = m_working.actionOf(key, action)) {
        say(tr("%1 already does \"%2\": choose another key, or give that action another key "
               "first.")
                .arg(key.toString(QKeySequence::NativeText), keyActionText(*other)),
            true);
        return false;
    }
    m_working.setKeys(action, {key});
    refresh();
    say(tr("\"%1\" is now %2.").arg(keyActionText(action), key.toString(QKeySequence::NativeText)),
        false);
    return true;
}

void LocalSetupKeysPage::refresh() {
    for (int row = 0; row < kKeyActionCount; ++row) {
        const QString keys = keysText(m_working.keys(static_cast<KeyAction>(row)));
        if (QTableWidgetItem* item = m_table->item(row, 1))
            item->setText(keys);
        else
            m_table->setItem(row, 1, new QTableWidgetItem(keys));
    }
}

void LocalSetupKeysPage::say(const QString& text, bool refusal) {
    QPalette palette = m_message->palette();
    palette.setColor(QPalette::WindowText,
                     refusal ? warningColour(*this) : this->palette().color(QPalette::WindowText));
    m_message->setPalette(palette);
    m_message->setText(text);
}

} // namespace kalder
