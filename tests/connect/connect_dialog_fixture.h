#pragma once

#include "connect/connect_dialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace kalder::test {

template <typename T> T* child(QWidget& w, const char* name) {
    T* found = w.findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// A connect dialog over a settings store and history file of its own temporary folder.
class ConnectDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_store = std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("kalder.ini")),
                                              QSettings::IniFormat);
        m_historyFile =
            std::filesystem::path(m_dir.path().toStdString()) / "Log" / "ConnectInfo100.log";
    }
    std::unique_ptr<ConnectDialog> makeDialog(NameLookup::Resolver resolver = {},
                                              QWidget* parent = nullptr) {
        return std::make_unique<ConnectDialog>(
            *m_store, m_historyFile, 200, parent, [this] { return m_now; }, std::move(resolver));
    }
    // Lets the event loop run until the answer of a host name lookup has come.
    static void waitWhileResolving(ConnectDialog& d) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !d.resolving(); }, 30'000));
    }
    // Presses OK (and waits for a name lookup); true when the dialog closed with OK.
    static bool pressOk(ConnectDialog& d) {
        child<QPushButton>(d, "okButton")->click();
        waitWhileResolving(d);
        return d.result() == QDialog::Accepted;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_store;
    std::filesystem::path m_historyFile;
    std::uint32_t m_now = 1'000'000;
};

} // namespace kalder::test
