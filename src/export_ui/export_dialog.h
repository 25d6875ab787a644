#pragma once

#include "export/export_request.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <filesystem>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kalder {

// What the operator chose in the export dialog.
struct ExportChoice {
    ExportFormat format = ExportFormat::Mp4;
    std::uint32_t from = 0, to = 0; // RecorderTime, both included
    std::uint16_t channelMask = 0;  // bit n: channel n + 1
    std::filesystem::path outFolder;
    bool burnIn = false;
};

// The export dialog of the local search window: the format (MP4, MKV), the period, the
// channels (those recorded in the sets offered, the ones of the chosen period checked), the
// out folder with a folder chooser, and whether the time and title are drawn into the pictures.
// Export (Enter) accepts, Cancel (Escape) rejects. One updateWidgets() derives every control's
// state. GUI thread only.
class ExportDialog : public QDialog {
    Q_OBJECT
public:
    // `recorded`: the channels the sets hold (the others cannot be chosen); the initial choice's
    // channels among them are checked.
    ExportDialog(const ExportChoice& initial, std::uint16_t recorded, QWidget* parent);

    ExportChoice choice() const;
    // Why Export is not offered now; empty when it is.
    QString refusal() const;

    QComboBox* formatBox() const { return m_format; }
    QCheckBox* channelBox(unsigned channel) const { return m_channels[channel - 1]; }
    QLineEdit* folderEdit() const { return m_folder; }
    QCheckBox* burnInBox() const { return m_burnIn; }
    QPushButton* exportButton() const { return m_export; }

private:
    void updateWidgets();
    void chooseFolder();

    QComboBox* m_format = nullptr;
    QDateTimeEdit* m_from = nullptr;
    QDateTimeEdit* m_to = nullptr;
    std::array<QCheckBox*, 16> m_channels{};
    QLineEdit* m_folder = nullptr;
    QPushButton* m_browse = nullptr;
    QCheckBox* m_burnIn = nullptr;
    QLabel* m_hint = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace kalder
