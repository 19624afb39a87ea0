#pragma once
// The tool on a fake port that the virtual device's answer logic serves
// in-process, with recorded prompts, status texts and progress.
//
// A test class derives from LinkRig (a bare DeviceLink) or SessionRig (a whole
// DeviceSession) after QObject, calls setUpRig() in init() and tearDownRig()
// in cleanup(); or a test makes a rig on the stack (the constructor sets it up).

#include <memory>
#include <QStringList>

#include "app/session.h"
#include "fake_port.h"
#include "in_process_device.h"
#include "link/device_link.h"
#include "recording_prompts.h"

class PortRig {
public:
    RecordingPrompts prompts;
    FakePort port;            // records what is sent; answered by `device`
    InProcessDevice device;   // factory memory unless a test changes it
    QStringList statusTexts;  // status texts in order, without "Data communication" and repeats
    QList<int> progress;      // progress positions in order

protected:
    void resetPort() {
        prompts = RecordingPrompts();
        port = FakePort();
        device = InProcessDevice();
        statusTexts.clear();
        progress.clear();
    }
    void attach(DeviceLink& link) {
        Feedback& feedback = link.feedback;
        port.link = &link;
        port.device = [this](const QByteArray& frame) { return device(frame); };
        link.port = &port;
        QObject::connect(
            &feedback.bar, &StatusBarModel::statusTextChanged, &link, [this](const QString& t) {
                if (t != "Data communication" && (statusTexts.isEmpty() || statusTexts.last() != t))
                    statusTexts << t;
            });
        QObject::connect(&feedback.bar, &StatusBarModel::progressChanged, &link,
                         [this](int position, bool) { progress << position; });
    }
};

class LinkRig : public PortRig {
public:
    std::unique_ptr<Feedback> feedback;
    std::unique_ptr<DeviceLink> link;

    LinkRig() { setUpRig(); }
    LinkRig(const LinkRig&) = delete;
    LinkRig& operator=(const LinkRig&) = delete;
    void setUpRig() {
        link.reset();
        feedback.reset();
        resetPort();
        feedback = std::make_unique<Feedback>(prompts);
        link = std::make_unique<DeviceLink>(*feedback);
        attach(*link);
    }
    void tearDownRig() {
        link.reset();
        feedback.reset();
    }
};

class SessionRig : public PortRig {
public:
    std::unique_ptr<DeviceSession> session;

    SessionRig() { setUpRig(); }
    SessionRig(const SessionRig&) = delete;
    SessionRig& operator=(const SessionRig&) = delete;
    DeviceLink& link() { return session->link; }
    Feedback& feedback() { return session->feedback; }
    void setUpRig() {
        session.reset();
        resetPort();
        session = std::make_unique<DeviceSession>(prompts);
        attach(session->link);
    }
    void tearDownRig() { session.reset(); }
};
