#include "firmware/firmware_upgrade_window.h"

#include "post/call_poster.h"
#include "session/window_message.h"
#include "ui/theme.h"
#include "wire/firmware_records.h"
#include "wire/recorder_time.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>
#include <utility>

namespace kalder {

namespace {

QString nameOf(const UpgradeCandidate& c) {
    // A boot image's name is its first 15 bytes; show the readable part.
    std::string text;
    for (char ch : c.componentName)
        if (static_cast<unsigned char>(ch) >= 0x20 && ch != 0x7F)
            text.push_back(ch);
    return QString::fromLatin1(text.c_str());
}

// The name the recorder gave the row's component slot at login; empty when it has none.
QString recorderComponentName(const HelloRecord& hello, int row) {
    const int slot = GetIdxToType(row);
    if (slot < 0 || static_cast<std::size_t>(slot) >= hello.firmName.size())
        return {};
    UpgradeCandidate named;
    named.componentName = hello.firmName[static_cast<std::size_t>(slot)];
    return nameOf(named);
}

} // namespace

QString FirmwareUpgradeWindow::rowCaption(const HelloRecord& hello, int row) {
    const QString name = recorderComponentName(hello, row);
    if (!name.isEmpty())
        return name;
    return QStringLiteral("Slot %1 (none on the recorder)").arg(GetIdxToType(row));
}

QString FirmwareUpgradeWindow::notOfferedText(bool recorderHasComponent) {
    return recorderHasComponent ? QStringLiteral("No newer image in the Upgrade folder")
                                : QStringLiteral("The recorder has no such component");
}

FirmwareUpgradeWindow::FirmwareUpgradeWindow(FirmwareUpgrade& upgrade, const HelloRecord& hello,
                                             QWidget* parent)
    : QDialog(parent), m_upgrade(upgrade) {
    setWindowTitle(QStringLiteral("Firmware upgrade"));
    setObjectName(QStringLiteral("FirmwareUpgradeWindow"));
    auto* grid = new QGridLayout;
    const char* headings[] = {"Component", "Build date", "Progress", "Status"};
    for (int column = 0; column < 4; ++column)
        grid->addWidget(new QLabel(QString::fromLatin1(headings[column])), 0, column);
    for (int row = 0; row < static_cast<int>(kUpgradeRows); ++row) {
        const UpgradeCandidate c = m_upgrade.candidate(row);
        m_recorderHas[static_cast<std::size_t>(row)] = !recorderComponentName(hello, row).isEmpty();
        auto* box = new QCheckBox(c.selected ? nameOf(c) : rowCaption(hello, row));
        box->setObjectName(QStringLiteral("control%1").arg(FirstBox + row));
        auto* date = new QLabel(c.selected ? QString::fromStdString(formatRecorderTime(c.buildTime))
                                           : QString());
        date->setObjectName(QStringLiteral("control%1").arg(FirstDate + row));
        auto* progress = new QProgressBar;
        progress->setRange(0, 100);
        progress->setValue(0);
        progress->setAccessibleName(QStringLiteral("Progress of row %1").arg(row + 1));
        auto* status = new QLabel;
        status->setObjectName(QStringLiteral("control%1").arg(FirstStatus + row));
        status->setMinimumWidth(180);
        grid->addWidget(box, row + 1, 0);
        grid->addWidget(date, row + 1, 1);
        grid->addWidget(progress, row + 1, 2);
        grid->addWidget(status, row + 1, 3);
        m_boxes[static_cast<std::size_t>(row)] = box;
        m_dates[static_cast<std::size_t>(row)] = date;
        m_progress[static_cast<std::size_t>(row)] = progress;
        m_status[static_cast<std::size_t>(row)] = status;
        box->setChecked(c.selected && m_upgrade.checked(row));
        box->setEnabled(c.selected);
        connect(box, &QCheckBox::toggled, this, [this, row](bool on) {
            m_upgrade.setChecked(row, on);
            updateWidgets();
        });
    }
    m_start = makeDialogButton(QStringLiteral("Start"), this);
    m_stop = makeDialogButton(QStringLiteral("Stop"), this);
    m_close = makeDialogButton(QStringLiteral("Close"), this);
    m_start->setToolTip(QStringLiteral("Send the checked firmware to the recorder"));
    m_stop->setToolTip(QStringLiteral("Stop the upgrade after the part being sent"));
    m_close->setToolTip(QStringLiteral("Close the window"));
    m_start->setObjectName(QStringLiteral("control%1").arg(StartId));
    m_stop->setObjectName(QStringLiteral("control%1").arg(StopId));
    m_close->setObjectName(QStringLiteral("control%1").arg(CloseId));
    for (QPushButton* b : {m_start, m_stop, m_close})
        b->setAutoDefault(false);
    connect(m_start, &QPushButton::clicked, this, &FirmwareUpgradeWindow::start);
    connect(m_stop, &QPushButton::clicked, this, &FirmwareUpgradeWindow::stop);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    // Upload thread: only posts the ticket to a plain object of the GUI thread, which hands it
    // to the window there, so that the thread holds no widget. What is still queued for it when
    // the window goes is dropped with it.
    auto receiver = std::make_unique<CallPoster>();
    m_upgrade.setUploadNotice([this, to = receiver.get()](std::uint64_t ticket) {
        to->post([this, ticket] { takeUploadNotice(ticket); });
    });
    m_uploadNotices = std::move(receiver);
    applyTheme(*this);
    updateWidgets();
}

FirmwareUpgradeWindow::~FirmwareUpgradeWindow() {
    // Closing ends the upload; a reply that comes later is dropped by the session.
    m_upgrade.stopUpload();
    m_upgrade.setUploadNotice({});
}

void FirmwareUpgradeWindow::takeUploadNotice(std::uint64_t ticket) {
    if (m_upgrade.takeUploadNotice(ticket))
        updateWidgets();
}

QString FirmwareUpgradeWindow::statusText(UpgradeRowState state, std::int32_t code) {
    switch (state) {
    case UpgradeRowState::Idle:
        return {};
    case UpgradeRowState::Requested:
        return QStringLiteral("Waiting for the recorder");
    case UpgradeRowState::Uploading:
        return QStringLiteral("Sending");
    case UpgradeRowState::Received:
        return QStringLiteral("Received, writing");
    case UpgradeRowState::Done:
        return QStringLiteral("Upgraded");
    case UpgradeRowState::Refused:
        // Three refusals have a text of their own; other codes leave the text as it was.
        if (code == 1)
            return QStringLiteral("Refused by the recorder");
        if (code == 17)
            return QStringLiteral("Refused: not an image for this recorder");
        if (code == 18)
            return QStringLiteral("Refused: the recorder is busy");
        return QStringLiteral("Waiting for the recorder");
    case UpgradeRowState::Failed:
        return QStringLiteral("Failed (%1)").arg(code);
    case UpgradeRowState::Stopped:
        return QStringLiteral("Stopped");
    }
    return {};
}

void FirmwareUpgradeWindow::start() {
    if (m_running || m_upgrade.uploadRunning())
        return;
    m_stoppedByOperator = false;
    next();
}

void FirmwareUpgradeWindow::next() {
    m_running = m_upgrade.requestNext() >= 0;
    updateWidgets();
}

void FirmwareUpgradeWindow::stop() {
    m_upgrade.stopByOperator();
    m_stoppedByOperator = true;
    m_running = false;
    updateWidgets();
}

void FirmwareUpgradeWindow::handleReply(int message, std::uintptr_t) {
    switch (message) {
    case WindowMessage::FirmwareUpdateAck:
        m_upgrade.startUpload();
        break;
    case WindowMessage::FirmwareDataRxDone:
        break;
    case WindowMessage::FirmwareUpdateNack:
    case WindowMessage::FirmwareDataRxFail:
    case WindowMessage::FirmwareUpdateDone:
    case WindowMessage::FirmwareUpdateFail:
        // The row has its result (recorded by the session): on to the next checked row.
        m_upgrade.stopUpload();
        next();
        return;
    default:
        return;
    }
    updateWidgets();
}

void FirmwareUpgradeWindow::reject() {
    if (m_close->isEnabled())
        QDialog::reject();
}

// Every control's state from the upgrade's state.
void FirmwareUpgradeWindow::updateWidgets() {
    const bool uploading = m_upgrade.uploadRunning();
    bool anyChecked = false;
    for (int row = 0; row < static_cast<int>(kUpgradeRows); ++row) {
        const auto r = static_cast<std::size_t>(row);
        const UpgradeCandidate c = m_upgrade.candidate(row);
        // Frozen while a sequence runs; afterwards the rows still offered may be chosen again.
        m_boxes[r]->setEnabled(!m_running && c.selected);
        if (m_boxes[r]->isEnabled() && m_boxes[r]->isChecked())
            anyChecked = true;
        const UpgradeRowState state = m_upgrade.rowState(row);
        const bool refusedSilently = state == UpgradeRowState::Refused &&
                                     m_upgrade.rowCode(row) != 1 && m_upgrade.rowCode(row) != 17 &&
                                     m_upgrade.rowCode(row) != 18;
        if (state == UpgradeRowState::Idle && !c.selected)
            m_status[r]->setText(notOfferedText(m_recorderHas[r])); // why the row is grey
        else if (!refusedSilently)
            m_status[r]->setText(statusText(state, m_upgrade.rowCode(row)));
        m_progress[r]->setValue(m_upgrade.rowProgress(row));
    }
    m_start->setVisible(!m_running);
    m_start->setEnabled(!m_running && anyChecked);
    m_stop->setVisible(m_running);
    m_stop->setEnabled(m_running && !m_stoppedByOperator);
    // Closing is for a window at rest: never while a component is sent or written.
    m_close->setEnabled(!m_running && !uploading);
}

} // namespace kalder
