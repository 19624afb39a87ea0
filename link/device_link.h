#pragma once
// The device link's hub: request sending, the reply dispatcher and the
// status bar state.
//
// cm1ReceiveData runs once per received byte, on the one thread that runs all
// program logic. It switches the request watchdog off, reassembles the frame
// and routes every valid reply by its own command code and address; the
// dispatcher keeps no list of outstanding requests.
//
//   read block  (0x83)  below 0x1000      -> log-in check, or settings pages
//                       0x1000..0x2FFFF   -> number list
//                       0x30000 and above -> history
//   write block (0x82)  below 0x1000      -> settings save
//                       0x1000..0x2FFFF   -> number list save
//   0x03 / 0x04 / 0x85                    -> answered here with a message
//
// Message boxes keep the event loop running, so bytes that arrive while one
// is open are handled by nested calls. Finished frames therefore go through a
// FIFO that every call level drains: nested calls never reorder frames and an
// outer call never discards what a nested one collected.

#include <functional>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVector>

#include "link/assembler.h"
#include "link/byte_sink.h"
#include "link/indicators.h"
#include "link/login.h"
#include "link/prompts.h"
#include "link/transfer.h"

class DeviceLink : public QObject {
    Q_OBJECT
public:
    explicit DeviceLink(Prompts& prompts, QObject* parent = nullptr);

    Prompts& prompts;
    ByteSink* port = nullptr;  // the serial port, or a test fake

    StatusBarModel bar;
    Tstatusbar_ctrl status{bar};
    Tprogressbar_ctrl progress{bar};

    TRecData recData;
    TRecValidCom validCom;

    Tpasswordverify login{*this};
    Tsingalcmd checkingMode{*this, cmd::CheckingMode};
    Tsingalcmd deleteHistory{*this, cmd::DeleteHistory};
    Tsynchronizationtime_sc timeSync{*this};

    // The paged transfers; set by whoever creates them. A reply for a range
    // whose transfer is missing is dropped.
    Tsend_rec_command* basicInf = nullptr;
    Tsend_rec_command* telephoneSend = nullptr;
    Tsend_rec_command* historyInf = nullptr;

    // A silence this long in the middle of a frame means the rest will not
    // come (at 115200 baud a whole 265-byte frame takes 23 ms).
    int midFrameSilenceMs = 250;

    // Read every page back after a save and compare it with what was sent;
    // the save's success message comes only when everything matched.
    bool verifyWrites = false;

    // Asked before a save writes anything; false cancels the save.
    std::function<bool(Tsend_rec_command*)> beforeWrite;

    void cm1ReceiveData(quint8 byte);
    void sendRequest(const QByteArray& frame, const QString& statusText);
    void tmr1Timer();

    // The paged transfer running now, if any.
    Tsend_rec_command* activeTransfer() const { return active_; }
    // Stops the running transfer after the page in flight.
    void cancelActive();

    // Called by the transfers.
    void transferStarted(Tsend_rec_command* t);
    void transferEnded(Tsend_rec_command* t, bool ok);
    void transferCancelled(int pagesDone, int pageTotal);

signals:
    void requestSent(const QByteArray& frame);
    void replyReceived(const ReplyFrame& frame);
    // Every finished frame as received (start marker included), valid or not.
    void frameReceived(const QByteArray& raw, bool valid);
    // A frame that was dropped: AssemblerEvent::Kind and the bytes received.
    void replyRejected(int kind, const QByteArray& raw);
    void receiveTimedOut();
    void transferRunning(bool running);
    // A paged transfer has ended: completed (ok) or stopped (refused, timed
    // out, cancelled, a page that could not be built).
    void transferFinished(Tsend_rec_command* transfer, bool ok);

private:
    void drain();
    void dispatch(const ReplyFrame& frame);
    void reportTimeout();
    void silenceTimer();

    QVector<AssemblerEvent> events_;
    // Mid-frame silence: the time of the last byte, checked by a timer that
    // is armed once per frame rather than restarted for every byte.
    QTimer silence_;
    QElapsedTimer lastByte_;
    Tsend_rec_command* active_ = nullptr;
};
