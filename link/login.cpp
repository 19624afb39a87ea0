#include "link/login.h"

#include <QDateTime>

#include "link/device_link.h"

Tpasswordverify::Tpasswordverify(DeviceLink& link, QObject* parent)
    : QObject(parent), link_(link) {}

const QStringList& Tpasswordverify::buttonNames() {
    static const QStringList names = {"btn25", "btn24", "btn21", "btn22", "btn16", "btn17",
                                      "btn10", "btn9",  "btn14", "btn15", "btn19", "btn20",
                                      "btn23", "btn13", "btn18", "btn3",  "btn6",  "btn7"};
    return names;
}

void Tpasswordverify::Login() {
    if (Verifying || !link_.admit()) return;
    Verifying = 1;
    link_.sendRequest(TDataPackage::request(cmd::ReadBlock, devaddr::settingsPage(1)),
                      QStringLiteral("Read settings"), Exchange::Kind::Login);
    link_.feedback.status.ShowStatus(QStringLiteral("Password verifing"));
}

bool Tpasswordverify::ReceivePassword(const quint8* payload) {
    DevicePassword.clear();
    for (int i = 0; i < 4; ++i) DevicePassword.append(QChar(payload[i]));
    return CheckPassword();
}

bool Tpasswordverify::CheckPassword() {
    TypedPassword = passwordBox ? passwordBox() : QString();
    // A typed text of another length never matches, whatever its first four
    // characters are.
    const bool same = TypedPassword.size() == DevicePassword.size() &&
                      TypedPassword.toLower().localeAwareCompare(DevicePassword.toLower()) == 0;
    Verifying = 0;
    if (same) {
        link_.feedback.prompts.inform(QStringLiteral("Password confirmed!"));
        UnlockButtons();
    } else {
        link_.feedback.prompts.inform(QStringLiteral("Password Error!"));
        LockButtons();
    }
    return same;
}

void Tpasswordverify::LockButtons() {
    unlocked_ = false;
    emit buttonsEnabled(false);
}

void Tpasswordverify::UnlockButtons() {
    unlocked_ = true;
    emit buttonsEnabled(true);
}

bool Tsingalcmd::Send() {
    if (!link_.admit()) return false;
    link_.sendRequest(TDataPackage::request(Code, 0), QStringLiteral("Password verifying"));
    return true;
}

QByteArray Tsynchronizationtime_sc::frameFor(const QDateTime& moment) {
    const QDate d = moment.date();
    const QTime t = moment.time();
    const quint8 data[6] = {quint8(d.year() & 0xFF), quint8(d.month()),  quint8(d.day()),
                            quint8(t.hour()),        quint8(t.minute()), quint8(t.second())};
    return TDataPackage::request(cmd::TimeSync, 0, data, 6);
}

bool Tsynchronizationtime_sc::Send() {
    if (!link_.admit()) return false;
    link_.sendRequest(frameFor(QDateTime::currentDateTime()),
                      QString::fromUtf8("发送同步时间命令"));
    return true;
}
