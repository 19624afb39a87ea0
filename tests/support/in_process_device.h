#pragma once
// The virtual device answering in-process: each frame a FakePort receives goes
// to the device's own answer logic (vdev::DeviceResponder) with its faults, and
// the bytes the line would carry come back at once. Timing faults (late,
// chunked, paced) change nothing here: the bytes arrive together.

#include <QByteArray>
#include <QList>

#include "device_pages.h"
#include "sim/device_responder.h"

class InProcessDevice {
public:
    InProcessDevice() = default;
    // Every settings byte 0xFF instead of the factory page 1.
    static InProcessDevice blankSettings();

    vdev::DeviceResponder state;  // memory, checking mode, clock
    vdev::Faults faults;
    QList<vdev::Frame> requests;  // valid requests in order: request N is reply number N

    // The bytes that come back for one request frame (FakePort::device).
    QByteArray operator()(const QByteArray& frame);

    int requestCount(quint8 code) const;
    // Pages of `region` stored by accepted writes, in order.
    QList<int> pagesWritten(vdev::Region region) const;
    // Forgets the requests and the writes: reply numbers start again at 1.
    void resetCounters();

    QByteArray pageBytes(vdev::Region region, int page) const;
    bool setPageBytes(vdev::Region region, int page, const QByteArray& bytes);
    void fillSampleHistory(int count, quint32 seed = 1) {
        state.memory.fillSampleHistory(count, seed);
    }

private:
    QList<vdev::BlockRef> stored_;
};
