#pragma once
// A bare POSIX client of the virtual device's pty, so that the device's own
// tests need neither QSerialPort nor the tool's link.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

class PtyClient {
public:
    explicit PtyClient(const QString& path) {
        fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        if (fd_ >= 0 && ::tcgetattr(fd_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~PtyClient() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    bool send(const QByteArray& bytes) {
        return ::write(fd_, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // Reads until `count` bytes have come or `timeoutMs` has passed; records
    // how many separate reads the bytes took.
    QByteArray read(int count, int timeoutMs, int* pieces = nullptr) {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        int n = 0;
        while (got.size() < count && t.elapsed() < timeoutMs) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, int(timeoutMs - t.elapsed())) <= 0) continue;
            char buf[1024];
            const ssize_t r = ::read(fd_, buf, sizeof buf);
            if (r > 0) {
                got.append(buf, int(r));
                ++n;
            }
        }
        if (pieces) *pieces = n;
        return got;
    }
    // Everything that arrives within `quietMs` of silence.
    QByteArray drain(int quietMs) {
        QByteArray got;
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, quietMs) <= 0) return got;
            char buf[1024];
            const ssize_t r = ::read(fd_, buf, sizeof buf);
            if (r <= 0) return got;
            got.append(buf, int(r));
        }
    }

private:
    int fd_ = -1;
};
