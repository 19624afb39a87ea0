#pragma once
// Which port the tool offers first, and which ports have a controller behind
// them. No widgets: the window's port list and varnel-cli both use this.
//
// Order: USB adapters (ttyUSB, ttyACM, or any port whose description names
// USB) first, then other ports, then the on-board legacy ports (ttyS); by
// name within each group, with numbers compared as numbers (ttyUSB2 before
// ttyUSB10). A fresh USB-serial bridge is what a user just plugged in; ttyS0
// exists on nearly every PC and is almost never the controller.
//
// Preselection, most specific first: a port asked for on the command line; the
// port of the last successful log-in when it is present now (in the list, or
// an existing device path such as a pseudo-terminal); the first port of the
// ordered list.

#include <functional>
#include <memory>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include "core/outcome.h"
#include "link/tcomm.h"

namespace portchoice {

QList<SerialPortEntry> ordered(QList<SerialPortEntry> ports);

QString preselected(const QList<SerialPortEntry>& ordered, const QString& requested,
                    const QString& remembered,
                    const std::function<bool(const QString&)>& pathExists);

// The port of the last successful log-in, kept per user with QSettings
// (organisation "varnel", the program's name).
QString remembered();
void remember(const QString& port);

}  // namespace portchoice

class DeviceLink;
class Feedback;
class Prompts;

// Tries ports one after the other with the log-in read (settings block 1 at
// address 0: it changes nothing on the device) and a short time-out, without
// retries. Any well-formed answer to it, right password or not, is a
// controller. Each port is closed again before the next one is opened; the
// run ends with `finished` and never waits longer than the time-out per port
// (plus a guard).
class PortProbe : public QObject {
    Q_OBJECT
public:
    enum class Verdict { Controller, NoAnswer, Damaged, CannotOpen };
    struct Result {
        QString port;
        Verdict verdict = Verdict::NoAnswer;
        QString detail;  // why a port could not be opened
    };

    explicit PortProbe(QObject* parent = nullptr);
    ~PortProbe() override;

    int answerTimeoutMs = 600;  // per port; a controller answers in about 30 ms

    // Starts a run; false (nothing done) while one is running.
    bool start(const QStringList& ports);
    bool running() const { return index_ >= 0; }
    const QList<Result>& results() const { return results_; }
    // The first port that answered as a controller, or empty.
    QString firstController() const;

    static QString verdictText(const Result& r);

signals:
    void probing(const QString& port, int number, int total);
    void portDone(const PortProbe::Result& result);
    void finished();

private:
    void next();
    void done(Verdict v);

    class Quiet;
    std::unique_ptr<Quiet> prompts_;
    std::unique_ptr<Feedback> feedback_;
    std::unique_ptr<DeviceLink> link_;
    TComm comm_;
    QTimer guard_;
    QStringList ports_;
    QList<Result> results_;
    int index_ = -1;
    bool waiting_ = false;  // the log-in read is out on the current port
};
