#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace kalder {

// Asks the operator for a folder, starting at `start`; empty when the operator cancels. The
// windows use QFileDialog::getExistingDirectory unless a test hands in its own.
using FolderPicker = std::function<QString(QWidget* parent, const QString& start)>;

FolderPicker systemFolderPicker();

} // namespace kalder
