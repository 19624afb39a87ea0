#include "fake_port.h"

#include <QTimer>

#include "link/device_link.h"

bool FakePort::SendBytes(const QByteArray& bytes) {
    if (!open || bytes.isEmpty()) return false;
    sent.append(bytes);
    if (!device || !link) return true;
    const QByteArray answer = device(bytes);
    if (answer.isEmpty()) return true;
    DeviceLink* target = link;
    if (deferred)
        QTimer::singleShot(0, target, [target, answer] { feedBytes(*target, answer); });
    else
        feedBytes(*target, answer);
    return true;
}

QByteArray replyFrame(quint8 code, qint32 address, const QByteArray& payload) {
    TDataPackage p;
    p.SetCommand(code);
    p.SetLength(payload.size());
    p.SetAddress(address);
    p.SetData(reinterpret_cast<const quint8*>(payload.constData()));
    p.BuildFrame();
    return p.frameBytes();
}

void feedBytes(DeviceLink& link, const QByteArray& bytes) {
    for (char c : bytes) link.cm1ReceiveData(quint8(c));
}
