#pragma once
// What the benchmark programs share: prompts that answer without a window, a
// sink that keeps the last request, and reply frames as the device sends them.

#include <QByteArray>
#include <QStringList>

#include "link/byte_sink.h"
#include "link/packet.h"
#include "link/prompts.h"

namespace bench {

// Keeps the texts of the message boxes; confirmations are answered yes.
class SilentPrompts : public Prompts {
public:
    QStringList shown;
    void inform(const QString& t) override { shown << t; }
    void message(const QString& t) override { shown << t; }
    bool confirm(const QString&) override { return true; }
    bool warnOkCancel(const QString&) override { return true; }
    QString openFile(const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
};

// Keeps the last request; the benchmark answers it.
class LastRequest : public ByteSink {
public:
    QByteArray last;
    int count = 0;
    bool SendBytes(const QByteArray& b) override {
        last = b;
        ++count;
        return true;
    }
};

inline QByteArray frame(quint8 code, qint32 address, const QByteArray& payload) {
    return TDataPackage::request(
        code, address, reinterpret_cast<const quint8*>(payload.constData()), int(payload.size()));
}

}  // namespace bench
