#pragma once

#include "setup/model/profile_page.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace kalder {

class SetupWindow;

// The views of a profile page: A, B and D show Resolution, Rate and Audio; C and E add
// Sensitivity; block F shows Resolution, its two on/off rows and Days.
enum class ProfileView { Resolution, Rate, Audio, Sensitivity, FirstOnOff, SecondOnOff, Days };

// A recording profile page of the Rec tab (profiles A .. E and block F): one row per channel
// with its selection box, and the current view's controls; every operator action runs one rule
// of the profile model on the window's record and shows the record again. Button 482 opens the
// page's sub-page (link page of B, motion area of C, schedule of D) inside the page; on C of a
// sub-product-4 recorder it switches the Rate view between the C and E rates. On recorders whose
// schedule names profiles, page D is the schedule itself. GUI thread only.
class ProfilePageWidget : public QWidget {
public:
    ProfilePageWidget(SetupWindow& window, RecProfile profile);

    RecProfile profile() const { return m_profile; }
    const std::vector<ProfileView>& views() const { return m_views; }
    ProfileView view() const { return m_view; }
    void setView(ProfileView view);
    bool showingE() const { return m_showingE; }

    QCheckBox* checkBox(unsigned channel) const { return m_rows[channel].check; }
    QSlider* slider(unsigned channel) const { return m_rows[channel].slider; }
    QLabel* valueLabel(unsigned channel) const { return m_rows[channel].value; }
    QPushButton* onButton(unsigned channel) const { return m_rows[channel].on; }
    QPushButton* offButton(unsigned channel) const { return m_rows[channel].off; }
    QPushButton* resolutionButton(unsigned code) const { return m_resolution[code]; }
    QPushButton* viewButton(ProfileView view) const;
    QPushButton* extraButton() const { return m_extra; }
    QPushButton* allCheckButton() const { return m_allCheck; }
    QPushButton* clearAllButton() const { return m_clearAll; }
    QSlider* daysSlider() const { return m_days; }
    // The Rate view's budget line: used of available, and why the last move stored less.
    QLabel* budgetLabel() const { return m_budget; }
    // The open sub-page (link, motion area or schedule), if any.
    QWidget* subPage() const { return m_sub; }

private:
    struct Row {
        QCheckBox* check = nullptr;
        QLabel* name = nullptr;
        QLabel* resolution = nullptr;
        QSlider* slider = nullptr;
        QLabel* value = nullptr;
        QPushButton* on = nullptr;
        QPushButton* off = nullptr;
    };

    void buildRows();
    void buildViews();
    void refresh();
    void checkedChanged(unsigned channel, bool on);
    void sliderMoved(unsigned channel, int position);
    void onOffClicked(unsigned channel, bool on);
    void extraClicked();
    void openSubPage(QWidget* page);
    void closeSubPage();
    RecProfile ratesShown() const;

    SetupWindow& m_window;
    const RecProfile m_profile;
    const unsigned m_channels;
    std::vector<ProfileView> m_views;
    ProfileView m_view = ProfileView::Resolution;
    ChannelSet m_checked = 0;
    bool m_showingE = false;
    bool m_refreshing = false;
    ChannelSet m_disabled = 0; // on/off buttons disabled in the current view

    QWidget* m_main = nullptr;
    QPointer<QWidget> m_sub;
    std::array<Row, kRecChannels> m_rows{};
    std::array<QPushButton*, 3> m_resolution{};
    std::vector<std::pair<ProfileView, QPushButton*>> m_viewButtons;
    QPushButton* m_extra = nullptr;
    QLabel* m_ratesOf = nullptr; // which profile's rates page C shows
    QPushButton* m_allCheck = nullptr;
    QPushButton* m_clearAll = nullptr;
    QSlider* m_days = nullptr;
    QLabel* m_daysValue = nullptr;
    QLabel* m_budget = nullptr;
    QString m_rateNote; // what the last rate change gave up; cleared by a view switch
};

} // namespace kalder
