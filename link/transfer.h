#pragma once
// The paged transfer: one mechanism for the settings (2 pages), the number
// list (375 pages) and the history (500 pages).
//
// A button sets PageTotal and PageNext = 1 and calls ReadNext or WriteNext.
// "Next" sends the request for page PageNext and raises PageNext, or, when
// PageNext is PageTotal + 1, finishes. Each reply handler decodes or checks
// the acknowledgement and calls "next" again, from inside the dispatch of
// that reply: the protocol is stop-and-wait, one request outstanding. The
// link retries a missing or damaged reply once; a second failure, a refusal,
// Stop or a lost port end the chain through finish(), and pressing the button
// again starts from page 1.

#include <array>
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include "link/outcome.h"
#include "link/packet.h"

class DeviceLink;

class TTemplate {
public:
    virtual ~TTemplate() = default;
    qint32 Address = 0;                                // address of the last reply
    std::array<quint8, devaddr::PayloadMax> Buffer{};  // its payload, or the page being built

    // Stores a reply: its address, and its payload over the start of Buffer
    // (bytes beyond the payload keep their previous content).
    void storeReply(qint32 address, const QByteArray& payload);
};

class Tsend_rec_command : public TTemplate {
public:
    explicit Tsend_rec_command(DeviceLink& link) : link_(link) {}

    quint16 PageTotal = 0;
    quint16 PageNext = 0;  // 1-based; one more than the page whose request is in flight

    enum class Mode { Idle, Reading, Writing, Verifying };
    Mode mode() const { return mode_; }
    bool running() const { return mode_ != Mode::Idle; }
    // Whether the chain started last was a save (else a read).
    bool lastChainWasWrite() const { return lastWasWrite_; }

    // Starts a chain of `total` pages from page 1. False when nothing was
    // started (another operation runs, or the save was declined).
    bool startRead(quint16 total);
    bool startWrite(quint16 total);
    // Advance the chain; ignored while no chain runs, so a reply that comes
    // after the end can never restart it.
    void ReadNext();
    void WriteNext();

    // A read reply has been stored in Address/Buffer: decodes it, or while a
    // save is being verified compares it with the page that was written.
    void handleReadReply();

    // Stop / Esc: ends the chain at once.
    void cancel() { finish(OpOutcome::Cancelled); }

    // The one way out of a running chain, whatever the reason: the mode goes
    // back to Idle and the link reports the outcome once. Ignored when idle.
    void finish(OpOutcome outcome);

    virtual void ReadPage(int page) = 0;
    // False when the page could not be built; the chain stops there.
    virtual bool WritePage(int page) { return false; }
    // A read reply has been stored in Address/Buffer: decode it, then ReadNext().
    virtual void DecodePage() = 0;

    // What differs between a page as written and as read back, in the user's
    // terms (slots, setting rows). By default: the byte offsets.
    virtual QStringList describeDifferences(int page, const QByteArray& written,
                                            const QByteArray& read) const;

    // The message of a completed read or save (empty: none), and of a page
    // the device refused.
    virtual QString successText() const { return {}; }
    virtual QString refusalText() const { return {}; }

    // Pages written by the last save, by device address.
    const QMap<qint32, QByteArray>& writtenPages() const { return written_; }
    // Differences found by the last verification.
    const QStringList& verifyDifferences() const { return differences_; }

protected:
    // Builds what a save will send, before anything is sent; false (after
    // telling the user why) stops the save with nothing sent.
    virtual bool prepareWrite() { return true; }
    // The work that completes a chain (no messages): run before the end is
    // reported.
    virtual void readFinished() {}
    virtual void writeFinished() {}
    virtual void beforeWritePage(int page) {}

    void sendRead(qint32 address, const QString& statusText);
    void sendWrite(qint32 address, const QString& statusText);  // payload: Buffer

    DeviceLink& link_;

private:
    void verifyNext();
    void verifyPage();

    Mode mode_ = Mode::Idle;
    bool lastWasWrite_ = false;
    QMap<qint32, QByteArray> written_;
    QStringList differences_;
};
