#pragma once

#include <QString>

#include <functional>

class QLineEdit;
class QWidget;

namespace kalder {

// Asks the operator for a folder, starting at `start`; empty when the operator cancels. The
// windows use QFileDialog::getExistingDirectory unless a test hands in its own.
using FolderPicker = std::function<QString(QWidget* parent, const QString& start)>;

FolderPicker systemFolderPicker();

// Shows `folder` in a read-only edit from its start (the end of a long path is the part that
// gives way) with the whole path as the edit's tool tip.
void showFolder(QLineEdit* edit, const QString& folder);

} // namespace kalder
