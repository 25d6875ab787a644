#pragma once

// A main window on its own settings file and data folder, for the tests.
#include "main_window.h"
#include "decode/decoder_library.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

// Waits for `condition` while the GUI thread's events run; the limit only catches a hang.
#define WAIT_UNTIL(condition, timeoutMs)                                                           \
    ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, timeoutMs))          \
        << "never became true: " #condition

namespace kalder::test {

class MainWindowHarness {
public:
    MainWindowHarness() {
        m_store = std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("kalder.ini")),
                                              QSettings::IniFormat);
        m_decoder = DecoderLibrary::open(std::string(KALDER_PROGRAM_DIR) + "/H264_D1.so");
    }

    MainWindowConfig config(bool connectDialogAtStart = false) const {
        MainWindowConfig config;
        config.store = m_store.get();
        config.settings.location = m_dir.filePath(QStringLiteral("data"));
        config.decoder = m_decoder.get();
        config.connectDialogAtStart = connectDialogAtStart;
        return config;
    }

    QString dataFolder() const { return m_dir.filePath(QStringLiteral("data")); }
    bool decoderLoaded() const { return m_decoder != nullptr; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_store;
    std::unique_ptr<DecoderLibrary> m_decoder;
};

// The simulator's administrator on loopback at `port`, as the connect dialog would fill it.
inline ConnectRequest simAdminRequest(std::uint16_t port) {
    ConnectRequest request;
    request.address = "127.0.0.1";
    request.typedAddress = request.address;
    request.port = port;
    request.userId = "admin";
    request.password = "1234";
    return request;
}

} // namespace kalder::test
