#pragma once
// Every frame sent and received, and the link's events (time-outs, dropped
// frames), for the traffic view and for support requests.
//
// Appending costs a small record and no formatting; records reach the model
// in batches (every 100 ms), so a transfer is never slowed by the view. The
// newest 20 000 records are kept.

#include <deque>
#include <QAbstractTableModel>
#include <QByteArray>
#include <QDateTime>
#include <QTimer>
#include <QVector>

struct ReplyFrame;

class TrafficLog : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Direction { Sent, Received, Event };
    struct Record {
        qint64 msecsSinceEpoch = 0;
        Direction direction = Event;
        QByteArray bytes;  // the frame, start marker included
        QString event;     // Event records: what happened
        bool checksumOk = true;
    };
    enum Column { Time, Dir, Command, Address, Length, Checksum, Bytes, ColumnCount };
    // True for records a reader should notice: bad checksums and events.
    static constexpr int AlertRole = Qt::UserRole + 1;

    explicit TrafficLog(QObject* parent = nullptr);

    static constexpr int Capacity = 20000;
    bool enabled = true;

    void addSent(const QByteArray& frame);
    void addReceived(const QByteArray& frame, bool checksumOk);
    void addEvent(const QString& text);
    void clear();
    void flush();  // pending records into the model now

    int size() const { return int(records_.size()); }
    const Record& at(int i) const { return records_[size_t(i)]; }

    // One line per record, for a text file.
    static QString line(const Record& r);
    QString toText() const;
    bool saveText(const QString& path, QString* error) const;

    static QString commandName(quint8 code);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

private:
    void add(Record r);
    static QString cell(const Record& r, int column);

    std::deque<Record> records_;
    QVector<Record> pending_;
    QTimer batch_;
};
