#include "setup/local/client_customisation.h"
#include "setup/local/local_setup_rules.h"
#include "setup/local/local_setup_window.h"
#include "files/local_log.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace kalder {
namespace {

template <typename T> T* child(QObject& w, const QString& name) {
    T* found = w.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

TEST(LocalSetupRules, ReleasingSliderOfCheckedRowMovesEveryCheckedRow) {
    struct Case {
        std::array<bool, 4> checked;
        std::size_t moved;
        std::array<std::uint8_t, 4> expected;
    };
    // Start values 10 20 30 40; the moved row is released at 99.
    const Case cases[] = {
        {{true, false, true, true}, 0, {99, 20, 99, 99}},
        {{true, false, true, true}, 1, {10, 99, 30, 40}}, // unchecked row moves alone
        {{false, false, false, false}, 3, {10, 20, 30, 99}},
        {{true, true, true, true}, 2, {99, 99, 99, 99}},
    };
    for (const Case& c : cases) {
        std::array<std::uint8_t, 4> values{10, 20, 30, 40};
        applySliderRelease(values, c.checked, c.moved, 99);
        EXPECT_EQ(values, c.expected) << "moved " << c.moved;
    }
}

TEST(LocalSetupRules, OutcomeReportsOnlyDrawModeChangesAndKeepsFolderOnRemovableMedia) {
    LocalSettings applied;
    applied.location = QStringLiteral("/home/op/H264");
    LocalSettings dateOnly = applied;
    dateOnly.dateFormat = 2;
    EXPECT_FALSE(finishLocalSetup(applied, dateOnly, false).drawModeChanged);
    EXPECT_EQ(finishLocalSetup(applied, dateOnly, false).settings, dateOnly);

    LocalSettings draw = applied;
    draw.drawMode = 1;
    draw.location = QStringLiteral("/data/Video");
    EXPECT_TRUE(finishLocalSetup(applied, draw, false).drawModeChanged);
    EXPECT_EQ(finishLocalSetup(applied, draw, false).settings.location, draw.location);
    EXPECT_EQ(finishLocalSetup(applied, draw, true).settings.location, applied.location);
}

class LocalSetupWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_store = std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("kalder.ini")),
                                              QSettings::IniFormat);
        m_applied.location = m_dir.filePath(QStringLiteral("H264"));
        m_applied.opacity[int(OpacityKind::LocalSetup)] = 204;
        m_logFolder = m_dir.filePath(QStringLiteral("H264"));
        m_previousLog = localLogSettings();
        configureLocalLog({m_logFolder.toStdString(), false, 0});
    }
    void TearDown() override { configureLocalLog(m_previousLog); }

    std::unique_ptr<LocalSetupWindow> makeWindow(bool removable = false) {
        return std::make_unique<LocalSetupWindow>(
            m_applied, *m_store, removable, nullptr,
            [this](QWidget*, const QString&) { return m_pickedFolder; });
    }
    static void release(QSlider* slider, int value) {
        slider->setSliderDown(true);
        slider->setValue(value);
        slider->setSliderDown(false); // emits sliderReleased
    }
    bool logWritten(const QString& dataFolder) const {
        return QFileInfo::exists(QDir(dataFolder).filePath(QStringLiteral("Log/Kalder.log")));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_store;
    LocalSettings m_applied;
    QString m_logFolder;
    LocalLogSettings m_previousLog;
    QString m_pickedFolder;
};

