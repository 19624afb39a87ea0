#pragma once
// The tool's whole device path against the virtual device: a DeviceSession
// wired to a real TComm that is open on the virtual device's pseudo-terminal.
// Tests drive buttons' operations on the session and wait for the messages.

#include <functional>
#include <memory>
#include <QElapsedTimer>
#include <QtTest>

#include "app/session.h"
#include "device_pages.h"
#include "link/tcomm.h"
#include "recording_prompts.h"
#include "sim/virtual_device.h"

class SimHarness {
public:
    RecordingPrompts prompts;
    vdev::VirtualDevice device;
    TComm comm;
    std::unique_ptr<DeviceSession> session;

    SimHarness() : session(std::make_unique<DeviceSession>(prompts)) {
        session->link.port = &comm;
        comm.OnReceiveData = [this](quint8 b) { session->link.cm1ReceiveData(b); };
    }
    ~SimHarness() {
        comm.ClosePort();
        device.stop();
    }

    DeviceLink& link() { return session->link; }
    Feedback& feedback() { return session->feedback; }

    // Starts the device with `faults` and opens the port on it.
    bool start(const vdev::Faults& faults = {}) {
        device.setFaults(faults);
        QString error;
        const QString path = device.start({}, &error);
        if (path.isEmpty()) {
            qWarning("virtual device did not start: %s", qPrintable(error));
            return false;
        }
        comm.CommName = path;
        try {
            comm.OpenPort();
        } catch (const ECommsError& e) {
            qWarning("cannot open %s: %s", qPrintable(path), e.what());
            return false;
        }
        return comm.isOpen();
    }

    // Runs the event loop until `done` holds or `ms` pass.
    static bool waitFor(const std::function<bool()>& done, int ms = 5000) {
        QElapsedTimer t;
        t.start();
        while (!done()) {
            if (t.elapsed() > ms) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QTest::qSleep(1);
        }
        return true;
    }

    // Waits until a message box with `text` has been shown.
    bool waitForMessage(const QString& text, int ms = 5000) {
        return waitFor([&] { return prompts.texts().contains(text); }, ms);
    }

    // Logs in as the window's "Log in" does, with `password` in the box.
    bool login(const QString& password = QStringLiteral("5729")) {
        session->link.login.passwordBox = [password] { return password; };
        session->link.login.Login();
        return waitFor([&] { return session->link.login.Verifying == 0; }) &&
               session->link.login.unlocked();
    }
};
