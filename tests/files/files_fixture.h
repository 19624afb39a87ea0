#pragma once
// Shared pieces of the file layout tests: a session with recorded prompts
// and status bar, a scratch folder used as ConfigDir, and small file helpers.

#include <memory>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "app/session.h"
#include "recording_prompts.h"

// 2024-05-17 08:30:00 local time: the clock the tests give the buttons.
inline QDateTime fixedNow() {
    return QDateTime(QDate(2024, 5, 17), QTime(8, 30, 0));
}

struct FilesFixture {
    RecordingPrompts prompts;
    std::unique_ptr<DeviceSession> session;
    std::unique_ptr<QTemporaryDir> dir;
    QStringList statuses;          // every text panel 2 showed, in order
    QList<QPair<int, bool>> bars;  // every progress state, in order

    void reset() {
        prompts.shown.clear();
        prompts.fileNames.clear();
        session = std::make_unique<DeviceSession>(prompts);
        dir = std::make_unique<QTemporaryDir>();
        session->ConfigDir = dir->path() + QLatin1Char('/');
        statuses.clear();
        bars.clear();
        QObject::connect(&session->feedback.bar, &StatusBarModel::statusTextChanged, session.get(),
                         [this](const QString& t) { statuses << t; });
        QObject::connect(&session->feedback.bar, &StatusBarModel::progressChanged, session.get(),
                         [this](int p, bool v) { bars << qMakePair(p, v); });
    }
    QString path(const QString& name) const { return dir->filePath(name); }
    // Files in the scratch folder.
    QStringList files() const { return QDir(dir->path()).entryList(QDir::Files | QDir::Hidden); }
    QStringList shownKinds() const {
        QStringList k;
        for (const auto& s : prompts.shown) k << s.kind;
        return k;
    }
};

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The CSV lines of `bytes`, each without its CR LF; false (and a failure) if
// a line does not end in CR LF.
inline QList<QByteArray> crlfLines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    int from = 0;
    while (from < bytes.size()) {
        const int end = bytes.indexOf("\r\n", from);
        if (end < 0) {
            lines << QByteArray("<no CR LF>") + bytes.mid(from);
            break;
        }
        lines << bytes.mid(from, end - from);
        from = end + 2;
    }
    return lines;
}
