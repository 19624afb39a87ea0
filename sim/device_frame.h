#pragma once
// The device's own side of the frame format. The virtual device deliberately
// shares no code with the configuration tool, so that tests of the tool
// against it check two independent implementations against each other.
//
//   offset 0      1       2..5              6..7             8..7+N    8+N
//          0x23   code    address (MSB 1st) length N (MSB)   payload   XOR
//
// The checksum is the XOR of bytes 1 .. 7+N; the start marker is not part of
// it. N is at most 256 (the device's block size).

#include <chrono>
#include <QByteArray>
#include <QtGlobal>

namespace vdev {

using Clock = std::chrono::steady_clock;

constexpr quint8 StartMarker = 0x23;
constexpr int MaxPayload = 256;

// Command codes the device understands.
constexpr quint8 CmdTimeSync = 0x03;
constexpr quint8 CmdCheckingMode = 0x04;
constexpr quint8 CmdWriteBlock = 0x82;
constexpr quint8 CmdReadBlock = 0x83;
constexpr quint8 CmdDeleteHistory = 0x85;

struct Frame {
    quint8 code = 0;
    quint32 address = 0;
    QByteArray payload;
    bool operator==(const Frame&) const = default;
};

// XOR of frame bytes 1 .. 7+N of `frame` (everything after the start marker
// except the checksum byte itself).
quint8 frameChecksum(const QByteArray& frame);
QByteArray encodeFrame(quint8 code, quint32 address, const QByteArray& payload);

// Collects request frames from a byte stream. Bytes before a start marker are
// ignored. A frame announcing more than 256 payload bytes cannot be a request
// of this protocol and is dropped as soon as its length field is complete; the
// reader then looks for the next start marker. A frame left unfinished for
// longer than `gapTimeout` is abandoned when the next byte arrives, the way a
// device's receive buffer is reset by a pause in the line.
class FrameReader {
public:
    enum class Result { Pending, Complete, BadChecksum, Oversize };

    explicit FrameReader(std::chrono::milliseconds gapTimeout = std::chrono::milliseconds(500))
        : gap_(gapTimeout) {}

    Result feed(quint8 byte, Clock::time_point at);
    // Valid after Complete: the frame, the arrival time of its start marker
    // and its length on the wire.
    const Frame& frame() const { return frame_; }
    Clock::time_point firstByteAt() const { return first_; }
    int wireLength() const { return int(raw_.size()); }
    bool collecting() const { return collecting_; }
    void reset();

private:
    std::chrono::milliseconds gap_;
    bool collecting_ = false;
    QByteArray raw_;  // the frame so far, start marker included
    int need_ = -1;   // total frame length once the length field is known
    Clock::time_point first_{};
    Clock::time_point last_{};
    Frame frame_;
};

}  // namespace vdev
