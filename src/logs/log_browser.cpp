#include "logs/log_browser.h"

#include "logs/area_change_viewer.h"
#include "logs/log_detail_window.h"
#include "logs/log_list_window.h"
#include "logs/log_menu_panel.h"
#include "logs/schedule_change_viewer.h"
#include "resources/resource_library.h"
#include "session/recorder_session.h"
#include "ui/notification_box.h"
#include "ui/theme.h"

#include <QInputDialog>
#include <QLineEdit>

namespace kalder {

namespace {

std::optional<QString> askPassword(QWidget* parent) {
    QInputDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("archivePasswordDialog"));
    dialog.setWindowTitle(QObject::tr("Archive log password"));
    dialog.setLabelText(QObject::tr(
        "The archive log is locked. Enter the recorder's archive password to open it:"));
    dialog.setTextEchoMode(QLineEdit::Password);
    applyTheme(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

} // namespace

LogBrowser::LogBrowser(RecorderSession& session, int dateFormat, QWidget* menuHost, QWidget* parent)
    : QWidget(parent), m_session(session), m_dateFormat(dateFormat) {
    setObjectName(QStringLiteral("logBrowser"));
    setAccessibleName(resourceText(5520).isEmpty() ? QStringLiteral("Remote Log")
                                                   : resourceText(5520));
    setWindowTitle(accessibleName());
    m_passwordPrompt = [this] { return askPassword(this); };
    m_menu = new LogMenuPanel(menuHost ? menuHost : this);
    connect(m_menu, &LogMenuPanel::listChosen, this, &LogBrowser::chooseList);
    if (menuHost) {
        m_contentRect = QRect(QPoint(0, 0), kContentRect.size());
    } else {
        // Alone: the search window's size, the menu on the left.
        setFixedSize(618, 546);
        m_menu->move(14, 74);
        m_contentRect = kContentRect;
    }
    applyTheme(*this);
}

LogNaming LogBrowser::naming() const {
    LogNaming n;
    n.text = [](int id) { return resourceText(id).toStdString(); };
    n.dateFormat = m_dateFormat;
    const std::uint8_t sub = m_session.hello().sub_product_num_major;
    n.subProduct34 = sub == 3 || sub == 4;
    return n;
}

LogViewer LogBrowser::viewer() const {
    return {m_session.featureBit0(), m_session.status().userIndex()};
}

void LogBrowser::chooseList(LogList list) {
    if (list == LogList::Archive) {
        // The archive is the first account's alone, behind the recorder's archive password.
        if (m_session.status().userIndex() != 0)
            return;
        if (!m_session.status().maySearch() && !m_session.status().mayBackup()) {
            emit closeRequested();
            return;
        }
        const std::optional<QString> entry = m_passwordPrompt ? m_passwordPrompt() : std::nullopt;
        const std::string expected = m_session.status().archivePassword().substr(0, 8);
        if (!entry)
            return; // cancelled: the operator knows
        if (entry->toStdString() != expected) {
            showMessageBox(this, QMessageBox::Warning, QObject::tr("Archive log password"),
                           QObject::tr("Wrong archive password: the archive log stays locked."));
            return;
        }
    }
    // Asked once in the browser's life; back from a playback started in a log list the session's
    // copy is shown. (A resume context left by another panel's playback does not stand for a
    // fetched log: the recorder is asked then too.)
    const SearchResumeContext context = m_session.search().resumeContext();
    const bool resumed = context.active && context.fromLogList && m_session.logs().fetched();
    if (!m_holdsLog && !resumed) {
        if (m_pendingList)
            return; // one question at a time
        if (!m_session.logs().requestPending())
            m_session.logs().request();
        m_pendingList = list;
        return;
    }
    showList(list);
}

void LogBrowser::logReplyComplete(int result) {
    if (!m_pendingList)
        return;
    const LogList list = *m_pendingList;
    m_pendingList.reset();
    m_holdsLog = true;
    // A refused reply (too large, unknown record size) opens an empty list.
    (void)result;
    showList(list);
}

void LogBrowser::loadRecords() {
    // The content may refer to the old copy: drop it first.
    setContent(nullptr);
    m_records = m_session.logs().records();
}

void LogBrowser::showList(LogList list) {
    loadRecords();
    auto* window = new LogListWindow(list, m_records, naming(), viewer(), m_localPlaybackRunning);
    connect(window, &LogListWindow::detailsRequested, this,
            [this, list](std::size_t i) { showDetails(i, list); });
    connect(window, &LogListWindow::playRequested, this,
            [this, list](std::size_t i) { play(i, list); });
    setContent(window);
}

void LogBrowser::showDetails(std::size_t index, LogList from) {
    if (index >= m_records.size())
        return;
    const LogRecord& record = m_records[index];
    if (lowestBit(record.subKindBits) == LogOperation::ScheduleChange) {
        auto* viewer = new ScheduleChangeViewer(record, naming().subProduct34);
        connect(viewer, &ScheduleChangeViewer::backRequested, this,
                [this, from] { showList(from); });
        setContent(viewer);
        return;
    }
    auto* details = new LogDetailWindow(record, naming());
    connect(details, &LogDetailWindow::backRequested, this, [this, from] { showList(from); });
    connect(details, &LogDetailWindow::areaRequested, this,
            [this, index, from] { showArea(index, from); });
    setContent(details);
}

void LogBrowser::showArea(std::size_t index, LogList from) {
    auto* viewer = new AreaChangeViewer(m_records[index]);
    connect(viewer, &AreaChangeViewer::backRequested, this,
            [this, index, from] { showDetails(index, from); });
    setContent(viewer);
}

void LogBrowser::play(std::size_t index, LogList from) {
    if (index >= m_records.size())
        return;
    const std::optional<LogPlayRequest> request = logPlayRequest(m_records[index], from);
    if (!request)
        return;
    emit playRequested(*request);
}

void LogBrowser::setContent(QWidget* widget) {
    if (m_content) {
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = widget;
    if (widget) {
        widget->setParent(this);
        widget->setGeometry(m_contentRect);
        widget->show();
    }
}

} // namespace kalder