TEST_F(LocalSetupWindowTest, OkWritesSettingsCreatesUpgradeFolderAndLogs) {
    m_pickedFolder = m_dir.filePath(QStringLiteral("Video"));
    auto w = makeWindow();
    EXPECT_DOUBLE_EQ(w->windowOpacity(), 204 / 255.0);
    EXPECT_EQ(w->currentPage(), LocalSetupWindow::Page::Menu);
    child<QPushButton>(*w, QStringLiteral("menuGlobal"))->click();
    EXPECT_EQ(w->currentPage(), LocalSetupWindow::Page::Global);
    child<QComboBox>(*w, QStringLiteral("drawMode"))->setCurrentIndex(1);
    child<QComboBox>(*w, QStringLiteral("saveFormat"))->setCurrentIndex(2);
    // The client's switches start on and are stored off once unchecked.
    for (const char* name : {"reconnect", "fasterSmallCells", "exportKeepSet"}) {
        auto* box = child<QCheckBox>(*w, QLatin1String(name));
        EXPECT_TRUE(box->isChecked()) << name;
        box->click();
    }
    child<QPushButton>(*w, QStringLiteral("dataFolderBrowse"))->click();
    auto* folder = child<QLineEdit>(*w, QStringLiteral("dataFolder"));
    EXPECT_EQ(folder->text(), m_pickedFolder);
    // A long path shows from its start, whole in the tool tip; the edit and the button are named.
    EXPECT_EQ(folder->cursorPosition(), 0);
    EXPECT_EQ(folder->toolTip(), m_pickedFolder);
    EXPECT_FALSE(folder->accessibleName().isEmpty());
    EXPECT_EQ(child<QPushButton>(*w, QStringLiteral("dataFolderBrowse"))->accessibleName(),
              QStringLiteral("Choose the data folder"));
    child<QPushButton>(*w, QStringLiteral("setButton"))->click();
    EXPECT_EQ(w->currentPage(), LocalSetupWindow::Page::Menu);

    child<QPushButton>(*w, QStringLiteral("okButton"))->click();
    ASSERT_EQ(w->result(), QDialog::Accepted);
    const LocalSetupOutcome& out = w->outcome();
    EXPECT_TRUE(out.drawModeChanged);
    EXPECT_EQ(out.settings.drawMode, 1u);
    EXPECT_EQ(out.settings.saveFormat, 2u);
    EXPECT_EQ(out.settings.location, m_pickedFolder);
    EXPECT_EQ(out.settings.reconnect, 0u);
    EXPECT_EQ(out.settings.fasterSmallCells, 0u);
    EXPECT_EQ(out.settings.exportKeepSet, 0u);
    EXPECT_EQ(loadSettings(*m_store, {}, QDir::homePath()), out.settings);
    EXPECT_TRUE(QFileInfo(QDir(m_pickedFolder).filePath(QStringLiteral("Upgrade"))).isDir());
    EXPECT_TRUE(logWritten(m_pickedFolder)); // the log followed the new data folder
    EXPECT_EQ(localLogSettings().dataFolder, m_pickedFolder.toStdString());
}

TEST_F(LocalSetupWindowTest, CancelAndCloseDiscardEverything) {
    for (const char* button : {"cancelButton", "closeButton"}) {
        auto w = makeWindow();
        child<QComboBox>(*w, QStringLiteral("drawMode"))->setCurrentIndex(1);
        child<QComboBox>(*w, QStringLiteral("dateFormat"))->setCurrentIndex(2);
        child<QPushButton>(*w, QLatin1String(button))->click();
        EXPECT_EQ(w->result(), QDialog::Rejected) << button;
        EXPECT_FALSE(w->outcome().drawModeChanged) << button;
        EXPECT_TRUE(m_store->allKeys().isEmpty()) << button;
    }
    EXPECT_FALSE(QFileInfo::exists(QDir(m_applied.location).filePath(QStringLiteral("Upgrade"))));
    EXPECT_FALSE(logWritten(m_logFolder));
}

TEST_F(LocalSetupWindowTest, DateFormatOnlyChangeIsNotADrawModeChange) {
    auto w = makeWindow();
    child<QComboBox>(*w, QStringLiteral("dateFormat"))->setCurrentIndex(1);
    child<QPushButton>(*w, QStringLiteral("okButton"))->click();
    ASSERT_EQ(w->result(), QDialog::Accepted);
    EXPECT_FALSE(w->outcome().drawModeChanged);
    EXPECT_EQ(w->outcome().settings.dateFormat, 1u);
    EXPECT_EQ(m_store->value(QStringLiteral("LocalSetup/DateFormat/DateFormat")).toUInt(), 1u);
    EXPECT_TRUE(logWritten(m_logFolder));
}

TEST_F(LocalSetupWindowTest, RemovableModeOffersNoDataFolderAndNeitherCreatesNorLogs) {
    auto w = makeWindow(true);
    EXPECT_EQ(w->findChild<QLineEdit*>(QStringLiteral("dataFolder")), nullptr);
    EXPECT_EQ(w->findChild<QPushButton*>(QStringLiteral("dataFolderBrowse")), nullptr);
    child<QComboBox>(*w, QStringLiteral("drawMode"))->setCurrentIndex(1);
    child<QPushButton>(*w, QStringLiteral("okButton"))->click();
    ASSERT_EQ(w->result(), QDialog::Accepted);
    EXPECT_EQ(m_store->value(QStringLiteral("LocalSetup/DrawMode/DrawMode")).toUInt(), 1u);
    EXPECT_FALSE(QFileInfo::exists(QDir(m_applied.location).filePath(QStringLiteral("Upgrade"))));
    EXPECT_FALSE(logWritten(m_logFolder));
}

