#pragma once
// An in-memory transport: records every request and can answer it at once
// (a scripted device) by feeding reply bytes back into a DeviceLink.

#include <functional>
#include <QByteArray>
#include <QList>

#include "frames.h"
#include "link/byte_sink.h"
#include "link/packet.h"

class DeviceLink;

class FakePort : public ByteSink {
public:
    QList<QByteArray> sent;
    bool open = true;
    // Given a request frame, returns the bytes the device answers (may be
    // empty: silence). Called after the request was recorded.
    std::function<QByteArray(const QByteArray&)> device;
    // Where answers go; answers are delivered one byte per call.
    DeviceLink* link = nullptr;
    // Deliver answers later from the event loop instead of inside SendBytes.
    bool deferred = true;

    bool SendBytes(const QByteArray& bytes) override;
};

// A reply frame as the device would send it.
QByteArray replyFrame(quint8 code, qint32 address, const QByteArray& payload);
// Feeds bytes into the link one at a time.
void feedBytes(DeviceLink& link, const QByteArray& bytes);
