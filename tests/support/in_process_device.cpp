#include "in_process_device.h"

#include "frames.h"

InProcessDevice InProcessDevice::blankSettings() {
    InProcessDevice d;
    for (int p = 1; p <= vdev::SettingsPages; ++p)
        d.setPageBytes(vdev::Region::Settings, p, QByteArray(vdev::PageSize, char(0xFF)));
    return d;
}

QByteArray InProcessDevice::operator()(const QByteArray& frame) {
    const ParsedFrame parsed = parseFrame(frame);
    if (!parsed.valid) return {};
    const vdev::Frame rq{parsed.code, quint32(parsed.address), parsed.payload};
    requests.append(rq);
    const int number = int(requests.size());
    if (!vdev::DeviceResponder::answers(faults, number)) return {};
    const QByteArray answer = state.answer(rq, number, faults);
    if (rq.code == vdev::CmdWriteBlock && answer.size() > 8 && answer[8] == 1)
        if (const auto block = vdev::blockAt(rq.address)) stored_.append(*block);
    const auto line = vdev::lineReply(answer, rq, number, faults);
    return line ? line->wire() : QByteArray();
}

int InProcessDevice::requestCount(quint8 code) const {
    int n = 0;
    for (const vdev::Frame& f : requests) n += f.code == code;
    return n;
}

QList<int> InProcessDevice::pagesWritten(vdev::Region region) const {
    QList<int> out;
    for (const vdev::BlockRef& b : stored_)
        if (b.region == region) out << b.page;
    return out;
}

void InProcessDevice::resetCounters() {
    requests.clear();
    stored_.clear();
}

QByteArray InProcessDevice::pageBytes(vdev::Region region, int page) const {
    return state.memory.page(region, page);
}

bool InProcessDevice::setPageBytes(vdev::Region region, int page, const QByteArray& bytes) {
    return state.memory.setPage(region, page, bytes);
}