TEST_F(LocalSetupWindowTest, OpacitySlidersMoveCheckedRowsTogetherOnRelease) {
    auto w = makeWindow();
    auto& page = *child<QWidget>(*w, QStringLiteral("opacityPage"));
    auto slider = [&](int row) {
        return child<QSlider>(page, QStringLiteral("slider%1").arg(row));
    };
    auto check = [&](int row) {
        return child<QCheckBox>(page, QStringLiteral("check%1").arg(row));
    };
    EXPECT_EQ(slider(0)->minimum(), 100);
    EXPECT_EQ(slider(0)->maximum(), 255);
    for (int row : {0, 2, 8})
        check(row)->setChecked(true);

    release(slider(2), 150);
    const auto& opacity = w->working().opacity;
    EXPECT_EQ(opacity, (std::array<std::uint8_t, 9>{150, 255, 150, 255, 204, 255, 255, 255, 150}));
    EXPECT_EQ(slider(8)->value(), 150);
    EXPECT_EQ(child<QLabel>(page, QStringLiteral("value8"))->text(), QStringLiteral("150"));

    release(slider(1), 120); // unchecked: moves alone
    EXPECT_EQ(opacity[1], 120);
    EXPECT_EQ(opacity[0], 150);

    child<QPushButton>(page, QStringLiteral("allCheck"))->click();
    for (int row = 0; row < 9; ++row)
        EXPECT_TRUE(check(row)->isChecked()) << row;
    release(slider(4), 101);
    EXPECT_EQ(opacity, (std::array<std::uint8_t, 9>{101, 101, 101, 101, 101, 101, 101, 101, 101}));

    child<QPushButton>(page, QStringLiteral("returnAll"))->click();
    for (int row = 0; row < 9; ++row)
        EXPECT_FALSE(check(row)->isChecked()) << row;
    EXPECT_EQ(child<QPushButton>(page, QStringLiteral("returnAll"))->text(),
              QStringLiteral("Beturn All"));
}

TEST_F(LocalSetupWindowTest, ClickOnSliderGrooveCountsAsRelease) {
    auto w = makeWindow();
    w->showPage(LocalSetupWindow::Page::Opacity);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    auto& page = *child<QWidget>(*w, QStringLiteral("opacityPage"));
    for (int row : {3, 5})
        child<QCheckBox>(page, QStringLiteral("check%1").arg(row))->setChecked(true);
    auto* slider = child<QSlider>(page, QStringLiteral("slider3"));
    slider->setValue(110); // handle at the left end, away from the click
    QTest::mouseClick(slider, Qt::LeftButton, {},
                      QPoint(slider->width() - 3, slider->height() / 2));
    QCoreApplication::processEvents();
    const auto& opacity = w->working().opacity;
    EXPECT_GT(opacity[3], 110);
    EXPECT_EQ(opacity[5], opacity[3]);
    EXPECT_EQ(opacity[0], 255);
}

TEST_F(LocalSetupWindowTest, AudioBufferPageUsesItsRangeAndGrouping) {
    auto w = makeWindow();
    auto& page = *child<QWidget>(*w, QStringLiteral("audioPage"));
    auto* s0 = child<QSlider>(page, QStringLiteral("slider0"));
    EXPECT_EQ(s0->minimum(), 2);
    EXPECT_EQ(s0->maximum(), 64);
    EXPECT_EQ(page.findChild<QSlider*>(QStringLiteral("slider3")), nullptr);
    child<QCheckBox>(page, QStringLiteral("check0"))->setChecked(true);
    child<QCheckBox>(page, QStringLiteral("check2"))->setChecked(true);
    release(s0, 8);
    EXPECT_EQ(w->working().audioBuf, (std::array<std::uint8_t, 3>{8, 64, 8}));
}

TEST_F(LocalSetupWindowTest, AutoSavePageEditsWebExportValues) {
    m_applied.webInterval = 25; // out of the list: shown as 1, kept until changed
    m_pickedFolder = m_dir.filePath(QStringLiteral("web"));
    auto w = makeWindow();
    auto& page = *child<QWidget>(*w, QStringLiteral("webPage"));
    auto* interval = child<QComboBox>(page, QStringLiteral("webInterval"));
    ASSERT_EQ(interval->count(), 20);
    EXPECT_EQ(interval->itemText(0), QStringLiteral("1"));
    EXPECT_EQ(interval->itemText(19), QStringLiteral("20"));
    EXPECT_EQ(interval->currentText(), QStringLiteral("1"));
    EXPECT_EQ(w->working().webInterval, 25u);

    // The size labels end in " (JPG)" and " (WEB)".
    auto* form = page.findChild<QFormLayout*>();
    ASSERT_NE(form, nullptr);
    QStringList labels;
    for (int row = 1; row <= 4; ++row) {
        auto* label = qobject_cast<QLabel*>(form->itemAt(row, QFormLayout::LabelRole)->widget());
        ASSERT_NE(label, nullptr);
        labels << label->text().right(6);
    }
    EXPECT_EQ(labels, (QStringList{" (JPG)", " (JPG)", " (WEB)", " (WEB)"}));

    child<QComboBox>(page, QStringLiteral("webActivate"))->setCurrentIndex(1);
    interval->setCurrentIndex(9);
    child<QLineEdit>(page, QStringLiteral("webWidthJpg"))->setText(QStringLiteral("352"));
    child<QLineEdit>(page, QStringLiteral("webHeightWeb"))->setText(QString()); // not taken
    child<QPushButton>(page, QStringLiteral("webLocationBrowse"))->click();
    child<QPushButton>(*w, QStringLiteral("okButton"))->click();
    const LocalSettings& s = w->outcome().settings;
    EXPECT_EQ(s.webActivate, 1u);
    EXPECT_EQ(s.webInterval, 10u);
    EXPECT_EQ(s.webWidthJpg, 352u);
    EXPECT_EQ(s.webHeightWeb, 240u);
    EXPECT_EQ(s.webLocation, m_pickedFolder);
    EXPECT_EQ(m_store->value(QStringLiteral("LocalSetupEx/WebInterval/WebInterval")).toUInt(), 10u);
}

