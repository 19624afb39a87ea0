#include "link/device_link.h"

#include "core/traffic_log.h"

namespace {

bool accepted(const ReplyFrame& f) {
    return !f.payload.isEmpty() && quint8(f.payload[0]) == 1;
}

bool knownCode(quint8 code) {
    return code == cmd::ReadBlock || code == cmd::WriteBlock || code == cmd::TimeSync ||
           code == cmd::CheckingMode || code == cmd::DeleteHistory;
}

}  // namespace

const char* outcomeName(OpOutcome outcome) {
    switch (outcome) {
        case OpOutcome::Ok: return "ok";
        case OpOutcome::Refused: return "refused by the device";
        case OpOutcome::TimedOut: return "no answer from the device (Receive timeout)";
        case OpOutcome::InvalidData: return "the device's answers were damaged (Invalid data)";
        case OpOutcome::Cancelled: return "stopped";
        case OpOutcome::CheckFailed: return "the data was refused before anything was sent";
        case OpOutcome::Mismatch: return "the device does not hold what was sent";
        case OpOutcome::WrongPassword: return "wrong password";
        case OpOutcome::LinkLost: return "the connection was lost";
        case OpOutcome::Busy: return "another operation was running";
    }
    return "";
}

DeviceLink::DeviceLink(Feedback& f, QObject* parent) : QObject(parent), feedback(f) {
    connect(&feedback.bar.tmr1, &SwitchTimer::expired, this, &DeviceLink::tmr1Timer);
    silence_.setSingleShot(true);
    connect(&silence_, &QTimer::timeout, this, &DeviceLink::silenceTimer);
    settle_.setSingleShot(true);
    connect(&settle_, &QTimer::timeout, this, &DeviceLink::settleTimer);
}

bool DeviceLink::admit() {
    if (!busy()) return true;
    feedback.prompts.message(
        QStringLiteral("Another operation is still running. Wait for it to end, or press Stop."));
    return false;
}

void DeviceLink::sendRequest(const QByteArray& frame, const QString& statusText,
                             Exchange::Kind kind, Tsend_rec_command* transfer) {
    Exchange ex;
    ex.kind = kind;
    ex.transfer = transfer;
    if (frame.size() >= 7) {
        ex.command = quint8(frame[1]);
        ex.address = qint32((quint32(quint8(frame[2])) << 24) | (quint32(quint8(frame[3])) << 16) |
                            (quint32(quint8(frame[4])) << 8) | quint32(quint8(frame[5])));
    }
    ex.frame = frame;
    ex.statusText = statusText;
    ex.retriesLeft = retries;
    inFlight_ = ex;
    transmit(frame, statusText);
}

void DeviceLink::transmit(const QByteArray& frame, const QString& statusText) {
    ++sends_;
    if (port) port->SendBytes(frame);
    emit requestSent(frame);
    feedback.status.ShowStatus(statusText);
    // The watchdog covers the whole wait for this request.
    feedback.bar.tmr1.switchOff();
    feedback.bar.tmr1.switchOn();
}

void DeviceLink::cm1ReceiveData(quint8 byte) {
    // Bytes that answer nothing (after a Stop, say) leave the status alone;
    // the Traffic page shows them.
    if (inFlight_) feedback.status.ShowStatus(QStringLiteral("Data communication"));
    lastByte_.start();
    recData.feed(byte, events_);
    if (recData.collecting()) {
        if (!silence_.isActive()) silence_.start(midFrameSilenceMs);
    } else if (silence_.isActive()) {
        silence_.stop();
    }
    drain();
}

bool DeviceLink::answers(const ReplyFrame& f) const {
    return inFlight_ && f.command == inFlight_->command && f.address == inFlight_->address;
}

bool DeviceLink::wellFormed(const ReplyFrame& f) const {
    // A read reply carries the whole block; anything shorter would leave the
    // rest of the page to be taken from an earlier reply. An acknowledgement
    // carries at least its verdict byte.
    if (f.command == cmd::ReadBlock) return f.payload.size() == devaddr::PayloadMax;
    return !f.payload.isEmpty();
}

