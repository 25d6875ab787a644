#pragma once

#include "session/firmware_upgrade.h"
#include "wire/hello_record.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <memory>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace kalder {

// The upgrade window: one row per component (check box, name, build date, progress, status),
// Start, Stop and Close. It drives the session's FirmwareUpgrade: Start requests the first
// checked row, the recorder's replies (forwarded by the main window) start the upload or move
// on to the next checked row. The upload thread's progress and end come as notices posted to a
// plain receiver object of the window, which then reads the upgrade's state. Shown modally by
// the main window; GUI thread only.
class FirmwareUpgradeWindow : public QDialog {
    Q_OBJECT
public:
    // Control ids of the window's template, also the controls' object names ("control<id>").
    enum : int { FirstBox = 490, FirstName = 790, FirstDate = 796, FirstStatus = 802 };
    enum : int { StartId = 910, StopId = 911, CloseId = 912 };

    // `hello` is the recorder's greeting, its firmware table in the client's slots: it names
    // the rows.
    FirmwareUpgradeWindow(FirmwareUpgrade& upgrade, const HelloRecord& hello,
                          QWidget* parent = nullptr);
    ~FirmwareUpgradeWindow() override;

    // The recorder's replies 21034-21039 (wParam = the code of a negative one).
    void handleReply(int message, std::uintptr_t wParam);
    int upgradedCount() const { return m_upgrade.upgradedCount(); }
    bool sequenceRunning() const { return m_running; }

    // The text of a row's state, as the status column shows it.
    static QString statusText(UpgradeRowState state, std::int32_t code);
    // A row's caption: the name of its component slot in the recorder's firmware table, or the
    // slot's number when the recorder has no component there.
    static QString rowCaption(const HelloRecord& hello, int row);
    // Why a row is not offered (grey): no newer file, or no such component on the recorder.
    static QString notOfferedText(bool recorderHasComponent);

    void reject() override; // Escape and the title bar's close act as Close, when it is enabled

private:
    void start();
    void stop();
    void next();
    void takeUploadNotice(std::uint64_t ticket);
    void updateWidgets();

    FirmwareUpgrade& m_upgrade;
    std::array<QCheckBox*, kUpgradeRows> m_boxes{};
    std::array<QLabel*, kUpgradeRows> m_dates{};
    std::array<QProgressBar*, kUpgradeRows> m_progress{};
    std::array<QLabel*, kUpgradeRows> m_status{};
    std::array<bool, kUpgradeRows> m_recorderHas{}; // the recorder named the row's slot
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_close = nullptr;
    bool m_running = false; // a row is requested, uploading or waiting for its result
    bool m_stoppedByOperator = false;
    // The only object the upload thread posts to (never the window itself).
    std::unique_ptr<QObject> m_uploadNotices;
};

} // namespace kalder
