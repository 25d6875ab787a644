#pragma once

// Runs kalder-cli as other tools do: a separate process with its own HOME (so its local log
// stays in the test tree) and, when given, the password in KALDER_PASSWORD.
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>

namespace kalder::test {

struct CliRun {
    int exitCode = -1;
    QStringList lines; // standard output
    QString errors;
};

// A null password leaves KALDER_PASSWORD unset. `extraEnv` holds more variables for the run.
inline CliRun runCli(const QStringList& args, const QString& password = {},
                     const QProcessEnvironment& extraEnv = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : extraEnv.keys())
        env.insert(name, extraEnv.value(name));
    const auto home = std::filesystem::path(KALDER_TEST_CACHE_DIR) / "cli-home";
    std::filesystem::create_directories(home);
    env.insert("HOME", QString::fromStdString(home.string()));
    if (password.isNull())
        env.remove("KALDER_PASSWORD");
    else
        env.insert("KALDER_PASSWORD", password);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KALDER_PROGRAM_DIR "/kalder-cli"), args);
    CliRun run;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    run.errors = QString::fromUtf8(p.readAllStandardError());
    return run;
}

inline QJsonObject json(const QString& line) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    return doc.object();
}

} // namespace kalder::test
