#pragma once
// Reassembly of reply frames from single received bytes.
//
// Idle until a start marker 0x23, then Collecting: the bytes after the marker
// are stored in Raw (code, 4 address bytes, 2 length bytes, N payload bytes,
// checksum) until N + 8 of them have arrived; then the checksum decides.
//
// A 0x23 inside a frame is data. Because there is no escaping, a stray 0x23
// (line noise, a byte left over from an earlier frame) can be taken for a
// start marker and hide a real reply behind it. So when a frame fails (bad
// checksum, or a length above the 256-byte block size, which no reply uses)
// only that one start marker is dropped and the bytes collected after it are
// scanned again for a start marker: a good reply behind a false start is
// still found. Likewise when the line falls silent in mid-frame (flush()),
// the collected bytes are rescanned and whatever is still incomplete is
// dropped, so a frame cut short cannot swallow the next reply.
//
// Memory is bounded: Raw holds one maximal frame and a rescan never holds
// more than that.

#include <array>
#include <QByteArray>
#include <QVector>

#include "link/packet.h"

struct ReplyFrame {
    quint8 command = 0;
    qint32 address = 0;
    QByteArray payload;  // N bytes
    quint8 checksum = 0;
};

struct AssemblerEvent {
    enum Kind { Valid, BadChecksum, Oversize };
    Kind kind = Valid;
    ReplyFrame frame;  // Valid only
    QByteArray raw;    // the frame's bytes as received, start marker included
};

class TRecData : public TDataPackage {
public:
    quint8 Receiving = 0;
    qint32 ReceivedChecksum = 0;
    std::array<quint8, devaddr::PayloadMax + 8> Raw{};
    qint32 Count = 0;
    qint32 PayloadLength = 0;

    // One received byte. Finished frames (valid or not) are appended to
    // `events` in the order they end.
    void feed(quint8 byte, QVector<AssemblerEvent>& events);

    // The line fell silent: rescan what was collected, then drop what is
    // still incomplete. The assembler is Idle afterwards.
    void flush(QVector<AssemblerEvent>& events);

    void reset() {
        Receiving = 0;
        Count = 0;
    }
    bool collecting() const { return Receiving != 0; }

private:
    void process(QByteArray& pending, QVector<AssemblerEvent>& events);
    void complete(QByteArray& pending, int resumeAt, QVector<AssemblerEvent>& events);
    void fail(AssemblerEvent::Kind kind, QByteArray& pending, int resumeAt,
              QVector<AssemblerEvent>& events);
};

// The last valid reply frame.
class TRecValidCom {
public:
    quint8 Command = 0;
    qint32 Address = 0;
    quint16 Length = 0;
    std::array<quint8, 258> Buffer{};  // payload followed by the checksum byte

    void assign(const ReplyFrame& frame);
};
