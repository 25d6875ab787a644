#include "search/backup_progress_window.h"

#include "session/backup_rules.h"
#include "session/recorder_session.h"
#include "session/window_message.h"
#include "ui/theme.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <limits>

namespace kalder {

namespace {

// QProgressBar counts in int: sizes beyond its range are shown in megabytes.
bool inMegabytes(std::uint32_t totalKbytes) {
    return totalKbytes > static_cast<std::uint32_t>(std::numeric_limits<int>::max());
}

int barValue(std::uint64_t kbytes, bool megabytes) {
    const std::uint64_t v = megabytes ? kbytes / 1024 : kbytes;
    return static_cast<int>(std::min<std::uint64_t>(v, std::numeric_limits<int>::max()));
}

} // namespace

BackupProgressWindow::BackupProgressWindow(RecorderSession& session, std::uint32_t totalKbytes,
                                           QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      m_session(session), m_total(totalKbytes) {
    setObjectName("BackupProgressWindow");
    setWindowTitle(QStringLiteral("Backup"));
    setAccessibleName(QStringLiteral("Backup progress window"));
    setFixedSize(320, 100);

    m_bar = new QProgressBar(this);
    m_bar->setAccessibleName(QStringLiteral("Backup progress"));
    m_bar->setGeometry(12, 14, 296, 22);
    m_bar->setTextVisible(true);
    m_bar->setRange(0, std::max(1, barValue(totalKbytes, inMegabytes(totalKbytes))));
    m_bar->setValue(0);

    m_amount = new QLabel(this);
    m_amount->setAccessibleName(QStringLiteral("Backup amount"));
    m_amount->setGeometry(12, 42, 296, 20);

    m_stop = makeDialogButton(QStringLiteral("Stop"), this);
    m_stop->setAccessibleName(QStringLiteral("Stop"));
    m_stop->setGeometry(230, 66, 78, 26);
    connect(m_stop, &QPushButton::clicked, this, &BackupProgressWindow::stop);

    applyTheme(*this);
    setPosition(0);
}

void BackupProgressWindow::setPosition(std::uint64_t kbytes) {
    m_position = kbytes;
    const bool mb = inMegabytes(m_total);
    m_bar->setValue(std::min(barValue(kbytes, mb), m_bar->maximum()));
    const auto shown = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(kbytes, std::numeric_limits<std::uint32_t>::max()));
    m_amount->setText(QString::fromStdString(backupSize(shown).text) + QStringLiteral(" / ") +
                      QString::fromStdString(backupSize(m_total).text));
}

void BackupProgressWindow::stop() {
    m_stop->setEnabled(false);
    if (m_session.backup().transferRunning())
        m_session.backup().stop();
    else
        close();
}

bool routeBackupMessage(const WindowMessageEvent& message, RecorderSession* session,
                        QPointer<BackupProgressWindow>& window, QWidget* parent) {
    switch (message.message()) {
    case WindowMessage::BackupProgressOpen:
        delete window;
        if (session) {
            window = new BackupProgressWindow(*session,
                                              static_cast<std::uint32_t>(message.wParam()), parent);
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->show();
        }
        return true;
    case WindowMessage::BackupProgressPosition:
        if (window)
            window->setPosition(static_cast<std::uint64_t>(message.wParam()));
        return true;
    case WindowMessage::BackupProgressClose:
        if (window)
            window->close();
        return true;
    case WindowMessage::BackupWriterEnded:
        if (session)
            session->backup().writerEnded();
        return true;
    case WindowMessage::CloseWindow:
        if (message.wParam() != std::uintptr_t(CloseTarget::BackupProgress))
            return false;
        if (window)
            window->close();
        return true;
    default:
        return false;
    }
}

} // namespace kalder
