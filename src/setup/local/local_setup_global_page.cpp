#include "setup/local/local_setup_global_page.h"

#include "setup/local/folder_picker.h"
#include "setup/local/local_settings.h"
#include "setup/local/local_setup_rules.h"
#include "setup/local/local_setup_texts.h"
#include "ui/theme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace kalder {

namespace {

// A drop-down list showing `value`; nothing is selected for a stored value the list does not
// hold, and the value is then kept until the operator picks another.
QComboBox* makeChoice(QWidget* parent, const char* name, const QStringList& entries,
                      std::uint32_t value) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    combo->addItems(entries);
    const QSignalBlocker block(combo);
    combo->setCurrentIndex(value < std::uint32_t(entries.size()) ? int(value) : -1);
    return combo;
}

} // namespace

LocalSetupGlobalPage::LocalSetupGlobalPage(LocalSettings& working, bool removableMode,
                                           FolderPicker picker, QWidget* parent)
    : QWidget(parent), m_working(working), m_picker(std::move(picker)) {
    using namespace setup_text;
    m_drawMode = makeChoice(this, "drawMode", {QStringLiteral("YUV"), QStringLiteral("RGB")},
                            working.drawMode);
    QStringList dateNames;
    for (const Text& t : kDateNames)
        dateNames << text(t);
    m_dateFormat = makeChoice(this, "dateFormat", dateNames, working.dateFormat);
    m_saveFormat = makeChoice(
        this, "saveFormat", {QStringLiteral("JPEG"), QStringLiteral("BMP"), QStringLiteral("TIF")},
        working.saveFormat);

    auto* form = new QFormLayout(this);
    form->addRow(text(kDrawMode), m_drawMode);
    form->addRow(text(kDateFormat), m_dateFormat);
    form->addRow(text(kSaveFormat), m_saveFormat);

    connect(m_drawMode, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_working.drawMode = std::uint32_t(index);
    });
    connect(m_dateFormat, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_working.dateFormat = std::uint32_t(index);
    });
    connect(m_saveFormat, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_working.saveFormat = std::uint32_t(index);
    });

    // This client's own behaviour, each a switch of the local settings.
    const auto addSwitch = [this, form](const char* name, const QString& label, const QString& tip,
                                        std::uint32_t LocalSettings::*value) {
        auto* box = new QCheckBox(label, this);
        box->setObjectName(QLatin1String(name));
        box->setToolTip(tip);
        box->setChecked(m_working.*value != 0);
        form->addRow(QString(), box);
        connect(box, &QCheckBox::toggled, this,
                [this, value](bool on) { m_working.*value = on ? 1 : 0; });
    };
    addSwitch("reconnect", tr("Get a lost connection back by itself"),
              tr("After a lost connection, connect again with growing pauses and restore the "
                 "layout, live view and sound"),
              &LocalSettings::reconnect);
    addSwitch("fasterSmallCells", tr("Faster decoding in small cells"),
              tr("Cells smaller than half their picture skip the deblocking filter, which "
                 "cannot be seen at that size; snapshots are always decoded fully"),
              &LocalSettings::fasterSmallCells);
    addSwitch("exportKeepSet", tr("Keep the backup set after export"),
              tr("A Backup tab export to MP4 or MKV keeps the downloaded set beside the files"),
              &LocalSettings::exportKeepSet);

    // Running from removable media the data folder is the medium's and cannot be changed.
    if (removableMode)
        return;
    m_dataFolder = new QLineEdit(working.location, this);
    m_dataFolder->setObjectName(QStringLiteral("dataFolder"));
    m_dataFolder->setReadOnly(true);
    m_dataFolder->setAccessibleName(text(kDataFolder));
    showFolder(m_dataFolder, working.location);
    QPushButton* browseButton = makeDialogButton(QStringLiteral("..."), this);
    browseButton->setObjectName(QStringLiteral("dataFolderBrowse"));
    browseButton->setAccessibleName(tr("Choose the data folder"));
    browseButton->setToolTip(tr("Choose the folder that keeps snapshots, downloads, logs and "
                                "firmware"));
    auto* row = new QHBoxLayout;
    row->addWidget(m_dataFolder, 1);
    row->addWidget(browseButton);
    form->addRow(text(kDataFolder), row);
    connect(browseButton, &QPushButton::clicked, this, &LocalSetupGlobalPage::browse);
}

void LocalSetupGlobalPage::browse() {
    if (!m_picker)
        return;
    const QString folder = m_picker(this, m_working.location);
    if (folder.isEmpty())
        return; // cancelled
    m_working.location = folder.left(kMaxFolderLength);
    showFolder(m_dataFolder, m_working.location);
}

} // namespace kalder
