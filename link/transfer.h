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
#include <optional>
#include <utility>
#include <QVector>
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include "core/outcome.h"
#include "link/packet.h"

class DeviceLink;
class Feedback;

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
    // The transfer speaks to the user through the link's feedback.
    explicit Tsend_rec_command(DeviceLink& link);

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

    // The device page of chain step `step` (1..PageTotal): the page itself,
    // or for a save of changed pages only, the step-th of those.
    int pageAt(int step) const { return plan_ ? plan_->value(step - 1) : step; }

    // What the device is known to hold, by address: each page last read from
    // it or acknowledged as written, on this port. A page whose write was not
    // acknowledged is unknown.
    const QMap<qint32, QByteArray>& deviceHolds() const { return holds_; }
    // Another device, or the same one after the port was closed: nothing is
    // known any more, and the next save writes every page.
    void forgetDevice() { holds_.clear(); }

    // The save being started writes this many pages (after prepareWrite;
    // for beforeWrite); fewer than the whole when only changed pages go.
    int pagesToWrite() const { return plan_ ? int(plan_->size()) : PageTotal; }
    bool writesChangedPagesOnly() const { return plan_.has_value(); }
    // Called from beforeWrite: write every page after all.
    void writeAllPages() { plan_.reset(); }

    // A write acknowledgement said yes: the device holds that page now.
    void writeAccepted();

    // Pages written by the last save, by device address.
    const QMap<qint32, QByteArray>& writtenPages() const { return written_; }
    // Differences found by the last verification.
    const QStringList& verifyDifferences() const { return differences_; }

protected:
    // Builds what a save will send, before anything is sent; false (after
    // telling the user why) stops the save with nothing sent.
    virtual bool prepareWrite() { return true; }
    // The bytes a save will write to `page` (after prepareWrite), with its
    // address; a transfer that returns nothing always writes every page.
    virtual std::optional<std::pair<qint32, QByteArray>> plannedPage(int page) const {
        return std::nullopt;
    }
    // A page read from the device in the form a save compares with its
    // planned pages: by default the bytes as read. A transfer whose decoding
    // does not give back every byte (an erased record reads as an empty row)
    // returns what a save of the decoded rows would write, so that a page the
    // user did not change is not written.
    virtual QByteArray heldForm(const QByteArray& read) const { return read; }
    // The work that completes a chain (no messages): run before the end is
    // reported.
    virtual void readFinished() {}
    virtual void writeFinished() {}
    virtual void beforeWritePage(int page) {}

    void sendRead(qint32 address, const QString& statusText);
    void sendWrite(qint32 address, const QString& statusText);  // payload: Buffer

    DeviceLink& link_;
    Feedback& feedback_;

private:
    void verifyNext();
    void verifyPage();

    void planChangedPages(quint16 total);

    Mode mode_ = Mode::Idle;
    bool lastWasWrite_ = false;
    std::optional<QVector<int>> plan_;  // pages of a changed-pages save
    QMap<qint32, QByteArray> holds_;
    QMap<qint32, QByteArray> written_;
    QStringList differences_;
};
