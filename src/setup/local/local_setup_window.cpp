#include "setup/local/local_setup_window.h"

#include "setup/local/local_setup_global_page.h"
#include "setup/local/local_setup_keys_page.h"
#include "setup/local/local_setup_slider_page.h"
#include "setup/local/local_setup_texts.h"
#include "setup/local/local_setup_web_page.h"
#include "files/local_log.h"
#include "ui/theme.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace kalder {

LocalSetupWindow::LocalSetupWindow(const LocalSettings& applied, QSettings& store,
                                   bool removableMode, QWidget* parent, FolderPicker picker)
    : QDialog(parent), m_store(store), m_removableMode(removableMode), m_applied(applied),
      m_working(applied), m_keys(loadKeyMap(store)) {
    setWindowTitle(tr("Local setup"));
    setWindowOpacity(applied.opacityOf(OpacityKind::LocalSetup) / 255.0);
    buildWidgets(removableMode, std::move(picker));
    applyTheme(*this);
    showPage(Page::Menu);
}

void LocalSetupWindow::buildWidgets(bool removableMode, FolderPicker picker) {
    using namespace setup_text;
    auto button = [this](const char* name, const QString& caption) {
        QPushButton* b = makeDialogButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(true); // Enter presses the focused button (Tab to Cancel, Enter)
        return b;
    };

    m_pages = new QStackedWidget(this);
    auto* menu = new QWidget(m_pages);
    menu->setObjectName(QStringLiteral("menuPage"));
    auto* menuLayout = new QVBoxLayout(menu);
    const struct {
        const char* name;
        Text caption;
        Page page;
    } entries[] = {{"menuGlobal", kGlobal, Page::Global},
                   {"menuOpacity", kOpacity, Page::Opacity},
                   {"menuAudioBuffer", kAudioBuffer, Page::AudioBuffer},
                   {"menuAutoSave", kAutoSave, Page::AutoSave},
                   {"menuKeys", kKeys, Page::Keys}};
    for (const auto& entry : entries) {
        QPushButton* b = makeDialogButton(text(entry.caption), menu);
        b->setObjectName(QLatin1String(entry.name));
        b->setAutoDefault(true);
        const Page page = entry.page;
        connect(b, &QPushButton::clicked, this, [this, page] { showPage(page); });
        menuLayout->addWidget(b);
    }
    menuLayout->addStretch();

    QStringList opacityRows, audioRows;
    for (const Text& t : kOpacityRows)
        opacityRows << text(t);
    for (const Text& t : kAudioRows)
        audioRows << text(t);

    // Widget order in the stack follows Page.
    m_pages->addWidget(menu);
    auto* global = new LocalSetupGlobalPage(m_working, removableMode, picker, m_pages);
    global->setObjectName(QStringLiteral("globalPage"));
    m_pages->addWidget(global);
    auto* opacity = new LocalSetupSliderPage(opacityRows, m_working.opacity, kOpacitySliderMin,
                                             kOpacitySliderMax, m_pages);
    opacity->setObjectName(QStringLiteral("opacityPage"));
    m_pages->addWidget(opacity);
    auto* audio = new LocalSetupSliderPage(audioRows, m_working.audioBuf, kAudioBufSliderMin,
                                           kAudioBufSliderMax, m_pages);
    audio->setObjectName(QStringLiteral("audioPage"));
    m_pages->addWidget(audio);
    auto* web = new LocalSetupWebPage(m_working, picker, m_pages);
    web->setObjectName(QStringLiteral("webPage"));
    m_pages->addWidget(web);
    auto* keys = new LocalSetupKeysPage(m_keys, m_pages);
    keys->setObjectName(QStringLiteral("keysPage"));
    m_pages->addWidget(keys);

    auto* setButton = button("setButton", tr("Set"));
    auto* okButton = button("okButton", tr("OK"));
    okButton->setDefault(true); // Enter in a field is OK; Escape is Cancel
    auto* closeButton = button("closeButton", tr("Close"));
    auto* cancelButton = button("cancelButton", tr("Cancel"));
    connect(setButton, &QPushButton::clicked, this, [this] { showPage(Page::Menu); });
    connect(okButton, &QPushButton::clicked, this, &LocalSetupWindow::onOk);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(setButton);
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(closeButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);
    resize(440, 380);
}

void LocalSetupWindow::showPage(Page page) {
    m_pages->setCurrentIndex(static_cast<int>(page));
}

LocalSetupWindow::Page LocalSetupWindow::currentPage() const {
    return static_cast<Page>(m_pages->currentIndex());
}

void LocalSetupWindow::onOk() {
    m_outcome = finishLocalSetup(m_applied, m_working, m_removableMode);
    saveSettings(m_store, m_outcome.settings);
    saveKeyMap(m_store, m_keys);
    if (!m_removableMode) {
        ensureDataSubfolder(m_outcome.settings.location, QStringLiteral("Upgrade"));
        // The operation log lives in the data folder: follow a new one before logging there.
        LocalLogSettings logSettings = localLogSettings();
        const std::filesystem::path dataFolder(
            QFile::encodeName(m_outcome.settings.location).toStdString());
        if (logSettings.dataFolder != dataFolder) {
            logSettings.dataFolder = dataFolder;
            configureLocalLog(logSettings);
        }
        localLog(kLogKindSetupImage, kLogEventSetupSaved);
    }
    accept();
}

} // namespace kalder
