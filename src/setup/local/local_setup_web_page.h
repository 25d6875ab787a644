#pragma once

#include "setup/local/folder_picker.h"

#include <QWidget>

#include <cstdint>

class QComboBox;
class QLineEdit;

namespace kalder {

struct LocalSettings;

// The Auto Save page: web export on or off, the exported and announced picture sizes, the
// interval and the export folder. GUI thread only.
class LocalSetupWebPage : public QWidget {
    Q_OBJECT
public:
    // `working` is the window's working copy; it must outlive the page.
    LocalSetupWebPage(LocalSettings& working, FolderPicker picker, QWidget* parent = nullptr);

private:
    // An edit for a size; the working value follows every valid number typed.
    QLineEdit* makeSizeEdit(const char* name, std::uint32_t& value);
    void browse();

    LocalSettings& m_working;
    FolderPicker m_picker;
    QLineEdit* m_webLocation = nullptr;
};

} // namespace kalder
