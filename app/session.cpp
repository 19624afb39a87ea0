#include "app/session.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

DeviceSession::DeviceSession(Prompts& prompts, QObject* parent)
    : QObject(parent), feedback(prompts), link(feedback, this) {
    link.recordTo(traffic);
    // Status texts go to the event list too: the status panel shows only the
    // latest, and only as much of it as fits.
    connect(&feedback.bar, &StatusBarModel::statusTextChanged, &traffic, [this](const QString& text) {
        if (!text.isEmpty()) traffic.addEvent(QStringLiteral("Status: ") + text);
    });
    link.login.LockButtons();
    settings.fillStartContents();
    TtelephoneSend::fillStartContents(numbers);
    THistoryInf::fillStartContents(history);
    ConfigDir = chooseConfigDir(QCoreApplication::applicationDirPath(),
                                QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString DeviceSession::chooseConfigDir(const QString& executableDir, const QString& fallbackDir) {
    const QString beside = QDir(executableDir).filePath(QStringLiteral("configuration"));
    if (QDir().mkpath(beside) && QFileInfo(beside).isWritable()) return beside + QLatin1Char('/');
    const QString user = QDir(fallbackDir).filePath(QStringLiteral("configuration"));
    QDir().mkpath(user);
    return user + QLatin1Char('/');
}
