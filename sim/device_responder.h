#pragma once
// What the device does with one valid request, apart from the line: the
// answer logic of the virtual device, its state, and what a faulty line does
// to a reply. VirtualDevice runs it behind a pseudo-terminal; a test can run
// it in-process, feeding it the frames a fake port receives.

#include <array>
#include <chrono>
#include <optional>
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include "sim/device_frame.h"
#include "sim/device_memory.h"

namespace vdev {

// What can happen to one reply on a real line.
enum class ReplyFault {
    BadChecksum,  // the reply with its checksum byte altered
    Noise,        // one stray start marker (0x23) instead of the reply
    Short,        // a valid frame carrying only the first half of the payload
    Late,         // the reply held back for Faults::lateMs
    Duplicate,    // the reply sent twice
    Cut,          // the reply stops after half of its bytes
    Silence,      // no reply at all
    Chunked,      // the reply in 16-byte chunks, Faults::gapMs apart
};
// "bad-checksum", "noise", ... and back; nullopt for an unknown name.
std::optional<ReplyFault> replyFaultNamed(const QString& name);
QString replyFaultName(ReplyFault fault);
QStringList replyFaultNames();

struct Faults {
    QMap<int, ReplyFault> onReply;  // reply number -> what happens to it
    int lateMs = 3500;              // Late: how long the reply is held back
    int gapMs = 100;                // Chunked: the pause between chunks

    bool silent = false;        // answer nothing at all
    int silentAfter = -1;       // answer requests 1..N, then nothing (-1: off)
    int badChecksumReply = 0;   // reply N goes out with a wrong checksum (0: off)
    bool refuseWrites = false;  // every write block is answered 00 and not stored
    int refuseReply = 0;        // reply N, if it acknowledges (0x82, 0x03, 0x04, 0x85), says 00
                                // and the request has no effect
    int cutReply = 0;           // reply N stops after cutAfter bytes (0: off)
    int cutAfter = 0;
    QByteArray garbage;         // bytes sent in front of a reply ...
    int garbageReply = 0;       // ... of reply N only (0: in front of every reply)
    int chunkSize = 0;          // split every reply into chunks of this many bytes (0: off)
    int chunkDelayMs = 0;       // pause before each chunk after the first
    bool corruptStore = false;  // acknowledge writes with 01 but store the block with
                                // its first byte's lowest bit inverted
    bool paced = false;         // 115200 baud timing in both directions
};

// The device's memory and state, and its answers.
class DeviceResponder {
public:
    DeviceMemory memory;
    bool checkingMode = false;
    std::optional<std::array<quint8, 6>> clock;  // the last accepted time sync

    // False when `faults` keep request `number` (1-based) from being answered
    // at all (silent, silentAfter): such a request has no effect either.
    static bool answers(const Faults& faults, int number);
    // The reply frame to request `number` (empty: a code the device does not
    // know), with the request's effect on memory and state applied.
    QByteArray answer(const Frame& request, int number, const Faults& faults);
    // Back to the factory contents and state.
    void reset();
};

// Reply `number` as the line carries it.
struct LineReply {
    QByteArray garbage;  // sent in front of the reply
    QByteArray bytes;    // the reply frame, possibly damaged or cut (even to nothing)
    int copies = 1;
    std::chrono::milliseconds delay{0};
    int chunkSize = 0;     // sent in chunks of this many bytes (0: whole) ...
    int chunkDelayMs = 0;  // ... this far apart

    // Every byte that reaches the other end, in order, timing aside.
    QByteArray wire() const { return garbage + bytes.repeated(copies); }
};
// What `faults` make of `reply` (the answer to `request`, request number
// `number`); nothing when the reply is suppressed.
std::optional<LineReply> lineReply(const QByteArray& reply, const Frame& request, int number,
                                   const Faults& faults);

}  // namespace vdev
