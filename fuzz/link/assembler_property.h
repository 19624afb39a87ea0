#pragma once
// The reply assembler's contract, checked on a byte stream described by
// arbitrary input:
//
//   op 0, n, n bytes        raw line bytes (noise, false start markers)
//   op 1, code, 4 address bytes, length byte pair, payload
//                           a correctly framed reply (its checksum is computed)
//   op 2                    the line falls silent (flush)
//
// Every reply injected as a whole frame must come out as a valid frame with
// the same code, address and payload, in order, unless a frame that nobody
// injected came out first (noise that happened to form a valid frame and
// swallowed part of a real one). Memory is bounded by construction (fixed
// stores), which the sanitizers check.

#include <QByteArray>
#include <QVector>

#include "link/assembler.h"

namespace assembler_property {

struct Result {
    bool ok = true;
    QByteArray why;
    int injected = 0;
    int delivered = 0;
};

inline QByteArray frameOf(quint8 code, qint32 address, const QByteArray& payload) {
    return TDataPackage::request(
        code, address, reinterpret_cast<const quint8*>(payload.constData()), int(payload.size()));
}

inline Result check(const quint8* data, size_t size) {
    Result r;
    TRecData a;
    QVector<AssemblerEvent> events;
    QVector<ReplyFrame> expected;
    size_t i = 0;
    auto next = [&](quint8& out) {
        if (i >= size) return false;
        out = data[i++];
        return true;
    };
    quint8 op = 0;
    while (next(op)) {
        switch (op % 3) {
            case 0: {
                quint8 n = 0;
                if (!next(n)) break;
                for (int k = 0; k < n && i < size; ++k) a.feed(data[i++], events);
                break;
            }
            case 1: {
                quint8 code = 0, b[4] = {}, l0 = 0, l1 = 0;
                if (!next(code) || !next(b[0]) || !next(b[1]) || !next(b[2]) || !next(b[3]) ||
                    !next(l0) || !next(l1))
                    break;
                const int n = (l0 * 256 + l1) % 257;
                QByteArray payload;
                for (int k = 0; k < n; ++k) payload.append(char(i < size ? data[i++] : quint8(k)));
                const qint32 address = qint32((quint32(b[0]) << 24) | (quint32(b[1]) << 16) |
                                              (quint32(b[2]) << 8) | b[3]);
                expected.append({code, address, payload, 0});
                for (char c : frameOf(code, address, payload)) a.feed(quint8(c), events);
                break;
            }
            default:
                a.flush(events);
                break;
        }
    }
    a.flush(events);
    if (a.collecting() || a.Count != 0) {
        r.ok = false;
        r.why = "assembler not idle after flush";
        return r;
    }
    r.injected = expected.size();
    int e = 0;
    for (const AssemblerEvent& ev : events) {
        if (ev.kind != AssemblerEvent::Valid) continue;
        ++r.delivered;
        if (ev.frame.payload.size() > devaddr::PayloadMax) {
            r.ok = false;
            r.why = "payload above 256 bytes delivered";
            return r;
        }
        if (e < expected.size() && ev.frame.command == expected[e].command &&
            ev.frame.address == expected[e].address && ev.frame.payload == expected[e].payload) {
            ++e;
            continue;
        }
        // A frame nobody injected: noise formed a valid-looking frame, which
        // may overlap a real one. Nothing more can be required of this input.
        return r;
    }
    if (e != expected.size()) {
        r.ok = false;
        r.why = "injected frame " + QByteArray::number(e + 1) + " of " +
                QByteArray::number(expected.size()) + " was not delivered";
    }
    return r;
}

}  // namespace assembler_property
