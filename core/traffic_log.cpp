#include "core/traffic_log.h"

#include <QFile>
#include <QSaveFile>


TrafficLog::TrafficLog(QObject* parent) : QAbstractTableModel(parent) {
    batch_.setInterval(100);
    batch_.setSingleShot(true);
    connect(&batch_, &QTimer::timeout, this, &TrafficLog::flush);
}

void TrafficLog::addSent(const QByteArray& frame) {
    if (!enabled) return;
    add({QDateTime::currentMSecsSinceEpoch(), Sent, frame, {}, true});
}

void TrafficLog::addReceived(const QByteArray& frame, bool checksumOk) {
    if (!enabled) return;
    add({QDateTime::currentMSecsSinceEpoch(), Received, frame, {}, checksumOk});
}

void TrafficLog::addEvent(const QString& text) {
    if (!enabled) return;
    add({QDateTime::currentMSecsSinceEpoch(), Event, {}, text, true});
}

void TrafficLog::add(Record r) {
    pending_.append(std::move(r));
    if (pending_.size() > Capacity) pending_.remove(0, pending_.size() - Capacity);
    if (!batch_.isActive()) batch_.start();
}

void TrafficLog::flush() {
    batch_.stop();
    if (pending_.isEmpty()) return;
    const int overflow = int(records_.size()) + int(pending_.size()) - Capacity;
    if (overflow > 0) {
        const int drop = qMin(overflow, int(records_.size()));
        beginRemoveRows({}, 0, drop - 1);
        records_.erase(records_.begin(), records_.begin() + drop);
        endRemoveRows();
    }
    const int first = int(records_.size());
    beginInsertRows({}, first, first + int(pending_.size()) - 1);
    for (Record& r : pending_) records_.push_back(std::move(r));
    endInsertRows();
    pending_.clear();
}

void TrafficLog::clear() {
    beginResetModel();
    records_.clear();
    pending_.clear();
    endResetModel();
}

QString TrafficLog::commandName(quint8 code) {
    switch (code) {
        case 0x03:
            return QStringLiteral("time sync");
        case 0x04:
            return QStringLiteral("checking mode");
        case 0x82:
            return QStringLiteral("write block");
        case 0x83:
            return QStringLiteral("read block");
        case 0x85:
            return QStringLiteral("delete history");
        default:
            return QStringLiteral("0x%1").arg(code, 2, 16, QLatin1Char('0'));
    }
}

QString TrafficLog::cell(const Record& r, int column) {
    const QByteArray& b = r.bytes;
    const bool framed = b.size() >= 8;
    switch (column) {
        case Time:
            return QDateTime::fromMSecsSinceEpoch(r.msecsSinceEpoch)
                .toString(QStringLiteral("HH:mm:ss.zzz"));
        case Dir:
            return r.direction == Sent       ? QStringLiteral("TX")
                   : r.direction == Received ? QStringLiteral("RX")
                                             : QStringLiteral("--");
        case Command:
            if (r.direction == Event) return r.event;
            return b.size() >= 2 ? commandName(quint8(b[1])) : QString();
        case Address:
            if (!framed) return {};
            return QStringLiteral("%1").arg((quint32(quint8(b[2])) << 24) |
                                                (quint32(quint8(b[3])) << 16) |
                                                (quint32(quint8(b[4])) << 8) | quint8(b[5]),
                                            5, 16, QLatin1Char('0'));
        case Length:
            return framed ? QString::number(quint8(b[6]) * 256 + quint8(b[7])) : QString();
        case Checksum:
            if (r.direction == Event) return {};
            return r.checksumOk ? QStringLiteral("ok") : QStringLiteral("BAD");
        case Bytes:
            return QString::fromLatin1(b.toHex(' '));
    }
    return {};
}

QString TrafficLog::line(const Record& r) {
    QStringList parts;
    for (int c = 0; c < ColumnCount; ++c) parts << cell(r, c);
    return parts.join(QLatin1Char('\t'));
}

QString TrafficLog::toText() const {
    QString out = QStringLiteral("time\tdir\tcommand\taddress\tlength\tchecksum\tbytes\n");
    for (const Record& r : records_) out += line(r) + QLatin1Char('\n');
    for (const Record& r : pending_) out += line(r) + QLatin1Char('\n');
    return out;
}

bool TrafficLog::saveText(const QString& path, QString* error) const {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text) || f.write(toText().toUtf8()) < 0 ||
        !f.commit()) {
        if (error) *error = f.errorString();
        return false;
    }
    return true;
}

int TrafficLog::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(records_.size());
}
int TrafficLog::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrafficLog::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(records_.size())) return {};
    const Record& r = records_[size_t(index.row())];
    if (role == Qt::DisplayRole) return cell(r, index.column());
    if (role == AlertRole) return !r.checksumOk || r.direction == Event;
    // An event's text is often wider than its column.
    if (role == Qt::ToolTipRole && r.direction == Event && index.column() == Command)
        return r.event;
    return {};
}

QVariant TrafficLog::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* names[ColumnCount] = {"Time",   "Dir",      "Command", "Address",
                                             "Length", "Checksum", "Bytes"};
    return QString::fromLatin1(names[section]);
}
