#include "sim/device_frame.h"

namespace vdev {

quint8 frameChecksum(const QByteArray& frame) {
    quint8 x = 0;
    for (int i = 1; i < frame.size() - 1; ++i) x ^= quint8(frame[i]);
    return x;
}

QByteArray encodeFrame(quint8 code, quint32 address, const QByteArray& payload) {
    const int n = int(payload.size());
    QByteArray f;
    f.reserve(n + 9);
    f.append(char(StartMarker));
    f.append(char(code));
    f.append(char(address >> 24));
    f.append(char(address >> 16));
    f.append(char(address >> 8));
    f.append(char(address));
    f.append(char(n >> 8));
    f.append(char(n));
    f.append(payload);
    f.append('\0');
    f[f.size() - 1] = char(frameChecksum(f));
    return f;
}

void FrameReader::reset() {
    collecting_ = false;
    raw_.clear();
    need_ = -1;
}

FrameReader::Result FrameReader::feed(quint8 byte, Clock::time_point at) {
    if (collecting_ && at - last_ > gap_) reset();
    last_ = at;
    if (!collecting_) {
        if (byte != StartMarker) return Result::Pending;
        collecting_ = true;
        first_ = at;
        raw_.clear();
        raw_.append(char(byte));
        return Result::Pending;
    }
    raw_.append(char(byte));
    if (raw_.size() == 8) {
        const int n = (quint8(raw_[6]) << 8) | quint8(raw_[7]);
        if (n > MaxPayload) {
            reset();
            return Result::Oversize;
        }
        need_ = n + 9;
    }
    if (need_ < 0 || raw_.size() < need_) return Result::Pending;

    const bool ok = frameChecksum(raw_) == quint8(raw_.back());
    if (ok) {
        frame_.code = quint8(raw_[1]);
        frame_.address = (quint32(quint8(raw_[2])) << 24) | (quint32(quint8(raw_[3])) << 16) |
                         (quint32(quint8(raw_[4])) << 8) | quint32(quint8(raw_[5]));
        frame_.payload = raw_.mid(8, need_ - 9);
    }
    collecting_ = false;
    need_ = -1;
    return ok ? Result::Complete : Result::BadChecksum;
}

}  // namespace vdev
