#include "setup/local/folder_picker.h"

#include <QDir>
#include <QFileDialog>

namespace kalder {

FolderPicker systemFolderPicker() {
    return [](QWidget* parent, const QString& start) {
        const QString folder = QFileDialog::getExistingDirectory(
            parent, QString(), start.isEmpty() ? QDir::rootPath() : start);
        return QDir::toNativeSeparators(folder);
    };
}

} // namespace kalder
