#include "link/tcomm.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace {

const QString kOpenError = QStringLiteral("Error opening serial port");
const QString kNotComm = QStringLiteral("File handle is not a comm handle ");
const QString kAlreadyOpen = QStringLiteral("This serial port already opened");

// Where QSerialPort will look for a port name: a full path is taken as it is,
// a bare name is a device under /dev (on Windows, a COM name).
QString deviceLocation(const QString& name) {
#ifdef Q_OS_UNIX
    if (name.startsWith(QLatin1Char('/'))) return name;
    return QStringLiteral("/dev/") + name;
#else
    return name;
#endif
}

QString lostText(const QString& device) {
    return QStringLiteral("Connection lost: %1 was disconnected").arg(device);
}

bool isLinkLossError(QSerialPort::SerialPortError e) {
    return e == QSerialPort::ReadError || e == QSerialPort::WriteError ||
           e == QSerialPort::ResourceError || e == QSerialPort::UnknownError;
}

}  // namespace

TComm::TComm(QObject* parent) : QObject(parent), port_(new QSerialPort(this)) {
    connect(port_, &QSerialPort::errorOccurred, this, &TComm::onPortError);
    connect(port_, &QSerialPort::readyRead, this, &TComm::onReadyRead);
    watch_.setInterval(250);
    connect(&watch_, &QTimer::timeout, this, &TComm::checkAlive);
}

TComm::~TComm() {
    shutDown();
}

bool TComm::isOpen() const {
    return port_->isOpen();
}

QString TComm::openFailureReason(QSerialPort::SerialPortError error, const QString& device,
                                 bool accessDenied, const QString& systemText) {
    switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return QStringLiteral(
                       "%1 does not exist. Check that the adapter is plugged in and "
                       "choose its port from the list.")
                .arg(device);
        case QSerialPort::PermissionError:
            if (accessDenied) {
#ifdef Q_OS_LINUX
                return QStringLiteral(
                           "Permission denied for %1. Your user may not use serial ports: add "
                           "it to the dialout group (sudo usermod -aG dialout $USER), then log "
                           "out and back in.")
                    .arg(device);
#else
                return QStringLiteral("Permission denied for %1.").arg(device);
#endif
            }
            return QStringLiteral(
                       "%1 is in use by another program. Close that program and try "
                       "again.")
                .arg(device);
        case QSerialPort::OpenError:
            return QStringLiteral("%1 is already open.").arg(device);
        default:
            break;
    }
    return systemText.isEmpty() ? QString() : QStringLiteral("%1: %2").arg(device, systemText);
}

void TComm::OpenPort() {
    PortOpenError.clear();
    if (port_->isOpen()) {
        PortOpenError = kAlreadyOpen;
        return;
    }
    PortOpenReason.clear();
    const QString device = deviceLocation(CommName);

#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(device).constData(), &st) == 0 && !S_ISCHR(st.st_mode)) {
        PortOpenError = kNotComm;
        PortOpenReason = QStringLiteral("%1 is not a serial device.").arg(device);
        throw ECommsError(PortOpenError.toStdString());
    }
#endif

    port_->setPortName(CommName);
    port_->setBaudRate(QSerialPort::Baud115200);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);

    opening_ = true;
    if (!port_->open(QIODevice::ReadWrite)) {
        opening_ = false;
        const QSerialPort::SerialPortError e = port_->error();
        bool denied = false;
#ifdef Q_OS_UNIX
        denied =
            ::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0 && errno == EACCES;
        if (e == QSerialPort::UnsupportedOperationError) {
            // Opened but refused the terminal settings: not a serial port.
            PortOpenError = kNotComm;
            PortOpenReason = QStringLiteral("%1 is not a serial device.").arg(device);
            port_->clearError();
            throw ECommsError(PortOpenError.toStdString());
        }
#endif
        PortOpenError = kOpenError;
        PortOpenReason = openFailureReason(e, device, denied, port_->errorString());
        port_->clearError();
        throw ECommsError(PortOpenError.toStdString());
    }

    // Modem lines: a pty (and some adapters) cannot drive them; that is no
    // reason to fail the open.
    port_->setDataTerminalReady(false);
    port_->setRequestToSend(false);

