#include "link/device_link.h"

namespace {

bool accepted(const ReplyFrame& f) {
    return !f.payload.isEmpty() && quint8(f.payload[0]) == 1;
}

}  // namespace

DeviceLink::DeviceLink(Prompts& p, QObject* parent) : QObject(parent), prompts(p) {
    connect(&bar.tmr1, &SwitchTimer::expired, this, &DeviceLink::tmr1Timer);
    silence_.setSingleShot(true);
    connect(&silence_, &QTimer::timeout, this, &DeviceLink::silenceTimer);
}

void DeviceLink::sendRequest(const QByteArray& frame, const QString& statusText) {
    if (port) port->SendBytes(frame);
    emit requestSent(frame);
    status.ShowStatus(statusText);
    bar.tmr1.switchOn();
}

void DeviceLink::cm1ReceiveData(quint8 byte) {
    bar.tmr1.switchOff();
    status.ShowStatus(QStringLiteral("Data communication"));
    recData.feed(byte, events_);
    if (recData.collecting()) {
        lastByte_.start();
        if (!silence_.isActive()) silence_.start(midFrameSilenceMs);
    } else if (silence_.isActive()) {
        silence_.stop();
    }
    drain();
}

void DeviceLink::drain() {
    while (!events_.isEmpty()) {
        const AssemblerEvent ev = events_.takeFirst();
        emit frameReceived(ev.raw, ev.kind == AssemblerEvent::Valid);
        if (ev.kind == AssemblerEvent::Valid) {
            emit replyReceived(ev.frame);
            dispatch(ev.frame);
        } else {
            emit replyRejected(ev.kind, ev.raw);
            status.ShowStatus(QStringLiteral("Invalid data"));
        }
    }
}

void DeviceLink::dispatch(const ReplyFrame& f) {
    validCom.assign(f);
    const qint32 a = f.address;
    switch (f.command) {
        case cmd::ReadBlock:
            if (a < devaddr::SettingsEnd) {
                status.ShowStatus(QStringLiteral("Reading basic setting"));
                if (login.Verifying) {
                    login.ReceivePassword(validCom.Buffer.data());
                } else if (basicInf) {
                    basicInf->storeReply(a, f.payload);
                    basicInf->handleReadReply();
                }
            } else if (a < devaddr::HistoryBase) {
                if (!telephoneSend) return;
                Tsend_rec_command& t = *telephoneSend;
                status.ShowStatus(
                    QStringLiteral("Reading number list:%1/%2").arg(t.PageNext).arg(t.PageTotal));
                if (t.PageTotal != 0)
                    progress.SetProgress(quint16(uint(t.PageNext) * 100 / t.PageTotal));
                t.storeReply(a, f.payload);
                t.handleReadReply();
            } else {
                if (!historyInf) return;
                Tsend_rec_command& h = *historyInf;
                status.ShowStatus(QStringLiteral("Reading historical data:%1/%2")
                                      .arg(int(h.PageNext) - 1)
                                      .arg(h.PageTotal));
                if (h.PageNext != 0 && h.PageTotal != 0)
                    progress.SetProgress(quint16(uint(h.PageNext) * 100 / h.PageTotal));
                h.storeReply(a, f.payload);
                h.handleReadReply();
            }
            break;
        case cmd::WriteBlock:
            if (a < devaddr::SettingsEnd) {
                status.ShowStatus(QStringLiteral("Save basic settings"));
                if (!basicInf) return;
                basicInf->storeReply(a, f.payload);
                if (accepted(f)) {
                    basicInf->WriteNext();
                } else {
                    basicInf->abandon();
                    prompts.message(QStringLiteral("Basic setting error"));
                }
            } else if (a < devaddr::HistoryBase) {
                if (!telephoneSend) return;
                Tsend_rec_command& t = *telephoneSend;
                status.ShowStatus(
                    QStringLiteral("Save number list:%1/%2").arg(t.PageNext).arg(t.PageTotal));
                if (t.PageTotal != 0)
                    progress.SetProgress(quint16(uint(t.PageNext) * 100 / t.PageTotal));
                t.storeReply(a, f.payload);
                if (accepted(f)) {
                    t.WriteNext();
                } else {
                    t.abandon();
                    prompts.message(QStringLiteral("Number list data error"));
                }
            } else {
                status.ShowStatus(QStringLiteral("Undefined address"));
            }
            break;
        case cmd::TimeSync:
            status.ShowStatus(QStringLiteral("Receives the data synchronization command returns"));
            prompts.message(accepted(f) ? QString::fromUtf8("1同步时间返回正确")
                                        : QString::fromUtf8("0同步时间返回错误"));
            break;
        case cmd::CheckingMode:
            status.ShowStatus(QStringLiteral("Checking mode"));
            prompts.message(accepted(f) ? QStringLiteral("Enter") : QStringLiteral("Error"));
            break;
        case cmd::DeleteHistory:
            status.ShowStatus(QStringLiteral("Delete command"));
            prompts.message(accepted(f) ? QStringLiteral("Historical data deleted")
                                        : QStringLiteral("Historical data delet error"));
            break;
        default:
            status.ShowStatus(QStringLiteral("Undefined data"));
            break;
    }
}

void DeviceLink::reportTimeout() {
    // The assembler is reset before the box opens: a reply that arrives while
    // the box is shown must be collected from its start.
    recData.reset();
    silence_.stop();
    if (active_) active_->abandon();
    emit receiveTimedOut();
    bar.setPanelText(QString());
    progress.SetProgress(100);
    prompts.inform(QStringLiteral("Receive timeout"));
}

void DeviceLink::tmr1Timer() {
    bar.tmr1.switchOff();
    reportTimeout();
}

void DeviceLink::silenceTimer() {
    if (!recData.collecting()) return;
    const qint64 quiet = lastByte_.isValid() ? lastByte_.elapsed() : midFrameSilenceMs;
    if (quiet < midFrameSilenceMs) {
        silence_.start(int(midFrameSilenceMs - quiet));
        return;
    }
    const int before = events_.size();
    recData.flush(events_);
    bool anyValid = false;
    for (int i = before; i < events_.size(); ++i)
        if (events_[i].kind == AssemblerEvent::Valid) anyValid = true;
    if (anyValid) {
        drain();
    } else {
        events_.resize(before);
        reportTimeout();
    }
}

void DeviceLink::cancelActive() {
    if (active_) active_->cancel();
}

void DeviceLink::transferStarted(Tsend_rec_command* t) {
    const bool was = active_ != nullptr;
    active_ = t;
    if (!was) emit transferRunning(true);
}

void DeviceLink::transferEnded(Tsend_rec_command* t, bool ok) {
    if (active_ == t) {
        active_ = nullptr;
        emit transferRunning(false);
    }
    emit transferFinished(t, ok);
}

void DeviceLink::transferCancelled(int pagesDone, int pageTotal) {
    status.ShowStatus(QStringLiteral("Stopped after page %1/%2").arg(pagesDone).arg(pageTotal));
    progress.SetProgress(100);
}
