#include "connect/connect_history_window.h"

#include "connect/connect_dialog_rules.h"
#include "ui/theme.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kalder {

ConnectHistoryWindow::ConnectHistoryWindow(std::filesystem::path historyFile, std::uint8_t opacity,
                                           QWidget* parent)
    : QDialog(parent), m_history(std::move(historyFile)) {
    setWindowTitle(tr("Connection history"));
    setWindowOpacity(opacity / 255.0);
    buildWidgets();
    applyTheme(*this);
    reload(-1);
}

void ConnectHistoryWindow::buildWidgets() {
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("historyList"));
    m_list->setAccessibleName(tr("Recorders connected to before"));
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({tr("Address"), tr("Port"), tr("Site")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(true);
    m_list->setColumnWidth(0, 160);
    m_list->setColumnWidth(1, 60);

    auto button = [this](const char* name, const QString& caption) {
        QPushButton* b = makeDialogButton(caption, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    m_deleteButton = button("deleteButton", tr("Delete"));
    m_editButton = button("editButton", tr("Edit"));
    m_saveButton = button("saveButton", tr("Save"));
    m_okButton = button("okButton", tr("OK"));
    m_cancelButton = button("cancelButton", tr("Cancel"));
    m_siteEdit = new QLineEdit(this);
    m_siteEdit->setObjectName(QStringLiteral("siteEdit"));
    m_siteEdit->setMaxLength(kConnectTextLength);
    m_siteEdit->setToolTip(tr("Edit opens the chosen recorder's site name here; Save keeps it"));
    auto* siteLabel = new QLabel(tr("Site name"), this);
    siteLabel->setBuddy(m_siteEdit);
    m_siteEdit->setAccessibleName(siteLabel->text());

    auto* editRow = new QHBoxLayout;
    editRow->addWidget(m_deleteButton);
    editRow->addWidget(siteLabel);
    editRow->addWidget(m_siteEdit, 1);
    editRow->addWidget(m_editButton);
    editRow->addWidget(m_saveButton);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(editRow);
    layout->addLayout(buttons);
    resize(480, 320);

    connect(m_list, &QTreeWidget::itemSelectionChanged, this,
            &ConnectHistoryWindow::onSelectionChanged);
    connect(m_deleteButton, &QPushButton::clicked, this, &ConnectHistoryWindow::onDelete);
    connect(m_editButton, &QPushButton::clicked, this, &ConnectHistoryWindow::onEdit);
    connect(m_saveButton, &QPushButton::clicked, this, &ConnectHistoryWindow::onSave);
    connect(m_okButton, &QPushButton::clicked, this, &ConnectHistoryWindow::onOk);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void ConnectHistoryWindow::reload(int row) {
    m_reloading = true;
    m_rows = m_history.newestFirst();
    m_list->clear();
    for (const ConnectEntry& e : m_rows) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromUtf8(e.address));
        item->setText(1, QString::number(e.port));
        item->setText(2, QString::fromUtf8(e.siteText));
    }
    if (row >= 0 && row < m_list->topLevelItemCount())
        m_list->setCurrentItem(m_list->topLevelItem(row));
    m_reloading = false;
    onSelectionChanged();
}

int ConnectHistoryWindow::selectedRow() const {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->indexOfTopLevelItem(selected.first());
}

std::optional<std::size_t> ConnectHistoryWindow::fileIndexOf(const ConnectEntry& entry) const {
    const std::vector<ConnectEntry> inFile = m_history.entries();
    for (std::size_t k = 0; k < inFile.size(); ++k) {
        if (inFile[k].address == entry.address && inFile[k].port == entry.port)
            return k;
    }
    return std::nullopt;
}

void ConnectHistoryWindow::updateWidgets() {
    const bool selected = selectedRow() >= 0;
    m_deleteButton->setEnabled(selected);
    m_okButton->setEnabled(selected);
    m_editButton->setEnabled(selected);
    m_editButton->setVisible(!m_editing);
    m_saveButton->setVisible(m_editing);
    m_saveButton->setEnabled(m_editing && selected);
    m_siteEdit->setEnabled(m_editing);
}

void ConnectHistoryWindow::onSelectionChanged() {
    if (m_reloading)
        return;
    // A new selection cancels an edit in progress.
    if (m_editing) {
        m_editing = false;
        m_siteEdit->clear();
    }
    updateWidgets();
}

void ConnectHistoryWindow::onDelete() {
    const int row = selectedRow();
    if (row < 0)
        return;
    if (const auto index = fileIndexOf(m_rows[std::size_t(row)]))
        m_history.remove(*index);
    m_editing = false;
    m_siteEdit->clear();
    const std::size_t remaining = m_history.newestFirst().size();
    reload(rowAfterDelete(row, int(remaining)));
}

void ConnectHistoryWindow::onEdit() {
    const int row = selectedRow();
    if (row < 0)
        return;
    m_editing = true;
    m_siteEdit->setText(QString::fromUtf8(m_rows[std::size_t(row)].siteText));
    updateWidgets();
    m_siteEdit->setFocus();
}

void ConnectHistoryWindow::onSave() {
    const int row = selectedRow();
    if (row < 0 || !m_editing)
        return;
    if (const auto index = fileIndexOf(m_rows[std::size_t(row)]))
        m_history.setSiteText(*index, m_siteEdit->text().toUtf8().toStdString());
    m_editing = false;
    m_siteEdit->clear();
    // The row shows what the file now holds; the order by last use is unchanged.
    reload(row);
}

void ConnectHistoryWindow::onOk() {
    const int row = selectedRow();
    if (row < 0)
        return;
    m_chosen = m_rows[std::size_t(row)];
    accept();
}

} // namespace kalder
