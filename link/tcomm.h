#pragma once
// The serial port link to the device (the window's one instance is `cm1`).
//
// It only moves bytes: SendBytes queues a copy of the request, and every
// received byte is handed to OnReceiveData on the owning thread, one byte per
// call, in arrival order. Line settings are fixed by the device: 115200 baud,
// 8 data bits, no parity, 1 stop bit, no flow control, DTR and RTS held off,
// every byte (0x00 included) passed through unchanged.
//
// Link loss: when the adapter is unplugged (or, for the virtual device, the
// pty master closes), the port is closed at once and linkLost is emitted once.
// Qt reports a vanished device differently across versions (a ReadError storm
// at full CPU, a ResourceError, or nothing at all), so the first read, write,
// resource or unknown error after opening counts as loss, and a light check
// every 250 ms while open catches a hang-up that no error reports.

#include <deque>
#include <functional>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <stdexcept>

#include "link/byte_sink.h"

class ECommsError : public std::runtime_error {
    using runtime_error::runtime_error;
};

class TComm : public QObject, public ByteSink {
    Q_OBJECT
public:
    explicit TComm(QObject* parent = nullptr);
    ~TComm() override;

    QString CommName = QStringLiteral("COM1");  // port name or full device path
    QString PortOpenError;   // text of the last open failure, empty after a good open
    QString PortOpenReason;  // what the user can do about it; may be empty

    // Throws ECommsError (with PortOpenError's text) when the port cannot be
    // opened: "Error opening serial port", or "File handle is not a comm handle "
    // for a name that is not a serial device. Calling it while open leaves the
    // port open and only sets PortOpenError to "This serial port already opened".
    void OpenPort();
    void ClosePort();  // no-op when closed
    bool isOpen() const;
    bool SendBytes(const QByteArray& bytes) override;

    // Called once per received byte, on the thread that owns the TComm, in
    // arrival order. The handler may re-enter the event loop (a modal message
    // box): bytes wait in a FIFO, and whichever call level runs takes the next
    // one, so order is kept and bytes arriving meanwhile are still delivered.
    std::function<void(quint8)> OnReceiveData;

    // The explanation shown to the user for a failed open (Linux: a permission
    // problem names the dialout group). `accessDenied` tells whether the
    // current user lacks read/write access to the device node; a permission
    // error without that means the port is held by another program.
    static QString openFailureReason(QSerialPort::SerialPortError error, const QString& device,
                                     bool accessDenied, const QString& systemText);

signals:
    void linkLost(const QString& reason);  // emitted once; the port is already closed

private:
    void onPortError(QSerialPort::SerialPortError error);
    void onReadyRead();
    void postDrain();
    void deliver();
    void checkAlive();
    void loseLink(const QString& reason);
    void shutDown();

    QSerialPort* port_;
    QTimer watch_;
    QString device_;        // full path of the open device
    bool opening_ = false;  // errors while configuring are not link loss
    std::deque<quint8> fifo_;
    bool drainPosted_ = false;
};

struct SerialPortEntry {
    QString name;         // what CommName takes, e.g. ttyUSB0 or COM3
    QString description;  // adapter description and manufacturer, may be empty
};

// The serial ports the system knows, in the system's order.
class Trecognitionserial {
public:
    static QList<SerialPortEntry> ports();
};
