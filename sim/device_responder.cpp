#include "sim/device_responder.h"

#include <QList>
#include <QPair>

namespace vdev {

namespace {

bool plausibleTime(const QByteArray& p) {
    if (p.size() != 6) return false;
    const auto b = [&p](int i) { return int(quint8(p[i])); };
    return b(1) >= 1 && b(1) <= 12 && b(2) >= 1 && b(2) <= 31 && b(3) < 24 && b(4) < 60 &&
           b(5) < 60;
}

const QList<QPair<ReplyFault, const char*>>& faultNames() {
    static const QList<QPair<ReplyFault, const char*>> names = {
        {ReplyFault::BadChecksum, "bad-checksum"},
        {ReplyFault::Noise, "noise"},
        {ReplyFault::Short, "short"},
        {ReplyFault::Late, "late"},
        {ReplyFault::Duplicate, "duplicate"},
        {ReplyFault::Cut, "cut"},
        {ReplyFault::Silence, "silence"},
        {ReplyFault::Chunked, "chunked"},
    };
    return names;
}

}  // namespace

std::optional<ReplyFault> replyFaultNamed(const QString& name) {
    for (const auto& [fault, text] : faultNames())
        if (name == QLatin1String(text)) return fault;
    return std::nullopt;
}

QString replyFaultName(ReplyFault fault) {
    for (const auto& [f, text] : faultNames())
        if (f == fault) return QString::fromLatin1(text);
    return {};
}

QStringList replyFaultNames() {
    QStringList out;
    for (const auto& entry : faultNames()) out << QString::fromLatin1(entry.second);
    return out;
}

bool DeviceResponder::answers(const Faults& f, int number) {
    return !f.silent && (f.silentAfter < 0 || number <= f.silentAfter);
}

void DeviceResponder::reset() {
    memory.resetToFactory();
    checkingMode = false;
    clock.reset();
}

QByteArray DeviceResponder::answer(const Frame& rq, int number, const Faults& f) {
    const bool refuse = f.refuseReply == number;
    auto ack = [&rq](bool ok) {
        return encodeFrame(rq.code, rq.address, QByteArray(1, ok ? 1 : 0));
    };
    switch (rq.code) {
        case CmdReadBlock: {
            const auto block = blockAt(rq.address);
            const QByteArray data =
                block ? memory.page(block->region, block->page) : QByteArray(PageSize, char(0xFF));
            return encodeFrame(rq.code, rq.address, data);
        }
        case CmdWriteBlock: {
            const auto block = blockAt(rq.address);
            const bool ok = !refuse && !f.refuseWrites && rq.payload.size() == PageSize && block &&
                            block->region != Region::History;
            if (ok) {
                QByteArray data = rq.payload;
                if (f.corruptStore) data[0] = char(quint8(data[0]) ^ 0x01);
                memory.setPage(block->region, block->page, data);
            }
            return ack(ok);
        }
        case CmdDeleteHistory:
            if (!refuse) memory.eraseHistory();
            return ack(!refuse);
        case CmdCheckingMode:
            if (!refuse) checkingMode = true;
            return ack(!refuse);
        case CmdTimeSync: {
            const bool ok = !refuse && plausibleTime(rq.payload);
            if (ok) {
                std::array<quint8, 6> t{};
                for (int i = 0; i < 6; ++i) t[size_t(i)] = quint8(rq.payload[i]);
                clock = t;
            }
            return ack(ok);
        }
        default:
            return {};
    }
}

std::optional<LineReply> lineReply(const QByteArray& answer, const Frame& rq, int number,
                                   const Faults& f) {
    if (answer.isEmpty()) return std::nullopt;
    LineReply out;
    QByteArray& reply = out.bytes;
    reply = answer;
    out.chunkSize = f.chunkSize;
    out.chunkDelayMs = f.chunkDelayMs;
    if (f.badChecksumReply == number) reply.back() = char(quint8(reply.back()) ^ 0x5A);
    if (f.cutReply == number) reply.truncate(qMax(0, f.cutAfter));
    if (f.onReply.contains(number)) {
        switch (f.onReply.value(number)) {
            case ReplyFault::BadChecksum:
                reply.back() = char(quint8(reply.back()) ^ 0x5A);
                break;
            case ReplyFault::Noise:
                reply = QByteArray(1, char(0x23));
                break;
            case ReplyFault::Short: {
                const QByteArray payload = reply.mid(8, reply.size() - 9);
                reply = encodeFrame(rq.code, rq.address, payload.left(payload.size() / 2));
                break;
            }
            case ReplyFault::Late:
                out.delay = std::chrono::milliseconds(f.lateMs);
                break;
            case ReplyFault::Duplicate:
                out.copies = 2;
                break;
            case ReplyFault::Cut:
                reply.truncate(reply.size() / 2);
                break;
            case ReplyFault::Silence:
                return std::nullopt;
            case ReplyFault::Chunked:
                out.chunkSize = 16;
                out.chunkDelayMs = f.gapMs;
                break;
        }
    }
    if (!f.garbage.isEmpty() && (f.garbageReply == 0 || f.garbageReply == number))
        out.garbage = f.garbage;
    return out;
}

}  // namespace vdev
