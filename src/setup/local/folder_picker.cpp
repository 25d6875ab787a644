#include "setup/local/folder_picker.h"

#include "ui/theme.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>

namespace kalder {

FolderPicker systemFolderPicker() {
    return [](QWidget* parent, const QString& start) {
        // Qt's own dialog, in the client's look, rather than the desktop's.
        QFileDialog dialog(parent, QObject::tr("Choose a folder"),
                           start.isEmpty() ? QDir::homePath() : start);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        applyFileDialogTheme(dialog);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
    };
}

void showFolder(QLineEdit* edit, const QString& folder) {
    edit->setText(folder);
    edit->setCursorPosition(0);
    edit->setToolTip(folder);
}

} // namespace kalder