void DeviceLink::drain() {
    while (!events_.isEmpty()) {
        const AssemblerEvent ev = events_.takeFirst();
        emit frameReceived(ev.raw, ev.kind == AssemblerEvent::Valid);
        if (ev.kind != AssemblerEvent::Valid) {
            emit replyRejected(ev.kind, ev.raw);
            feedback.status.ShowStatus(QStringLiteral("Invalid data"));
            noteDamaged();
            continue;
        }
        emit replyReceived(ev.frame);
        if (!answers(ev.frame)) {
            emit replyIgnored(ev.raw);
            if (!knownCode(ev.frame.command)) feedback.status.ShowStatus(QStringLiteral("Undefined data"));
            continue;
        }
        if (!wellFormed(ev.frame)) {
            feedback.status.ShowStatus(QStringLiteral("Invalid data"));
            noteDamaged();
            continue;
        }
        const Exchange ex = *inFlight_;
        inFlight_.reset();
        feedback.bar.tmr1.switchOff();
        dispatch(ev.frame, ex);
    }
}

void DeviceLink::dispatch(const ReplyFrame& f, const Exchange& ex) {
    validCom.assign(f);
    const qint32 a = f.address;
    switch (ex.kind) {
        case Exchange::Kind::Login:
            feedback.status.ShowStatus(QStringLiteral("Reading basic setting"));
            emit operationFinished(login.ReceivePassword(validCom.Buffer.data())
                                       ? OpOutcome::Ok
                                       : OpOutcome::WrongPassword);
            return;
        case Exchange::Kind::Command:
            dispatchCommand(f);
            return;
        case Exchange::Kind::Page:
            break;
    }
    if (!ex.transfer) return;
    Tsend_rec_command& t = *ex.transfer;
    if (f.command == cmd::ReadBlock) {
        if (a < devaddr::SettingsEnd) {
            feedback.status.ShowStatus(QStringLiteral("Reading basic setting"));
        } else if (a < devaddr::HistoryBase) {
            feedback.status.ShowStatus(
                QStringLiteral("Reading number list:%1/%2").arg(t.PageNext).arg(t.PageTotal));
            if (t.PageTotal != 0)
                feedback.progress.SetProgress(quint16(uint(t.PageNext) * 100 / t.PageTotal));
        } else {
            feedback.status.ShowStatus(QStringLiteral("Reading historical data:%1/%2")
                                  .arg(int(t.PageNext) - 1)
                                  .arg(t.PageTotal));
            if (t.PageNext != 0 && t.PageTotal != 0)
                feedback.progress.SetProgress(quint16(uint(t.PageNext) * 100 / t.PageTotal));
        }
        t.storeReply(a, f.payload);
        t.handleReadReply();
        return;
    }
    // Write acknowledgement.
    if (a < devaddr::SettingsEnd) {
        feedback.status.ShowStatus(QStringLiteral("Save basic settings"));
    } else {
        feedback.status.ShowStatus(QStringLiteral("Save number list:%1/%2").arg(t.PageNext).arg(t.PageTotal));
        if (t.PageTotal != 0) feedback.progress.SetProgress(quint16(uint(t.PageNext) * 100 / t.PageTotal));
    }
    t.storeReply(a, f.payload);
    if (accepted(f))
        t.writeAccepted();
    else
        t.finish(OpOutcome::Refused);
}

void DeviceLink::dispatchCommand(const ReplyFrame& f) {
    const bool ok = accepted(f);
    switch (f.command) {
        case cmd::TimeSync:
            feedback.status.ShowStatus(QStringLiteral("Receives the data synchronization command returns"));
            feedback.prompts.message(ok ? QString::fromUtf8("1同步时间返回正确")
                               : QString::fromUtf8("0同步时间返回错误"));
            break;
        case cmd::CheckingMode:
            feedback.status.ShowStatus(QStringLiteral("Checking mode"));
            feedback.prompts.message(ok ? QStringLiteral("Enter") : QStringLiteral("Error"));
            break;
        case cmd::DeleteHistory:
            feedback.status.ShowStatus(QStringLiteral("Delete command"));
            feedback.prompts.message(ok ? QStringLiteral("Historical data deleted")
                               : QStringLiteral("Historical data delet error"));
            break;
        default:
            break;
    }
    emit operationFinished(ok ? OpOutcome::Ok : OpOutcome::Refused);
}

