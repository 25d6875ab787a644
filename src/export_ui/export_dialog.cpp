#include "export_ui/export_dialog.h"

#include "ui/theme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeZone>
#include <QVBoxLayout>

namespace kalder {

namespace {

// The recorder's times carry no zone: they are shown and entered as UTC fields.
QDateTime exportDialogTime(std::uint32_t time) {
    return QDateTime::fromSecsSinceEpoch(time, QTimeZone::utc());
}

std::uint32_t exportDialogSeconds(const QDateTimeEdit* edit) {
    const qint64 s = edit->dateTime().toSecsSinceEpoch();
    return s < 0 ? 0 : static_cast<std::uint32_t>(std::min<qint64>(s, 0xFFFFFFFF));
}

QDateTimeEdit* makeExportTimeEdit(std::uint32_t time, const QString& name, QWidget* parent) {
    auto* edit = new QDateTimeEdit(exportDialogTime(time), parent);
    edit->setTimeSpec(Qt::UTC);
    edit->setDateTime(exportDialogTime(time));
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    edit->setAccessibleName(name);
    // The field inside the spin box is what a screen reader lands on: it carries the name too.
    if (auto* field = edit->findChild<QLineEdit*>())
        field->setAccessibleName(name);
    return edit;
}

} // namespace

ExportDialog::ExportDialog(const ExportChoice& initial, std::uint16_t recorded, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ExportDialog"));
    setWindowTitle(QStringLiteral("Export to a video file"));
    setAccessibleName(windowTitle());
    setMinimumWidth(600);

    m_format = new QComboBox(this);
    m_format->addItem(QStringLiteral("MP4"));
    m_format->addItem(QStringLiteral("MKV"));
    m_format->setCurrentIndex(initial.format == ExportFormat::Mkv ? 1 : 0);
    m_format->setAccessibleName(QStringLiteral("Format"));
    m_format->setToolTip(QStringLiteral("MP4 plays nearly everywhere; MKV keeps the original "
                                        "sound"));

    m_from = makeExportTimeEdit(initial.from, QStringLiteral("From"), this);
    m_to = makeExportTimeEdit(initial.to, QStringLiteral("To"), this);

    auto* channelGrid = new QGridLayout;
    for (unsigned c = 1; c <= 16; ++c) {
        auto* box = new QCheckBox(QStringLiteral("Channel %1").arg(c), this);
        box->setAccessibleName(box->text());
        const bool has = recorded & (1u << (c - 1));
        box->setEnabled(has);
        box->setChecked(has && (initial.channelMask & (1u << (c - 1))));
        if (!has)
            box->setToolTip(QStringLiteral("No recording of this channel in the sets"));
        connect(box, &QCheckBox::toggled, this, &ExportDialog::updateWidgets);
        channelGrid->addWidget(box, static_cast<int>((c - 1) / 4), static_cast<int>((c - 1) % 4));
        m_channels[c - 1] = box;
    }

    m_folder = new QLineEdit(QDir::toNativeSeparators(QFile::decodeName(
                                 QByteArray::fromStdString(initial.outFolder.string()))),
                             this);
    m_folder->setAccessibleName(QStringLiteral("Out folder"));
    m_browse = new QPushButton(QStringLiteral("Browse…"), this);
    m_browse->setAccessibleName(QStringLiteral("Choose the out folder"));
    m_browse->setAutoDefault(false);
    connect(m_browse, &QPushButton::clicked, this, &ExportDialog::chooseFolder);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(m_browse);

    m_burnIn = new QCheckBox(QStringLiteral("Burn in time and title"), this);
    m_burnIn->setAccessibleName(m_burnIn->text());
    m_burnIn->setChecked(initial.burnIn);
    m_burnIn->setToolTip(QStringLiteral("Draws the recorder time and the channel title into the "
                                        "pictures; the video is encoded again, which is slower"));

    auto* form = new QFormLayout;
    auto addRow = [form, this](const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    addRow(QStringLiteral("&Format"), m_format);
    addRow(QStringLiteral("F&rom"), m_from);
    addRow(QStringLiteral("&To"), m_to);
    auto* channelsCaption = new QLabel(QStringLiteral("Channels"), this);
    form->addRow(channelsCaption, channelGrid);
    auto* folderCaption = new QLabel(QStringLiteral("&Out folder"), this);
    folderCaption->setBuddy(m_folder);
    form->addRow(folderCaption, folderRow);
    form->addRow(QString(), m_burnIn);

    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("exportHint"));
    m_hint->setWordWrap(true);

    m_export = makeDialogButton(QStringLiteral("Export"), this);
    m_export->setAccessibleName(QStringLiteral("Export"));
    m_export->setDefault(true);
    m_cancel = makeDialogButton(QStringLiteral("Cancel"), this);
    m_cancel->setAccessibleName(QStringLiteral("Cancel"));
    m_cancel->setAutoDefault(false);
    connect(m_export, &QPushButton::clicked, this, [this] {
        if (refusal().isEmpty())
            accept();
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_hint, 1);
    buttons->addWidget(m_export);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(m_from, &QDateTimeEdit::dateTimeChanged, this, &ExportDialog::updateWidgets);
    connect(m_to, &QDateTimeEdit::dateTimeChanged, this, &ExportDialog::updateWidgets);
    connect(m_folder, &QLineEdit::textChanged, this, &ExportDialog::updateWidgets);
    applyTheme(*this);
    updateWidgets();
}

QString ExportDialog::refusal() const {
    const ExportChoice c = choice();
    if (c.channelMask == 0)
        return QStringLiteral("Choose at least one channel");
    if (c.from > c.to)
        return QStringLiteral("The period ends before it starts");
    if (c.outFolder.empty())
        return QStringLiteral("Choose the folder the files go to");
    return {};
}

void ExportDialog::updateWidgets() {
    const QString why = refusal();
    m_export->setEnabled(why.isEmpty());
    m_hint->setText(why);
}

void ExportDialog::chooseFolder() {
    QFileDialog dialog(this, QStringLiteral("Folder for the exported files"), m_folder->text());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    applyFileDialogTheme(dialog);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        m_folder->setText(QDir::toNativeSeparators(dialog.selectedFiles().front()));
}

ExportChoice ExportDialog::choice() const {
    ExportChoice c;
    c.format = m_format->currentIndex() == 1 ? ExportFormat::Mkv : ExportFormat::Mp4;
    c.from = exportDialogSeconds(m_from);
    c.to = exportDialogSeconds(m_to);
    for (unsigned i = 0; i < 16; ++i)
        if (m_channels[i]->isEnabled() && m_channels[i]->isChecked())
            c.channelMask = static_cast<std::uint16_t>(c.channelMask | (1u << i));
    const QString folder = QDir::fromNativeSeparators(m_folder->text().trimmed());
    if (!folder.isEmpty())
        c.outFolder = std::filesystem::path(QFile::encodeName(folder).toStdString());
    c.burnIn = m_burnIn->isChecked();
    return c;
}

} // namespace kalder
