#include "setup/pages/recording_page_widget.h"

#include "setup/model/profile_page.h"
#include "setup/pages/rec_page_parts.h"
#include "setup/pages/region_page_widget.h"
#include "setup/setup_window.h"

#include <QLabel>

namespace kalder {

namespace {

const char* const kResolutionNames[] = {"4CIF", "2CIF", "CIF"};
// The general recording settings, named by what each row sets: the first switch lets the
// recorder write over its oldest recordings when the disk is full, the second records sound;
// the first time (0 .. 20 s) is kept from before an event, the second (10 .. 240 s) is recorded
// after it; the three-way choice is the picture quality of the recordings.
const char* const kChoiceNames[] = {"Low quality", "Standard quality", "High quality"};

QString rowCaption(RecordingRow row) {
    switch (row) {
    case RecordingRow::Flag1:
        return QStringLiteral("Overwrite when disk full");
    case RecordingRow::Flag2:
        return QStringLiteral("Audio recording");
    case RecordingRow::Resolution:
        return QStringLiteral("Resolution");
    case RecordingRow::Rate:
        return QStringLiteral("Images per second");
    case RecordingRow::Time1:
        return QStringLiteral("Pre-event recording");
    case RecordingRow::Time2:
        return QStringLiteral("Post-event recording");
    case RecordingRow::Choice1:
        return QStringLiteral("Recording quality");
    case RecordingRow::Channel:
        return QStringLiteral("Recording channel");
    }
    return {};
}

QString resolutionName(unsigned code) {
    return code <= kResCif ? QString::fromLatin1(kResolutionNames[code])
                           : QStringLiteral("(%1)").arg(code);
}

} // namespace

RecordingPageWidget::RecordingPageWidget(SetupWindow& window) : m_window(window) {
    setObjectName(QStringLiteral("recordingPage"));
    resize(403, 417);
    m_main = new QWidget(this);
    m_main->setGeometry(0, 0, 403, 417);
    const RecordingState state = readRecording(window.record(), window.context());
    int y = 12;
    for (RecordingRow row : state.rows) {
        auto* label = new QLabel(rowCaption(row), m_main);
        label->setGeometry(16, y, 150, 28);
        if (row == RecordingRow::Flag1 || row == RecordingRow::Flag2) {
            const unsigned which = row == RecordingRow::Flag1 ? 1 : 2;
            for (bool on : {true, false}) {
                QPushButton* b = makePageButton(
                    on ? tr("On") : tr("Off"), m_main, QRect(on ? 180 : 262, y, 78, 28),
                    QStringLiteral("%1 %2").arg(rowCaption(row), on ? tr("on") : tr("off")));
                b->setObjectName(QStringLiteral("button%1").arg((on ? 549 : 569) + which));
                b->setCheckable(true);
                connect(b, &QPushButton::clicked, this, [this, which, on] {
                    setRecordingFlag(m_window.record(), which, on);
                    refresh();
                });
                m_flags[{which, on}] = b;
            }
            label->setBuddy(m_flags[{which, true}]);
        } else {
            QPushButton* b = makePageButton(QString(), m_main, QRect(180, y, 160, 28));
            b->setObjectName(QStringLiteral("row%1").arg(static_cast<int>(row)));
            label->setBuddy(b);
            connect(b, &QPushButton::clicked, this, [this, row] { rowClicked(row); });
            m_values[row] = b;
        }
        y += 38;
    }
    if (state.regionButton) {
        m_region = makePageButton(tr("Region"), m_main, QRect(16, 417 - 40, 100, 28));
        m_region->setObjectName(QStringLiteral("button482"));
        connect(m_region, &QPushButton::clicked, this, [this] {
            m_window.closeChooser();
            m_main->hide();
            m_sub = new RegionPageWidget(
                m_window,
                [this] {
                    if (m_sub)
                        m_sub->deleteLater();
                    m_sub = nullptr;
                    m_main->show();
                    refresh();
                },
                this);
            m_sub->setGeometry(0, 0, 403, 417);
            m_sub->show();
        });
    }
    refresh();
}

QPushButton* RecordingPageWidget::valueButton(RecordingRow row) const {
    const auto it = m_values.find(row);
    return it == m_values.end() ? nullptr : it->second;
}

QPushButton* RecordingPageWidget::flagButton(unsigned which, bool on) const {
    const auto it = m_flags.find({which, on});
    return it == m_flags.end() ? nullptr : it->second;
}

void RecordingPageWidget::refresh() {
    const RecordingState s = readRecording(m_window.record(), m_window.context());
    for (auto& [row, button] : m_values) {
        QString text;
        switch (row) {
        case RecordingRow::Resolution:
            text = resolutionName(s.resolution);
            break;
        case RecordingRow::Rate:
            text = QStringLiteral("%1 IPS").arg(s.rate);
            break;
        case RecordingRow::Time1:
            text = QStringLiteral("%1 sec").arg(s.time1);
            break;
        case RecordingRow::Time2:
            text = QStringLiteral("%1").arg(s.time2, 2, 10, QLatin1Char('0'));
            break;
        case RecordingRow::Choice1:
            text = s.choice1 < kRecChoice1Count ? tr(kChoiceNames[s.choice1])
                                                : QStringLiteral("(%1)").arg(s.choice1);
            break;
        case RecordingRow::Channel:
            text = QString::fromStdString(recordingChannelLabel(s.channel));
            break;
        default:
            break;
        }
        button->setText(text);
        button->setAccessibleName(rowCaption(row) + QLatin1String(": ") + text);
    }
    for (auto& [key, button] : m_flags)
        button->setChecked((key.first == 1 ? s.flag1 : s.flag2) == key.second);
}

void RecordingPageWidget::rowClicked(RecordingRow row) {
    QPushButton* anchor = m_values[row];
    ConfigRecord& record = m_window.record();
    const SetupContext& context = m_window.context();
    const RecordingState s = readRecording(record, context);
    QStringList entries;
    std::function<void(int)> chosen;
    switch (row) {
    case RecordingRow::Resolution:
        for (unsigned code = 0; code <= kResCif; ++code)
            entries << resolutionName(code);
        chosen = [this](int i) {
            chooseRecordingResolution(m_window.record(), m_window.context(),
                                      static_cast<unsigned>(i));
        };
        break;
    case RecordingRow::Rate:
        for (unsigned r = 0; r <= s.rateMax; ++r)
            entries << QString::number(r);
        chosen = [this](int i) {
            chooseRecordingRate(m_window.record(), m_window.context(), static_cast<unsigned>(i));
        };
        break;
    case RecordingRow::Time1:
        for (unsigned v : kRecTime1Values)
            entries << QStringLiteral("%1 sec").arg(v);
        chosen = [this](int i) {
            chooseRecordingTime1(m_window.record(), static_cast<unsigned>(i));
        };
        break;
    case RecordingRow::Time2:
        m_window.openNumberChooser(
            anchor, static_cast<int>(std::clamp(s.time2, kRecTime2Min, kRecTime2Max)),
            static_cast<int>(kRecTime2Min), static_cast<int>(kRecTime2Max), [this](int v) {
                setRecordingTime2(m_window.record(), static_cast<unsigned>(v));
                refresh();
            });
        return;
    case RecordingRow::Choice1:
        for (const char* name : kChoiceNames)
            entries << tr(name);
        chosen = [this](int i) {
            chooseRecordingChoice1(m_window.record(), static_cast<unsigned>(i));
        };
        break;
    case RecordingRow::Channel:
        for (unsigned ch = 0; ch < s.channels; ++ch)
            entries << QString::fromStdString(recordingChannelLabel(ch));
        chosen = [this](int i) {
            chooseRecordingChannel(m_window.record(), m_window.context(), static_cast<unsigned>(i));
        };
        break;
    default:
        return;
    }
    const bool fourColumns = entries.size() > 8;
    m_window.openListChooser(anchor, entries, fourColumns ? 240 : 160, fourColumns,
                             [this, chosen](int i) {
                                 chosen(i);
                                 refresh();
                             });
}

} // namespace kalder