void DeviceLink::noteDamaged() {
    if (!inFlight_) return;
    damagedSend_ = sends_;
    if (!settle_.isActive()) settle_.start(midFrameSilenceMs);
}

void DeviceLink::settleTimer() {
    if (!inFlight_ || damagedSend_ != sends_) return;
    const qint64 quiet = lastByte_.isValid() ? lastByte_.elapsed() : midFrameSilenceMs;
    if (quiet < midFrameSilenceMs || recData.collecting()) {
        settle_.start(int(qMax<qint64>(1, midFrameSilenceMs - quiet)));
        return;
    }
    failInFlight(OpOutcome::InvalidData, QStringLiteral("damaged reply"));
}

void DeviceLink::failInFlight(OpOutcome outcome, const QString& why) {
    if (!inFlight_) return;
    // One failure per request sent: several damaged frames of one answer
    // count once.
    if (failedSend_ == sends_) return;
    failedSend_ = sends_;
    if (inFlight_->retriesLeft > 0) {
        --inFlight_->retriesLeft;
        emit retrying(why);
        transmit(inFlight_->frame, QStringLiteral("Retrying: %1").arg(inFlight_->statusText));
        return;
    }
    const Exchange ex = *inFlight_;
    inFlight_.reset();
    feedback.bar.tmr1.switchOff();
    if (outcome == OpOutcome::TimedOut) emit receiveTimedOut();
    endExchange(ex, outcome);
}

void DeviceLink::endExchange(const Exchange& ex, OpOutcome outcome) {
    if (ex.kind == Exchange::Kind::Page && ex.transfer) {
        ex.transfer->finish(outcome);
        return;
    }
    if (ex.kind == Exchange::Kind::Login) login.Verifying = 0;
    if (outcome == OpOutcome::Cancelled) {
        feedback.status.ShowStatus(QStringLiteral("Stopped"));
        feedback.progress.SetProgress(100);
    } else {
        reportFailure(outcome);
    }
    emit operationFinished(outcome);
}

void DeviceLink::reportFailure(OpOutcome outcome) {
    switch (outcome) {
        case OpOutcome::TimedOut:
            // The assembler starts afresh: a reply that arrives while the box
            // is shown must be collected from its start.
            recData.reset();
            silence_.stop();
            feedback.bar.setPanelText(QString());
            feedback.progress.SetProgress(100);
            feedback.prompts.inform(QStringLiteral("Receive timeout"));
            break;
        case OpOutcome::InvalidData:
            feedback.status.ShowStatus(QStringLiteral("Invalid data"));
            feedback.progress.SetProgress(100);
            break;
        case OpOutcome::LinkLost:
            recData.reset();
            silence_.stop();
            feedback.progress.SetProgress(100);
            break;
        default:
            break;
    }
}

void DeviceLink::tmr1Timer() {
    feedback.bar.tmr1.switchOff();
    // No request, no time-out.
    if (!inFlight_) return;
    const quint64 sent = sends_;
    if (recData.collecting()) {
        // A reply may be complete behind a false start.
        silence_.stop();
        recData.flush(events_);
        drain();
    }
    if (inFlight_ && sends_ == sent) failInFlight(OpOutcome::TimedOut, QStringLiteral("no answer"));
}

