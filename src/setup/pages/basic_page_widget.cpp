#include "setup/pages/basic_page_widget.h"

#include "setup/model/setup_context.h"
#include "setup/pages/channel_switch_page_widget.h"
#include "setup/setup_choosers.h"
#include "setup/setup_window.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalder {

namespace {

QStringList dateFormats() {
    return {QStringLiteral("YYYY/MM/DD"), QStringLiteral("MM/DD/YYYY"),
            QStringLiteral("DD/MM/YYYY")};
}

QStringList option3Entries() {
    QStringList entries;
    for (unsigned i = 0; i < kBasicOption3ListEntries; ++i)
        entries << QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
    return entries;
}

} // namespace

BasicPageWidget::BasicPageWidget(SetupWindow& window)
    : m_window(window),
      // The list chooser holds 31 entries: a recorder with more languages offers its first 31.
      m_languages(recorderLanguages(window.context(), ListChooser::kMaxEntries)) {
    setObjectName(QStringLiteral("basicPage"));
    m_column = new QVBoxLayout(this);
    m_main = new QWidget(this);
    m_column->addWidget(m_main);
    auto* grid = new QGridLayout(m_main);
    // The fourth row's wording is not known: it holds a two-digit number (00 .. 99 or 00 .. 15).
    const char* captions[] = {"Language", "Date format", "Video standard", "Recorder ID"};
    for (int r = 0; r < 4; ++r) {
        m_rows[static_cast<std::size_t>(r)] = addValueRow(
            grid, r, QString::fromLatin1(captions[r]), QStringLiteral("basicRow%1").arg(r), m_main);
        connect(m_rows[static_cast<std::size_t>(r)].button, &QPushButton::clicked, this,
                [this, r] { openRow(r); });
    }
    m_initialize = pageButton(tr("Initialize"), QStringLiteral("initialize"), m_main);
    connect(m_initialize, &QPushButton::clicked, this, [this] {
        if (m_window.services().confirmFactoryReset)
            m_window.services().confirmFactoryReset();
    });
    m_deinterlace = pageButton(tr("Deinterlace"), QStringLiteral("deinterlace"), m_main);
    connect(m_deinterlace, &QPushButton::clicked, this, [this] { openDeinterlace(); });
    grid->addWidget(m_initialize, 4, 0);
    grid->addWidget(m_deinterlace, 4, 1);
    grid->setRowStretch(5, 1);
    refresh();
}

ChannelSwitchPageWidget* BasicPageWidget::deinterlacePage() const {
    return dynamic_cast<ChannelSwitchPageWidget*>(m_sub.data());
}

void BasicPageWidget::refresh() {
    const BasicState state = readBasic(m_window.record(), m_window.context());
    QString language = QString::number(state.language);
    for (const LanguageEntry& e : m_languages)
        if (e.tableIndex == state.language)
            language = QString::fromLatin1(e.name.c_str());
    m_rows[0].button->setText(language);
    const QStringList formats = dateFormats();
    m_rows[1].button->setText(state.dateFormat < 3u ? formats[int(state.dateFormat)]
                                                    : QString::number(state.dateFormat));
    m_rows[2].button->setText(state.pal ? QStringLiteral("PAL") : QStringLiteral("NTSC"));
    m_rows[3].button->setText(QStringLiteral("%1").arg(state.option3, 2, 10, QLatin1Char('0')));
}

void BasicPageWidget::openRow(int row) {
    QPushButton* anchor = m_rows[static_cast<std::size_t>(row)].button;
    const auto done = [this] { refresh(); };
    switch (row) {
    case 0: {
        QStringList names;
        for (const LanguageEntry& e : m_languages)
            names << QString::fromLatin1(e.name.c_str());
        m_window.openListChooser(anchor, names, 160, false, [this, done](int i) {
            if (i >= 0 && std::size_t(i) < m_languages.size())
                setLanguage(m_window.record(), m_languages[std::size_t(i)].tableIndex);
            done();
        });
        return;
    }
    case 1:
        m_window.openListChooser(anchor, dateFormats(), 160, false, [this, done](int i) {
            setDateFormat(m_window.record(), static_cast<unsigned>(i));
            done();
        });
        return;
    case 2:
        m_window.openListChooser(anchor, {QStringLiteral("NTSC"), QStringLiteral("PAL")}, 160,
                                 false, [this, done](int i) {
                                     chooseVideoStandard(m_window.record(), m_window.context(),
                                                         static_cast<unsigned>(i));
                                     done();
                                 });
        return;
    default:
        break;
    }
    const BasicState state = readBasic(m_window.record(), m_window.context());
    const auto chosen = [this, done](int v) {
        setBasicOption3(m_window.record(), m_window.context(), static_cast<unsigned>(v));
        done();
    };
    if (state.option3IsNumber)
        m_window.openNumberChooser(anchor, int(std::min(state.option3, kBasicOption3Max)), 0,
                                   int(kBasicOption3Max), chosen);
    else
        m_window.openListChooser(anchor, option3Entries(), 200, true, chosen);
}

void BasicPageWidget::openDeinterlace() {
    m_window.closeChooser();
    auto* page = new ChannelSwitchPageWidget(
        m_window, QStringLiteral("deinterlacePage"), tr("Deinterlace"),
        {{tr("On"), 1}, {tr("Off"), 0}},
        [this](unsigned ch) { return m_window.record().value(configField("deinterlace"), ch); },
        [this](const ChannelSelection& s, unsigned ch, std::uint32_t v) {
            writeSelected(m_window.record(), configField("deinterlace"), 0, s, ch, v);
        },
        this, [this] { closeDeinterlace(); });
    m_main->hide();
    m_column->addWidget(page);
    page->show();
    m_sub = page;
}

void BasicPageWidget::closeDeinterlace() {
    if (m_sub) {
        m_sub->hide();
        m_sub->setObjectName(QString());
        m_sub->deleteLater();
    }
    m_sub = nullptr;
    m_main->show();
    refresh();
}

} // namespace kalder