#ifdef Q_OS_LINUX
    // Many USB-serial adapters hold received bytes for up to 16 ms before
    // passing them on; in a stop-and-wait transfer that delay is paid on every
    // block. Ask the driver for low latency where it supports it.
    serial_struct ss{};
    const int fd = int(port_->handle());
    if (fd >= 0 && ::ioctl(fd, TIOCGSERIAL, &ss) == 0 && !(ss.flags & ASYNC_LOW_LATENCY)) {
        ss.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(fd, TIOCSSERIAL, &ss);
    }
#endif

    // Whatever was waiting in the driver's queues belongs to an earlier session.
    port_->clear(QSerialPort::AllDirections);
    port_->clearError();
    opening_ = false;
    // Watch the node itself: a fixed symbolic link to it may outlive it.
    device_ = QFileInfo(device).canonicalFilePath();
    if (device_.isEmpty()) device_ = device;
    watch_.start();
}

void TComm::shutDown() {
    watch_.stop();
    fifo_.clear();
    if (port_->isOpen()) port_->close();
    port_->clearError();
    device_.clear();
}

void TComm::ClosePort() {
    PortOpenError.clear();
    shutDown();
}

bool TComm::SendBytes(const QByteArray& bytes) {
    if (bytes.isEmpty() || !port_->isOpen()) return false;
    // QSerialPort copies into its write buffer and writes from the event
    // loop, in call order.
    return port_->write(bytes) == bytes.size();
}

void TComm::onPortError(QSerialPort::SerialPortError error) {
    if (opening_ || !port_->isOpen() || !isLinkLossError(error)) return;
    // Qt's error text here often carries a stale errno ("No such file or
    // directory" for a pulled adapter); say what happened instead.
    loseLink(lostText(device_));
}

void TComm::checkAlive() {
    if (!port_->isOpen()) {
        watch_.stop();
        return;
    }
#ifdef Q_OS_UNIX
    // A hung-up tty (unplugged adapter, closed pty master) polls as
    // POLLHUP/POLLERR; a removed device node is gone from /dev.
    pollfd pfd{int(port_->handle()), 0, 0};
    const bool hungUp = ::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL));
    if (hungUp || !QFileInfo::exists(device_)) loseLink(lostText(device_));
#endif
}

void TComm::loseLink(const QString& reason) {
    if (!port_->isOpen()) return;
    shutDown();
    emit linkLost(reason);
}

void TComm::onReadyRead() {
    // Only queue here and deliver from a posted call: QSerialPort does not
    // emit readyRead again while a slot of it is still running, so a handler
    // that opened a modal box from inside this slot would starve.
    const QByteArray data = port_->readAll();
    fifo_.insert(fifo_.end(), data.cbegin(), data.cend());
    postDrain();
}

void TComm::postDrain() {
    if (drainPosted_ || fifo_.empty()) return;
    drainPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            drainPosted_ = false;
            deliver();
        },
        Qt::QueuedConnection);
}

void TComm::deliver() {
    while (!fifo_.empty()) {
        const quint8 b = fifo_.front();
        fifo_.pop_front();
        // If the handler opens a nested event loop, the rest of the FIFO is
        // delivered from there instead of waiting for this call to return.
        postDrain();
        if (OnReceiveData) OnReceiveData(b);
    }
}

QList<SerialPortEntry> Trecognitionserial::ports() {
    QList<SerialPortEntry> list;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        QString description = info.description();
        const QString maker = info.manufacturer();
        if (!maker.isEmpty() && !description.contains(maker, Qt::CaseInsensitive))
            description =
                description.isEmpty() ? maker : description + QStringLiteral(" - ") + maker;
        list.append({info.portName(), description});
    }
    return list;
}
