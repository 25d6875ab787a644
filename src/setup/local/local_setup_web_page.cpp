#include "setup/local/local_setup_web_page.h"

#include "setup/local/folder_picker.h"
#include "setup/local/local_settings.h"
#include "setup/local/local_setup_rules.h"
#include "setup/local/local_setup_texts.h"
#include "ui/theme.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>

namespace kalder {

LocalSetupWebPage::LocalSetupWebPage(LocalSettings& working, FolderPicker picker, QWidget* parent)
    : QWidget(parent), m_working(working), m_picker(std::move(picker)) {
    using namespace setup_text;
    auto* activate = new QComboBox(this);
    activate->setObjectName(QStringLiteral("webActivate"));
    activate->addItems({text(kWebOff), text(kWebOn)});
    {
        const QSignalBlocker block(activate);
        activate->setCurrentIndex(working.webActivate <= 1 ? int(working.webActivate) : -1);
    }
    connect(activate, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_working.webActivate = std::uint32_t(index);
    });

    auto* interval = new QComboBox(this);
    interval->setObjectName(QStringLiteral("webInterval"));
    for (int n = kWebIntervalMin; n <= kWebIntervalMax; ++n)
        interval->addItem(QString::number(n));
    {
        // A stored value outside the list shows as 1, the value the export uses; it is kept
        // until the operator picks one.
        const QSignalBlocker block(interval);
        interval->setCurrentIndex(int(working.effectiveWebInterval()) - kWebIntervalMin);
    }
    connect(interval, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_working.webInterval = std::uint32_t(index + kWebIntervalMin);
    });

    m_webLocation = new QLineEdit(working.webLocation, this);
    m_webLocation->setObjectName(QStringLiteral("webLocation"));
    m_webLocation->setReadOnly(true);
    showFolder(m_webLocation, working.webLocation);
    QPushButton* browseButton = makeDialogButton(QStringLiteral("..."), this);
    browseButton->setObjectName(QStringLiteral("webLocationBrowse"));
    browseButton->setAccessibleName(tr("Choose the web export folder"));
    browseButton->setToolTip(tr("Choose the folder the web export writes its pictures to"));
    connect(browseButton, &QPushButton::clicked, this, &LocalSetupWebPage::browse);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_webLocation, 1);
    folderRow->addWidget(browseButton);

    const QString jpg = QStringLiteral(" (JPG)");
    const QString web = QStringLiteral(" (WEB)");
    auto* form = new QFormLayout(this);
    form->addRow(text(kWebExport), activate);
    form->addRow(text(kWidth) + jpg, makeSizeEdit("webWidthJpg", m_working.webWidthJpg));
    form->addRow(text(kHeight) + jpg, makeSizeEdit("webHeightJpg", m_working.webHeightJpg));
    form->addRow(text(kWidth) + web, makeSizeEdit("webWidthWeb", m_working.webWidthWeb));
    form->addRow(text(kHeight) + web, makeSizeEdit("webHeightWeb", m_working.webHeightWeb));
    form->addRow(text(kInterval), interval);
    form->addRow(text(kWebFolder), folderRow);
    m_webLocation->setAccessibleName(text(kWebFolder));
}

QLineEdit* LocalSetupWebPage::makeSizeEdit(const char* name, std::uint32_t& value) {
    auto* edit = new QLineEdit(QString::number(value), this);
    edit->setObjectName(QLatin1String(name));
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,4}")), edit));
    // A size of 0 (an empty edit) is never taken: the value stays at the last valid one.
    connect(edit, &QLineEdit::textChanged, this, [&value](const QString& text) {
        bool ok = false;
        const uint n = text.toUInt(&ok);
        if (ok && n > 0)
            value = n;
    });
    return edit;
}

void LocalSetupWebPage::browse() {
    if (!m_picker)
        return;
    const QString folder = m_picker(this, m_working.webLocation);
    if (folder.isEmpty())
        return; // cancelled
    m_working.webLocation = folder.left(kMaxFolderLength);
    showFolder(m_webLocation, m_working.webLocation);
}

} // namespace kalder
