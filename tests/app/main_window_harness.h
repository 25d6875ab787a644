#pragma once

// A main window on its own settings file and data folder, for the tests.
#include "main_window.h"
#include "decode/decoder_library.h"

#include <QSettings>
#include <QTemporaryDir>

#include <memory>

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

} // namespace kalder::test
