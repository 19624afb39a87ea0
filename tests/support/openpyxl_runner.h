#pragma once
// Runs a Python helper script with Debian's /usr/bin/python3 (where
// python3-openpyxl lives) and takes its standard output. The calling test is
// skipped when that Python or openpyxl is missing (the scripts exit with 3
// when openpyxl cannot be imported).

#include <QFileInfo>
#include <QProcess>
#include <QtTest>

namespace openpyxl_runner {
inline const QString kPython = QStringLiteral("/usr/bin/python3");
}

#define RUN_PY(output, script, ...)                                                     \
    do {                                                                                \
        if (!QFileInfo::exists(openpyxl_runner::kPython))                               \
            QSKIP("/usr/bin/python3 is not installed");                                 \
        QProcess p;                                                                     \
        p.start(openpyxl_runner::kPython, QStringList{script, __VA_ARGS__});            \
        QVERIFY(p.waitForFinished(120000));                                             \
        if (p.exitCode() == 3) QSKIP("openpyxl is not installed for /usr/bin/python3"); \
        QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,           \
                 p.readAllStandardError().constData());                                 \
        output = p.readAllStandardOutput();                                             \
    } while (0)
