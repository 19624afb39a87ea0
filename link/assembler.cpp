#include "link/assembler.h"

#include <algorithm>

void TRecData::feed(quint8 byte, QVector<AssemblerEvent>& events) {
    // Fast path: no rescan pending, handle the byte in place.
    if (!Receiving) {
        if (byte == 0x23) Receiving = 1;
        return;
    }
    QByteArray pending(1, char(byte));
    process(pending, events);
}

void TRecData::flush(QVector<AssemblerEvent>& events) {
    // Each round drops the start marker of the frame still open and rescans
    // what followed it; a complete reply behind several false starts is found
    // however far the false frames claimed to reach.
    while (Receiving) {
        QByteArray again(reinterpret_cast<const char*>(Raw.data()), Count);
        reset();
        process(again, events);
    }
}

// Handles the bytes of `pending` in order. A failed frame puts the bytes that
// followed its start marker back in front of what is left, so the loop
// rescans them.
void TRecData::process(QByteArray& pending, QVector<AssemblerEvent>& events) {
    for (int i = 0; i < pending.size(); ++i) {
        const auto b = quint8(pending[i]);
        if (!Receiving) {
            if (b == 0x23) Receiving = 1;
            continue;
        }
        Raw[Count++] = b;
        if (Count == 7) {
            PayloadLength = Raw[5] * 256 + Raw[6];
            if (PayloadLength > devaddr::PayloadMax) {
                fail(AssemblerEvent::Oversize, pending, i + 1, events);
                i = -1;
                continue;
            }
        }
        if (Count >= 8 && Count == PayloadLength + 8) {
            const bool ok = [&] {
                ReceivedChecksum = Raw[7 + PayloadLength];
                Command = Raw[0];
                std::copy(Raw.begin() + 1, Raw.begin() + 5, AddressBytes.begin());
                std::copy(Raw.begin() + 5, Raw.begin() + 7, LengthBytes.begin());
                std::copy(Raw.begin() + 7, Raw.begin() + 7 + PayloadLength, Data.begin());
                ComputeChecksum();
                return Checksum == ReceivedChecksum;
            }();
            if (ok) {
                complete(pending, i + 1, events);
            } else {
                fail(AssemblerEvent::BadChecksum, pending, i + 1, events);
                i = -1;
            }
        }
    }
}

void TRecData::complete(QByteArray&, int, QVector<AssemblerEvent>& events) {
    AssemblerEvent ev;
    ev.kind = AssemblerEvent::Valid;
    ev.frame.command = Raw[0];
    ev.frame.address = qint32((quint32(Raw[1]) << 24) | (quint32(Raw[2]) << 16) |
                              (quint32(Raw[3]) << 8) | quint32(Raw[4]));
    ev.frame.payload = QByteArray(reinterpret_cast<const char*>(Raw.data()) + 7, PayloadLength);
    ev.frame.checksum = Raw[7 + PayloadLength];
    ev.raw.reserve(Count + 1);
    ev.raw.append(char(0x23));
    ev.raw.append(reinterpret_cast<const char*>(Raw.data()), Count);
    reset();
    events.append(std::move(ev));
}

void TRecData::fail(AssemblerEvent::Kind kind, QByteArray& pending, int resumeAt,
                    QVector<AssemblerEvent>& events) {
    AssemblerEvent ev;
    ev.kind = kind;
    ev.raw.append(char(0x23));
    ev.raw.append(reinterpret_cast<const char*>(Raw.data()), Count);
    events.append(ev);
    // Drop only the false start marker: rescan what followed it, then the
    // bytes not yet looked at.
    QByteArray again(reinterpret_cast<const char*>(Raw.data()), Count);
    again.append(pending.constData() + resumeAt, pending.size() - resumeAt);
    pending = again;
    reset();
}

void TRecValidCom::assign(const ReplyFrame& frame) {
    Command = frame.command;
    Address = frame.address;
    Length = quint16(frame.payload.size());
    const int n = std::min<int>(frame.payload.size(), devaddr::PayloadMax);
    std::copy(frame.payload.constBegin(), frame.payload.constBegin() + n, Buffer.begin());
    Buffer[n] = frame.checksum;
}