TEST_F(LocalSetupWindowTest, UnknownStoredDateFormatIsKeptUntilChosen) {
    m_applied.dateFormat = 7;
    auto w = makeWindow();
    EXPECT_EQ(child<QComboBox>(*w, QStringLiteral("dateFormat"))->currentIndex(), -1);
    child<QPushButton>(*w, QStringLiteral("okButton"))->click();
    EXPECT_EQ(w->outcome().settings.dateFormat, 7u);
    EXPECT_FALSE(w->outcome().drawModeChanged);
}

} // namespace
} // namespace kalder

namespace kalder {
namespace {

// The Keys page: a key pressed in the capture field replaces the chosen action's keys, a key
// another action has is refused with a message naming it, and OK stores the keys.
TEST_F(LocalSetupWindowTest, KeysPageChangesAKeyRefusesAConflictAndOkStoresIt) {
    auto w = makeWindow();
    child<QPushButton>(*w, QStringLiteral("menuKeys"))->click();
    EXPECT_EQ(w->currentPage(), LocalSetupWindow::Page::Keys);
    auto* table = child<QTableWidget>(*w, QStringLiteral("keyTable"));
    auto* capture = child<QLineEdit>(*w, QStringLiteral("keyCapture"));
    auto* message = child<QLabel>(*w, QStringLiteral("keyMessage"));
    ASSERT_EQ(table->rowCount(), kKeyActionCount);
    EXPECT_EQ(table->item(int(KeyAction::Help), 1)->text(), QStringLiteral("F1, ?"));

    table->setCurrentCell(int(KeyAction::Osd), 0);
    QTest::keyClick(capture, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(capture->text(), QStringLiteral("Ctrl+K"));
    QTest::keyClick(capture, Qt::Key_Return); // as "Use this key"
    EXPECT_TRUE(w->isVisible() || w->result() != QDialog::Accepted);
    EXPECT_EQ(table->item(int(KeyAction::Osd), 1)->text(), QStringLiteral("Ctrl+K"));

    // Live may not take Ctrl+K now, nor "?" (the list's, typed with Shift).
    table->setCurrentCell(int(KeyAction::Live), 0);
    child<QPushButton>(*w, QStringLiteral("keySet"))->click();
    EXPECT_TRUE(message->text().contains(keyActionText(KeyAction::Osd)))
        << message->text().toStdString();
    QTest::keyClick(capture, Qt::Key_Question, Qt::ShiftModifier, 0);
    child<QPushButton>(*w, QStringLiteral("keySet"))->click();
    EXPECT_TRUE(message->text().contains(keyActionText(KeyAction::Help)));
    EXPECT_EQ(w->workingKeys().keys(KeyAction::Live), defaultKeys(KeyAction::Live));

    child<QPushButton>(*w, QStringLiteral("okButton"))->click();
    ASSERT_EQ(w->result(), QDialog::Accepted);
    KeyMap expected;
    expected.setKeys(KeyAction::Osd, {QKeySequence(Qt::CTRL | Qt::Key_K)});
    EXPECT_EQ(loadKeyMap(*m_store), expected);

    // Restore defaults, and Cancel keeps what is stored.
    auto again = makeWindow();
    child<QPushButton>(*again, QStringLiteral("keyDefaults"))->click();
    EXPECT_EQ(again->workingKeys(), KeyMap());
    child<QPushButton>(*again, QStringLiteral("cancelButton"))->click();
    EXPECT_EQ(loadKeyMap(*m_store), expected);
}

} // namespace
} // namespace kalder
