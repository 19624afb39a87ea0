#pragma once
// Log-in and the three commands that name no block.
//
// The device has no log-in command: the tool reads settings block 1, whose
// first four bytes are the device password, and compares them with the
// password box. A successful check unlocks the device and file buttons; a
// failed one locks them again.

#include <functional>
#include <QObject>
#include <QString>
#include <QStringList>

#include "link/transfer.h"

class DeviceLink;

class Tpasswordverify : public QObject {
    Q_OBJECT
public:
    explicit Tpasswordverify(DeviceLink& link, QObject* parent = nullptr);

    quint8 Verifying = 0;  // 1 from the request until its reply is checked
    QString DevicePassword;
    QString TypedPassword;

    // Reads the password box at the moment of the check.
    std::function<QString()> passwordBox;

    // Sends the log-in read; nothing while a log-in or another operation is
    // still running. Only the reply to this request reaches the check.
    void Login();
    // True when the password matched.
    bool ReceivePassword(const quint8* payload);  // at least 4 bytes
    bool CheckPassword();
    void LockButtons();
    void UnlockButtons();
    bool unlocked() const { return unlocked_; }

    // The device and file buttons, in the order they are switched.
    static const QStringList& buttonNames();
signals:
    void buttonsEnabled(bool enabled);

private:
    DeviceLink& link_;
    bool unlocked_ = false;
};

class Tsingalcmd : public TTemplate {
public:
    Tsingalcmd(DeviceLink& link, quint8 code) : Code(code), link_(link) {}
    quint8 Code;
    // False when nothing was sent (another operation is still running).
    virtual bool Send();

protected:
    DeviceLink& link_;
};

class Tsynchronizationtime_sc : public Tsingalcmd {
public:
    explicit Tsynchronizationtime_sc(DeviceLink& link) : Tsingalcmd(link, cmd::TimeSync) {}
    bool Send() override;
    // The request for a given local moment (the clock is read once by Send).
    static QByteArray frameFor(const class QDateTime& moment);
};