void DeviceLink::silenceTimer() {
    if (!recData.collecting()) return;
    const qint64 quiet = lastByte_.isValid() ? lastByte_.elapsed() : midFrameSilenceMs;
    if (quiet < midFrameSilenceMs) {
        silence_.start(int(midFrameSilenceMs - quiet));
        return;
    }
    const quint64 sent = sends_;
    const int before = events_.size();
    recData.flush(events_);
    bool anyValid = false;
    for (int i = before; i < events_.size(); ++i)
        if (events_[i].kind == AssemblerEvent::Valid) anyValid = true;
    drain();
    // The line fell silent in the middle of a frame that held no reply: the
    // answer was cut short. Ask again now rather than at the watchdog.
    if (!anyValid && inFlight_ && sends_ == sent)
        failInFlight(OpOutcome::InvalidData, QStringLiteral("reply cut short"));
}

void DeviceLink::cancelActive() {
    endRunning(OpOutcome::Cancelled);
}

void DeviceLink::portLost() {
    recData.reset();
    silence_.stop();
    endRunning(OpOutcome::LinkLost);
}

void DeviceLink::endRunning(OpOutcome outcome) {
    if (active_) {
        active_->finish(outcome);
        return;
    }
    if (!inFlight_) return;
    const Exchange ex = *inFlight_;
    inFlight_.reset();
    feedback.bar.tmr1.switchOff();
    endExchange(ex, outcome);
}

void DeviceLink::transferStarted(Tsend_rec_command* t) {
    const bool was = active_ != nullptr;
    active_ = t;
    if (!was) emit transferRunning(true);
}

void DeviceLink::transferEnded(Tsend_rec_command* t, OpOutcome outcome) {
    const bool pending = inFlight_ && inFlight_->transfer == t;
    if (pending) {
        inFlight_.reset();
        feedback.bar.tmr1.switchOff();
    }
    if (active_ == t) {
        active_ = nullptr;
        emit transferRunning(false);
    }
    emit transferFinished(t, outcome == OpOutcome::Ok);
    switch (outcome) {
        case OpOutcome::Ok: {
            const QString text = t->successText();
            if (!text.isEmpty()) feedback.prompts.inform(text);
            break;
        }
        case OpOutcome::Refused:
            feedback.progress.SetProgress(100);
            feedback.prompts.message(t->refusalText());
            break;
        case OpOutcome::Mismatch: {
            const QStringList& d = t->verifyDifferences();
            QStringList shown = d.mid(0, 20);
            if (d.size() > 20) shown << QStringLiteral("... (%1 more)").arg(d.size() - 20);
            feedback.prompts.message(
                QStringLiteral("The device does not hold what was saved (%1 difference(s)):\n")
                    .arg(d.size()) +
                shown.join(QLatin1Char('\n')));
            break;
        }
        case OpOutcome::Cancelled: {
            const int done = qMax(0, int(t->PageNext) - 1 - (pending ? 1 : 0));
            feedback.status.ShowStatus(
                QStringLiteral("Stopped after page %1/%2").arg(qMin(done, int(t->PageTotal))).arg(t->PageTotal));
            feedback.progress.SetProgress(100);
            break;
        }
        default:
            reportFailure(outcome);
            break;
    }
    emit operationFinished(outcome);
}

void DeviceLink::recordTo(TrafficLog& log) {
    connect(this, &DeviceLink::requestSent, &log, &TrafficLog::addSent);
    connect(this, &DeviceLink::frameReceived, &log, &TrafficLog::addReceived);
    connect(this, &DeviceLink::replyRejected, &log, [&log](int kind, const QByteArray&) {
        if (kind == AssemblerEvent::Oversize)
            log.addEvent(QStringLiteral("Invalid data: length above 256"));
    });
    connect(this, &DeviceLink::receiveTimedOut, &log,
            [&log] { log.addEvent(QStringLiteral("Receive timeout")); });
    connect(this, &DeviceLink::replyIgnored, &log, [&log](const QByteArray&) {
        log.addEvent(QStringLiteral("Ignored: the frame above answers no request in flight"));
    });
    connect(this, &DeviceLink::retrying, &log, [&log](const QString& why) {
        log.addEvent(QStringLiteral("Asked again: %1").arg(why));
    });
}
