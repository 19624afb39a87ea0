#pragma once
// The device link's hub: the one request in flight, the reply dispatcher and
// the status bar state.
//
// The protocol is stop-and-wait, so at most one request is outstanding. That
// request is held here, in one record (`Exchange`): which operation sent it,
// its command and address, its frame and the retries it has left. A reply is
// the answer only when it carries the same command and address; anything
// else (late, duplicated, stray) is logged on the Traffic page and otherwise
// ignored: it never advances a chain, never fills a grid, never opens a box.
//
// cm1ReceiveData runs once per received byte, on the one thread that runs all
// program logic. The watchdog runs from the request until a matching reply is
// complete, whatever arrives in between. A reply that is missing, fails its
// checksum, is cut short or has the wrong length is asked for once more (a
// whole-page read or write is idempotent); a second failure ends the
// operation. A refusal (first byte not 1) is not retried.
//
// Message boxes keep the event loop running, so bytes that arrive while one
// is open are handled by nested calls. Finished frames therefore go through a
// FIFO that every call level drains: nested calls never reorder frames and an
// outer call never discards what a nested one collected.

#include <functional>
#include <optional>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVector>

#include "core/feedback.h"
#include "core/outcome.h"
#include "link/assembler.h"
#include "link/byte_sink.h"
#include "link/login.h"
#include "link/transfer.h"

// The request in flight.
struct Exchange {
    enum class Kind { Login, Page, Command };
    Kind kind = Kind::Command;
    Tsend_rec_command* transfer = nullptr;  // Page: the transfer that sent it
    quint8 command = 0;
    qint32 address = 0;
    QByteArray frame;  // as sent, for the retry
    QString statusText;
    int retriesLeft = 1;
};

class TrafficLog;

class DeviceLink : public QObject {
    Q_OBJECT
public:
    explicit DeviceLink(Feedback& feedback, QObject* parent = nullptr);

    Feedback& feedback;        // boxes, status text, progress
    ByteSink* port = nullptr;  // the serial port, or a test fake

    TRecData recData;
    TRecValidCom validCom;

    Tpasswordverify login{*this};
    Tsingalcmd checkingMode{*this, cmd::CheckingMode};
    Tsingalcmd deleteHistory{*this, cmd::DeleteHistory};
    Tsynchronizationtime_sc timeSync{*this};

    // A silence this long in the middle of a frame means the rest will not
    // come. At 115200 baud a whole 265-byte frame takes 23 ms; USB adapters
    // hold back a partly filled packet for their latency timer (FTDI: up to
    // 255 ms), so the limit stays well above that.
    int midFrameSilenceMs = 500;

    // How often a request whose answer is missing or unusable is sent again.
    int retries = 1;

    // Read every page back after a save and compare it with what was sent;
    // the save's success message comes only when everything matched.
    bool verifyWrites = false;

    // Asked before a save writes anything; false cancels the save.
    std::function<bool(Tsend_rec_command*)> beforeWrite;

    void cm1ReceiveData(quint8 byte);

    // Sends a request and makes it the one in flight. The operations call
    // this; `transfer` names the paged transfer of a Page request.
    void sendRequest(const QByteArray& frame, const QString& statusText,
                     Exchange::Kind kind = Exchange::Kind::Command,
                     Tsend_rec_command* transfer = nullptr);
    void tmr1Timer();

    const std::optional<Exchange>& inFlight() const { return inFlight_; }
    // An operation is running (a request is in flight or a transfer is
    // between its pages).
    bool busy() const { return inFlight_.has_value() || active_ != nullptr; }
    // True when a new operation may start; otherwise says why (nothing sent).
    bool admit();

    // The paged transfer running now, if any.
    Tsend_rec_command* activeTransfer() const { return active_; }
    // Stop / Esc: ends the running operation at once, whether or not a reply
    // is coming. A reply that still arrives is ignored.
    void cancelActive();
    // The port went away or was closed: ends the running operation.
    void portLost();

    // The traffic record follows this link's frames and events.
    void recordTo(TrafficLog& log);

    // Called by the transfers: the one way a transfer's end is reported.
    void transferStarted(Tsend_rec_command* t);
    void transferEnded(Tsend_rec_command* t, OpOutcome outcome);

signals:
    void requestSent(const QByteArray& frame);
    void replyReceived(const ReplyFrame& frame);
    // Every finished frame as received (start marker included), valid or not.
    void frameReceived(const QByteArray& raw, bool valid);
    // A frame that was dropped: AssemblerEvent::Kind and the bytes received.
    void replyRejected(int kind, const QByteArray& raw);
    // A valid frame that answers no request in flight.
    void replyIgnored(const QByteArray& raw);
    // The request in flight is being sent again.
    void retrying(const QString& why);
    void receiveTimedOut();
    void transferRunning(bool running);
    // A paged transfer has ended: completed (ok) or stopped.
    void transferFinished(Tsend_rec_command* transfer, bool ok);
    // Any operation (log-in, transfer, single command) has ended, after its
    // message was shown.
    void operationFinished(OpOutcome outcome);

private:
    void transmit(const QByteArray& frame, const QString& statusText);
    void drain();
    bool answers(const ReplyFrame& f) const;
    bool wellFormed(const ReplyFrame& f) const;
    void dispatch(const ReplyFrame& f, const Exchange& ex);
    void dispatchCommand(const ReplyFrame& f);
    void failInFlight(OpOutcome outcome, const QString& why);
    void endExchange(const Exchange& ex, OpOutcome outcome);
    // Ends the running operation, transfer or single exchange.
    void endRunning(OpOutcome outcome);
    void reportFailure(OpOutcome outcome);
    void silenceTimer();
    void noteDamaged();
    void settleTimer();

    QVector<AssemblerEvent> events_;
    // Mid-frame silence: the time of the last byte, checked by a timer that
    // is armed once per frame rather than restarted for every byte.
    QTimer silence_;
    QElapsedTimer lastByte_;
    // A damaged answer is asked for again once the line has been quiet for
    // the silence limit, so that the rest of the same burst (a real reply
    // behind a false start, say) is seen first and not counted against the
    // retry.
    QTimer settle_;
    quint64 damagedSend_ = 0;
    std::optional<Exchange> inFlight_;
    quint64 sends_ = 0;       // requests written, retries included
    quint64 failedSend_ = 0;  // the last of them already counted as failed
    Tsend_rec_command* active_ = nullptr;
};
