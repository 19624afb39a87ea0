#pragma once
// What the benchmark programs share: prompts that answer without a window, a
// sink that keeps the last request, and reply frames as the device sends them.

#include <QByteArray>
#include <QtGlobal>
#include <QStringList>

#include "app/session.h"
#include "core/prompts.h"
#include "link/byte_sink.h"
#include "link/packet.h"
#include "link/tcomm.h"

namespace bench {

// Benchmarks with widgets run without a display too: offscreen then.
inline void offscreenWithoutDisplay() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

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

// Opens `comm` on the virtual device at `path` and wires it to the session,
// as the window does with its port. False when the port cannot be opened.
inline bool connectSession(TComm& comm, DeviceSession& session, const QString& path) {
    comm.CommName = path;
    try {
        comm.OpenPort();
    } catch (const ECommsError&) {
        return false;
    }
    session.link.port = &comm;
    comm.OnReceiveData = [&session](quint8 b) { session.link.cm1ReceiveData(b); };
    return true;
}

}  // namespace bench
