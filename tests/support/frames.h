#pragma once
// Frames taken apart by the device's own reader (the virtual device's), so
// that a test reads what the tool sent independently of the tool's code.

#include <QByteArray>

#include "sim/device_frame.h"

// `valid` is false unless the bytes start with a whole frame (anything before
// its start marker aside) with a good checksum.
struct ParsedFrame {
    quint8 code = 0;
    qint32 address = -1;
    QByteArray payload;
    bool valid = false;
};

inline ParsedFrame parseFrame(const QByteArray& bytes) {
    vdev::FrameReader reader;
    const auto at = vdev::Clock::now();
    for (char c : bytes)
        if (reader.feed(quint8(c), at) == vdev::FrameReader::Result::Complete) {
            const vdev::Frame& f = reader.frame();
            return {f.code, qint32(f.address), f.payload, true};
        }
    return {};
}
