#include "ui/shortcut_overlay.h"

#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <QApplication>

namespace kalder {

namespace {

// Rows in one pair of columns before the list flows into the next pair.
constexpr int kShortcutRowsPerColumn = 16;

} // namespace

ShortcutOverlay::ShortcutOverlay(const QList<Row>& rows, QList<QKeySequence> closeKeys,
                                 QWidget* parent)
    : QWidget(parent), m_closeKeys(std::move(closeKeys)) {
    setObjectName(QStringLiteral("shortcutOverlay"));
    setAccessibleName(tr("Keyboard shortcuts"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_NoSystemBackground);

    m_panel = new QFrame(this);
    m_panel->setObjectName(QStringLiteral("shortcutPanel"));
    m_panel->setStyleSheet(QStringLiteral(
        "QFrame#shortcutPanel { background: rgba(16, 18, 22, 225); border: 1px solid #5a6270;"
        " border-radius: 6px; }"
        "QLabel { color: #e8eaee; background: transparent; }"
        "QLabel[role=\"key\"] { color: #ffd36b; font-weight: bold; }"
        "QLabel[role=\"title\"] { font-size: 15px; font-weight: bold; }"));
    auto* panelLayout = new QVBoxLayout(m_panel);
    panelLayout->setContentsMargins(18, 12, 18, 14);
    auto* title = new QLabel(tr("Keyboard shortcuts"), m_panel);
    title->setProperty("role", QStringLiteral("title"));
    panelLayout->addWidget(title);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(2);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const int row = int(i % kShortcutRowsPerColumn);
        const int column = int(i / kShortcutRowsPerColumn) * 3;
        auto* action = new QLabel(rows[i].first, m_panel);
        auto* key = new QLabel(rows[i].second, m_panel);
        key->setProperty("role", QStringLiteral("key"));
        action->setBuddy(key);
        key->setAccessibleName(rows[i].first);
        grid->addWidget(action, row, column);
        grid->addWidget(key, row, column + 1);
        if (column > 0)
            grid->setColumnMinimumWidth(column - 1, 18); // a gap between the pairs
    }
    panelLayout->addLayout(grid);
    QStringList closers{QKeySequence(Qt::Key_Escape).toString(QKeySequence::NativeText)};
    for (const QKeySequence& key : m_closeKeys)
        closers << key.toString(QKeySequence::NativeText);
    auto* hint = new QLabel(
        tr("%1 or a click closes this list.").arg(closers.join(QStringLiteral(", "))), m_panel);
    hint->setObjectName(QStringLiteral("shortcutHint"));
    panelLayout->addWidget(hint);
    hide();
    if (parent)
        parent->installEventFilter(this);
}

void ShortcutOverlay::open() {
    if (QWidget* p = parentWidget())
        setGeometry(p->rect());
    m_panel->adjustSize();
    m_panel->move((width() - m_panel->width()) / 2, (height() - m_panel->height()) / 2);
    QWidget* before = QApplication::focusWidget();
    m_focusBefore = before == this ? nullptr : before;
    raise();
    show();
    setFocus(Qt::OtherFocusReason);
}

bool ShortcutOverlay::event(QEvent* event) {
    // Every key is the list's while it shows: the window's shortcuts do not act behind it.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    // Nor does Tab take the focus to the controls behind it.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

bool ShortcutOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
        open();
    return QWidget::eventFilter(watched, event);
}

bool ShortcutOverlay::closesOn(const QKeyEvent& event) const {
    if (event.key() == Qt::Key_Escape)
        return true;
    // "?" arrives with Shift on most keyboards: a close key matches with or without it.
    const QKeySequence pressed(event.keyCombination());
    const QKeySequence unshifted(
        QKeyCombination(event.modifiers() & ~Qt::ShiftModifier, Qt::Key(event.key())));
    return m_closeKeys.contains(pressed) || m_closeKeys.contains(unshifted);
}

void ShortcutOverlay::keyPressEvent(QKeyEvent* event) {
    if (closesOn(*event))
        close();
    event->accept();
}

void ShortcutOverlay::mousePressEvent(QMouseEvent* event) {
    close();
    event->accept();
}

void ShortcutOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 130));
}

void ShortcutOverlay::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (m_focusBefore && m_focusBefore->isVisible())
        m_focusBefore->setFocus(Qt::OtherFocusReason);
    m_focusBefore = nullptr;
}

} // namespace kalder
