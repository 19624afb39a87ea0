#pragma once
// A device's memory read a region at a time and changed a record or a few
// bytes at a time: for vdev::VirtualDevice and InProcessDevice alike (both
// have pageBytes() and setPageBytes()).

#include <QByteArray>

#include "sim/device_memory.h"

template <class Device>
QByteArray regionBytes(const Device& device, vdev::Region region) {
    QByteArray out;
    for (int p = 1; p <= vdev::pageCount(region); ++p) out += device.pageBytes(region, p);
    return out;
}

// Replaces `bytes.size()` bytes of one page from `offset` on.
template <class Device>
void putBytes(Device& device, vdev::Region region, int page, int offset, const QByteArray& bytes) {
    QByteArray p = device.pageBytes(region, page);
    p.replace(offset, bytes.size(), bytes);
    device.setPageBytes(region, page, p);
}

// One record of a slot (1-based): numbers have eight 32-byte records to a
// page, the history two of 128 bytes.
template <class Device>
void putRecord(Device& device, vdev::Region region, int slot, const QByteArray& record) {
    const int size = region == vdev::Region::History ? 128 : 32;
    const int perPage = vdev::PageSize / size;
    putBytes(device, region, (slot - 1) / perPage + 1, ((slot - 1) % perPage) * size, record);
}
