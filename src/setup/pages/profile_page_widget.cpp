#include "setup/pages/profile_page_widget.h"

#include "setup/model/assignment_page.h"
#include "setup/model/link_page.h"
#include "setup/model/schedule_page.h"
#include "setup/pages/link_page_widget.h"
#include "setup/pages/motion_area_page_widget.h"
#include "setup/pages/rec_page_parts.h"
#include "setup/pages/schedule_page_widget.h"
#include "setup/setup_window.h"
#include "ui/theme.h"

#include <QCheckBox>
#include <QLabel>
#include <QSlider>

#include <algorithm>

namespace kalder {

namespace {

constexpr int kPageWidth = 403;
constexpr int kPageHeight = 417;
constexpr int kRowsTop = 34;
constexpr int kRowsBottom = 348; // below the rows: the budget line of the Rate view
constexpr int kControlsX = 72;

const char* const kResolutionNames[] = {"4CIF", "2CIF", "CIF"};
// Sensitivity levels by stored value: 0 reacts to the least motion.
const char* const kLevelNames[] = {"High", "Middle", "Low"};
const char* const kRateUnit = "IPS";
const char* const kDaysUnit = "Days";

QString viewCaption(ProfileView view) {
    switch (view) {
    case ProfileView::Resolution:
        return QStringLiteral("Resolution");
    case ProfileView::Rate:
        return QStringLiteral("Rate");
    case ProfileView::Audio:
        return QStringLiteral("Audio");
    case ProfileView::Sensitivity:
        return QStringLiteral("Sensitivity");
    // The archive's views: which channels it keeps, which of those it locks against deletion
    // (only a kept channel can be locked), and for how many days.
    case ProfileView::FirstOnOff:
        return QStringLiteral("Archive");
    case ProfileView::SecondOnOff:
        return QStringLiteral("Lock");
    case ProfileView::Days:
        return QStringLiteral("Days kept");
    }
    return {};
}

std::vector<ProfileView> viewsOf(RecProfile profile) {
    using V = ProfileView;
    switch (profile) {
    case RecProfile::C:
    case RecProfile::E:
        return {V::Resolution, V::Rate, V::Audio, V::Sensitivity};
    case RecProfile::F:
        return {V::Resolution, V::FirstOnOff, V::SecondOnOff, V::Days};
    default:
        return {V::Resolution, V::Rate, V::Audio};
    }
}

QString resolutionName(unsigned code) {
    return code <= kResCif ? QString::fromLatin1(kResolutionNames[code])
                           : QStringLiteral("(%1)").arg(code);
}

bool contains(ChannelSet set, unsigned channel) {
    return ((set >> channel) & 1u) != 0;
}

} // namespace

ProfilePageWidget::ProfilePageWidget(SetupWindow& window, RecProfile profile)
    : m_window(window), m_profile(profile), m_channels(recChannelCount(window.context())),
      m_views(viewsOf(profile)) {
    setObjectName(QStringLiteral("profilePage%1").arg(QChar('A' + static_cast<int>(profile))));
    resize(kPageWidth, kPageHeight);
    m_main = new QWidget(this);
    m_main->setGeometry(0, 0, kPageWidth, kPageHeight);
    buildViews();
    buildRows();
    // Recorders whose schedule names the profile of each hour open the schedule from the menu.
    if (profile == RecProfile::D && profileSchedule(window.context())) {
        m_main->hide();
        m_sub = new SchedulePageWidget(window, {}, this);
        m_sub->setGeometry(0, 0, kPageWidth, kPageHeight);
        return;
    }
    setView(m_views.front());
}

void ProfilePageWidget::buildViews() {
    const int width = m_views.size() == 4 ? 78 : 90;
    for (std::size_t i = 0; i < m_views.size(); ++i) {
        const ProfileView v = m_views[i];
        QPushButton* b = makePageButton(viewCaption(v), m_main,
                                        QRect(4 + static_cast<int>(i) * (width + 2), 2, width, 26));
        b->setObjectName(QStringLiteral("button%1").arg(470 + i));
        b->setCheckable(true);
        connect(b, &QPushButton::clicked, this, [this, v] { setView(v); });
        m_viewButtons.emplace_back(v, b);
    }
    QString extra;
    switch (m_profile) {
    case RecProfile::B:
        if (linkPageOffered(m_window.context().version))
            extra = tr("Link");
        break;
    case RecProfile::C:
        extra = tr("Area");
        break;
    case RecProfile::D:
        extra = tr("Set");
        break;
    default:
        break;
    }
    if (!extra.isEmpty()) {
        m_extra = makePageButton(extra, m_main, QRect(kPageWidth - 78, 2, 74, 26));
        m_extra->setObjectName(QStringLiteral("button482"));
        connect(m_extra, &QPushButton::clicked, this, [this] { extraClicked(); });
    }
    m_ratesOf = new QLabel(m_main);
    m_ratesOf->setObjectName(QStringLiteral("ratesOf"));
    m_ratesOf->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_ratesOf->setGeometry(kPageWidth - 160, kPageHeight - 30, 154, 26);
    m_budget = new QLabel(m_main);
    m_budget->setObjectName(QStringLiteral("budget"));
    m_budget->setAccessibleName(tr("Recording budget"));
    m_budget->setWordWrap(true);
    m_budget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_budget->setGeometry(4, kRowsBottom + 1, kPageWidth - 8, kPageHeight - 32 - kRowsBottom);
    QFont small = m_budget->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    m_budget->setFont(small);
    m_allCheck =
        makePageButton(QStringLiteral("All Check"), m_main, QRect(4, kPageHeight - 30, 100, 26));
    m_allCheck->setObjectName(QStringLiteral("button480"));
    connect(m_allCheck, &QPushButton::clicked, this, [this] {
        m_checked = static_cast<ChannelSet>((1u << m_channels) - 1u);
        refresh();
    });
    m_clearAll =
        makePageButton(QStringLiteral("Beturn All"), m_main, QRect(108, kPageHeight - 30, 100, 26));
    m_clearAll->setObjectName(QStringLiteral("button481"));
    connect(m_clearAll, &QPushButton::clicked, this, [this] {
        m_checked = 0;
        refresh();
    });
}

void ProfilePageWidget::buildRows() {
    const int rowHeight = std::min(26, (kRowsBottom - kRowsTop) / static_cast<int>(m_channels));
    const int controlHeight = rowHeight - 2;
    for (unsigned ch = 0; ch < m_channels; ++ch) {
        Row& row = m_rows[ch];
        const int y = kRowsTop + static_cast<int>(ch) * rowHeight;
        const QString channel = QStringLiteral("CH%1").arg(ch + 1, 2, 10, QLatin1Char('0'));
        // The channel's name stays when grouped mode hides the box.
        row.check = new QCheckBox(m_main);
        row.check->setObjectName(QStringLiteral("select%1").arg(ch + 1));
        row.check->setAccessibleName(tr("Select %1").arg(channel));
        row.check->setToolTip(tr("A change in a checked row applies to every checked row"));
        row.check->setGeometry(4, y, 20, controlHeight);
        row.name = new QLabel(channel, m_main);
        row.name->setGeometry(26, y, 42, controlHeight);
        connect(row.check, &QCheckBox::clicked, this,
                [this, ch](bool on) { checkedChanged(ch, on); });

        row.resolution = new QLabel(m_main);
        row.resolution->setGeometry(kControlsX + 6, y, 120, controlHeight);

        row.slider = new QSlider(Qt::Horizontal, m_main);
        row.slider->setObjectName(QStringLiteral("slider%1").arg(510 + ch));
        row.slider->setGeometry(kControlsX, y, 236, controlHeight);
        connect(row.slider, &QSlider::valueChanged, this,
                [this, ch](int position) { sliderMoved(ch, position); });

        row.value = new QLabel(m_main);
        row.value->setGeometry(kControlsX + 244, y, 84, controlHeight);

        row.on = makePageButton(tr("On"), m_main, QRect(kControlsX, y, 70, controlHeight),
                                tr("On, %1").arg(channel));
        row.on->setObjectName(QStringLiteral("button%1").arg(550 + ch));
        row.on->setCheckable(true);
        connect(row.on, &QPushButton::clicked, this, [this, ch] { onOffClicked(ch, true); });
        row.off = makePageButton(tr("Off"), m_main, QRect(kControlsX + 74, y, 70, controlHeight),
                                 tr("Off, %1").arg(channel));
        row.off->setObjectName(QStringLiteral("button%1").arg(570 + ch));
        row.off->setCheckable(true);
        connect(row.off, &QPushButton::clicked, this, [this, ch] { onOffClicked(ch, false); });
    }
    // The profile resolution: the three buttons of the first row.
    for (unsigned code = 0; code < 3; ++code) {
        QPushButton* b = makePageButton(
            resolutionName(code), m_main,
            QRect(kControlsX + static_cast<int>(code) * 76, kRowsTop, 72, rowHeight - 2),
            tr("Resolution %1").arg(resolutionName(code)));
        b->setObjectName(QStringLiteral("button%1").arg(920 + 20 * code));
        b->setCheckable(true);
        connect(b, &QPushButton::clicked, this, [this, code] {
            chooseResolution(m_window.record(), m_window.context(), m_profile, code);
            refresh();
        });
        m_resolution[code] = b;
    }
    m_days = new QSlider(Qt::Horizontal, m_main);
    m_days->setObjectName(QStringLiteral("daysSlider"));
    m_days->setAccessibleName(tr("Days"));
    m_days->setRange(0, 90);
    m_days->setGeometry(kControlsX, kRowsTop, 236, 24);
    connect(m_days, &QSlider::valueChanged, this, [this](int position) {
        if (m_refreshing)
            return;
        setBlockFDays(m_window.record(), static_cast<unsigned>(std::max(position, 0)));
        refresh();
    });
    m_daysValue = new QLabel(m_main);
    m_daysValue->setObjectName(QStringLiteral("daysValue"));
    m_daysValue->setGeometry(kControlsX + 244, kRowsTop, 84, 24);
}

QPushButton* ProfilePageWidget::viewButton(ProfileView view) const {
    for (const auto& [v, b] : m_viewButtons)
        if (v == view)
            return b;
    return nullptr;
}

RecProfile ProfilePageWidget::ratesShown() const {
    return m_showingE && m_view == ProfileView::Rate ? RecProfile::E : m_profile;
}

void ProfilePageWidget::setView(ProfileView view) {
    if (std::find(m_views.begin(), m_views.end(), view) == m_views.end())
        return;
    m_window.closeChooser();
    m_view = view;
    m_checked = 0;
    m_rateNote.clear();
    // Any other view returns page C's switch to profile C.
    if (view != ProfileView::Rate)
        m_showingE = false;
    m_disabled = 0;
    if (view == ProfileView::Audio)
        m_disabled = enterAudioView(m_window.record(), m_window.context(), m_profile);
    else if (view == ProfileView::SecondOnOff)
        m_disabled = enterBlockFSecondView(m_window.record(), m_window.context());
    refresh();
}

void ProfilePageWidget::refresh() {
    m_refreshing = true;
    const ConfigRecord& record = m_window.record();
    const SetupContext& context = m_window.context();
    const ProfileState state = readProfile(record, context, m_profile);
    const ProfileState shown =
        ratesShown() == m_profile ? state : readProfile(record, context, ratesShown());
    const bool rate = m_view == ProfileView::Rate;
    const bool onOff = m_view == ProfileView::Audio || m_view == ProfileView::FirstOnOff ||
                       m_view == ProfileView::SecondOnOff;
    const bool days = m_view == ProfileView::Days;
    const bool boxes = !days && !(rate && state.grouped);

    for (const auto& [v, b] : m_viewButtons)
        b->setChecked(v == m_view);
    if (m_extra) {
        const bool switchesRates = rate && combinedMotionRates(context, m_profile);
        m_extra->setText(switchesRates ? tr("Other rates")
                                       : (m_profile == RecProfile::C   ? tr("Area")
                                          : m_profile == RecProfile::B ? tr("Link")
                                                                       : tr("Set")));
    }
    const bool switched = rate && combinedMotionRates(context, m_profile);
    m_ratesOf->setVisible(switched);
    m_ratesOf->setText(
        tr("%1 rates")
            .arg(QString::fromStdString(recProfileName(
                m_window.context(),
                static_cast<unsigned>(m_showingE ? RecProfile::E : RecProfile::C)))));
    m_allCheck->setVisible(boxes);
    m_clearAll->setVisible(boxes);
    m_budget->setVisible(rate);
    if (rate) {
        // What the rates cost of the encoder's budget, and what the last move had to give up.
        const BudgetUse use = profileBudgetUse(record, context, m_profile, m_showingE);
        QString text = tr("Used %1 of %2 CIF images a second (2CIF counts 2, 4CIF 4).")
                           .arg(use.used)
                           .arg(use.budget);
        if (use.over())
            text += tr(" Over the recorder's budget: lower some channels.");
        if (!m_rateNote.isEmpty())
            text += QLatin1Char('\n') + m_rateNote;
        m_budget->setText(text);
        QPalette palette = m_budget->palette();
        palette.setColor(QPalette::WindowText, use.over() || !m_rateNote.isEmpty()
                                                   ? warningColour(*this)
                                                   : this->palette().color(QPalette::WindowText));
        m_budget->setPalette(palette);
    }
    for (unsigned code = 0; code < 3; ++code) {
        m_resolution[code]->setVisible(m_view == ProfileView::Resolution);
        m_resolution[code]->setChecked(state.resolution[0] == code);
    }
    m_days->setVisible(days);
    m_daysValue->setVisible(days);
    if (days) {
        m_days->setValue(static_cast<int>(state.blockDays));
        m_daysValue->setText(QStringLiteral("%1 %2").arg(state.blockDays).arg(kDaysUnit));
    }

    const unsigned maxRate = recMaxRate(record);
    for (unsigned ch = 0; ch < m_channels; ++ch) {
        Row& row = m_rows[ch];
        const QString channel = QStringLiteral("CH%1").arg(ch + 1, 2, 10, QLatin1Char('0'));
        row.check->setVisible(boxes);
        row.name->setVisible(!days);
        row.check->setChecked(contains(m_checked, ch));
        row.resolution->setVisible(m_view == ProfileView::Resolution && ch > 0);
        row.resolution->setText(resolutionName(state.resolution[ch]));

        const bool sliderView = rate || m_view == ProfileView::Sensitivity;
        row.slider->setVisible(sliderView);
        row.value->setVisible(sliderView);
        if (rate) {
            row.slider->setRange(0, static_cast<int>(maxRate));
            row.slider->setValue(static_cast<int>(shown.rate[ch]));
            row.slider->setAccessibleName(tr("Rate, %1").arg(channel));
            row.value->setText(QStringLiteral("%1 %2").arg(shown.rate[ch]).arg(kRateUnit));
        } else if (m_view == ProfileView::Sensitivity) {
            row.slider->setRange(0, 3);
            row.slider->setValue(static_cast<int>(sensitivityPosition(state.sensitivity[ch])));
            row.slider->setAccessibleName(tr("Sensitivity, %1").arg(channel));
            row.value->setText(tr(kLevelNames[std::min(state.sensitivity[ch], 2u)]));
        }

        row.on->setVisible(onOff);
        row.off->setVisible(onOff);
        if (onOff) {
            unsigned value = 0;
            bool enabled = true;
            if (m_view == ProfileView::Audio) {
                value = state.audio[ch];
                enabled = state.rate[ch] != 0;
            } else if (m_view == ProfileView::FirstOnOff) {
                value = state.blockOn1[ch];
            } else {
                value = state.blockOn2[ch];
                enabled = state.blockOn1[ch] == 1;
            }
            row.on->setEnabled(enabled);
            row.off->setEnabled(enabled);
            row.on->setChecked(value == 1);
            row.off->setChecked(value == 0);
        }
    }
    m_refreshing = false;
}

void ProfilePageWidget::checkedChanged(unsigned channel, bool on) {
    m_checked = static_cast<ChannelSet>(on ? (m_checked | (1u << channel))
                                           : (m_checked & ~(1u << channel)));
}

void ProfilePageWidget::sliderMoved(unsigned channel, int position) {
    if (m_refreshing)
        return;
    const unsigned p = static_cast<unsigned>(std::max(position, 0));
    if (m_view == ProfileView::Rate)
        m_rateNote = QString::fromStdString(
            rateChangeNote(changeRate(m_window.record(), m_window.context(), m_profile, channel, p,
                                      m_checked, m_showingE),
                           channel));
    else if (m_view == ProfileView::Sensitivity)
        setSensitivity(m_window.record(), m_window.context(), m_profile, channel, p, m_checked);
    refresh();
}

void ProfilePageWidget::onOffClicked(unsigned channel, bool on) {
    if (m_view == ProfileView::Audio)
        setAudio(m_window.record(), m_window.context(), m_profile, channel, on, m_checked);
    else if (m_view == ProfileView::FirstOnOff)
        setBlockF(m_window.record(), m_window.context(), 1, channel, on, m_checked);
    else if (m_view == ProfileView::SecondOnOff)
        setBlockF(m_window.record(), m_window.context(), 2, channel, on, m_checked);
    refresh();
}

void ProfilePageWidget::extraClicked() {
    if (m_view == ProfileView::Rate && combinedMotionRates(m_window.context(), m_profile)) {
        m_showingE = !m_showingE;
        refresh();
        return;
    }
    auto back = [this] { closeSubPage(); };
    switch (m_profile) {
    case RecProfile::B:
        openSubPage(new LinkPageWidget(m_window, back, this));
        break;
    case RecProfile::C:
        openSubPage(new MotionAreaPageWidget(m_window, back, this));
        break;
    case RecProfile::D:
        openSubPage(new SchedulePageWidget(m_window, back, this));
        break;
    default:
        break;
    }
}

void ProfilePageWidget::openSubPage(QWidget* page) {
    m_window.closeChooser();
    m_sub = page;
    m_main->hide();
    page->setGeometry(0, 0, kPageWidth, kPageHeight);
    page->show();
}

void ProfilePageWidget::closeSubPage() {
    m_window.closeChooser();
    if (m_sub)
        m_sub->deleteLater();
    m_sub = nullptr;
    m_main->show();
    setView(m_view);
}

} // namespace kalder
