#include "sim/virtual_device.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <deque>
#include <QFile>
#include <QFileInfo>

namespace vdev {

namespace {

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

VirtualDevice::VirtualDevice() = default;

VirtualDevice::~VirtualDevice() {
    stop();
}

QString VirtualDevice::start(const QString& linkPath, QString* error) {
    if (isRunning()) return slave_;
    auto fail = [&](const QString& what) {
        if (error) *error = what;
        closeFd(master_);
        closeFd(slaveKeep_);
        closeFd(wake_[0]);
        closeFd(wake_[1]);
        slave_.clear();
        return QString();
    };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0)
        return fail(QStringLiteral("cannot create a pseudo-terminal: %1").arg(strerror(errno)));
    char name[128];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0)
        return fail(QStringLiteral("cannot prepare the pseudo-terminal: %1").arg(strerror(errno)));
    slave_ = QString::fromLocal8Bit(name);

    // The device keeps the slave open itself. Without that, the master reads
    // EIO and polls as hung up whenever the tool has closed its port, and a
    // reopened port would find the line settings reset. Raw mode: the line
    // must pass every byte unchanged, with no echo.
    slaveKeep_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slaveKeep_ < 0)
        return fail(QStringLiteral("cannot open %1: %2").arg(slave_, strerror(errno)));
    termios tio{};
    if (::tcgetattr(slaveKeep_, &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&tio, B115200);
        ::cfsetospeed(&tio, B115200);
        ::tcsetattr(slaveKeep_, TCSANOW, &tio);
    }

    if (::pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0)
        return fail(QStringLiteral("cannot create a pipe: %1").arg(strerror(errno)));

    if (!linkPath.isEmpty()) {
        const QFileInfo existing(linkPath);
        if (existing.isSymLink()) {
            QFile::remove(linkPath);
        } else if (existing.exists()) {
            return fail(QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath));
        }
        if (!QFile::link(slave_, linkPath))
            return fail(QStringLiteral("cannot create the link %1").arg(linkPath));
        link_ = linkPath;
    }

    {
        std::lock_guard lock(mutex_);
        perCode_.fill(0);
        total_ = invalid_ = replies_ = 0;
        log_.clear();
        outputBusy_ = false;
    }
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
    return slave_;
}

void VirtualDevice::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        const char c = 1;
        [[maybe_unused]] ssize_t r = ::write(wake_[1], &c, 1);
        thread_.join();
    }
    closeFd(master_);
    closeFd(slaveKeep_);
    closeFd(wake_[0]);
    closeFd(wake_[1]);
    if (!link_.isEmpty()) {
        if (QFileInfo(link_).isSymLink()) QFile::remove(link_);
        link_.clear();
    }
    {
        std::lock_guard lock(mutex_);
        outputBusy_ = false;
    }
    changed_.notify_all();
}

QString VirtualDevice::slavePath() const {
    return isRunning() ? slave_ : QString();
}

QByteArray VirtualDevice::pageBytes(Region region, int page) const {
    std::lock_guard lock(mutex_);
    return state_.memory.page(region, page);
}

bool VirtualDevice::setPageBytes(Region region, int page, const QByteArray& bytes) {
    std::lock_guard lock(mutex_);
    return state_.memory.setPage(region, page, bytes);
}

void VirtualDevice::resetMemory() {
    std::lock_guard lock(mutex_);
    state_.reset();
}

void VirtualDevice::fillSampleHistory(int count, quint32 seed) {
    std::lock_guard lock(mutex_);
    state_.memory.fillSampleHistory(count, seed);
}

QByteArray VirtualDevice::image() const {
    std::lock_guard lock(mutex_);
    return state_.memory.image();
}

bool VirtualDevice::loadImage(const QString& path, QString* error) {
    std::lock_guard lock(mutex_);
    return state_.memory.loadImage(path, error);
}

bool VirtualDevice::saveImage(const QString& path, QString* error) const {
    std::lock_guard lock(mutex_);
    return state_.memory.saveImage(path, error);
}

void VirtualDevice::setFaults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
}

Faults VirtualDevice::faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

int VirtualDevice::requestCount(quint8 code) const {
    std::lock_guard lock(mutex_);
    return perCode_[code];
}

int VirtualDevice::totalRequests() const {
    std::lock_guard lock(mutex_);
    return total_;
}

int VirtualDevice::invalidRequests() const {
    std::lock_guard lock(mutex_);
    return invalid_;
}

int VirtualDevice::repliesSent() const {
    std::lock_guard lock(mutex_);
    return replies_;
}

QList<ReceivedRequest> VirtualDevice::receivedRequests() const {
    std::lock_guard lock(mutex_);
    return log_;
}

void VirtualDevice::resetCounters() {
    std::lock_guard lock(mutex_);
    perCode_.fill(0);
    total_ = invalid_ = replies_ = 0;
    log_.clear();
}

bool VirtualDevice::waitForRequests(int n, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return total_ >= n; });
}

bool VirtualDevice::waitIdle(int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return !outputBusy_; });
}

bool VirtualDevice::checkingMode() const {
    std::lock_guard lock(mutex_);
    return state_.checkingMode;
}

std::optional<std::array<quint8, 6>> VirtualDevice::deviceClock() const {
    std::lock_guard lock(mutex_);
    return state_.clock;
}

void VirtualDevice::run() {
    struct Ready {
        Frame frame;
        int number;
        Clock::time_point at;
    };
    // Bytes waiting to leave. A paced segment's byte i leaves at due + i x ByteTime.
    struct Segment {
        QByteArray bytes;
        int sent = 0;
        Clock::time_point due;
        bool paced = false;
        bool endsReply = false;
        Clock::time_point nextAt() const { return paced ? due + sent * ByteTime : due; }
    };

    FrameReader reader;
    std::deque<Ready> requests;
    std::deque<Segment> out;
    Clock::time_point lineFree{};   // when the last scheduled byte will have left
    Clock::time_point inputFree{};  // when the last request's last byte has arrived (paced)
    bool wantWrite = false;

    auto schedule = [&](const Frame& rq, int number, Clock::time_point now) {
        Faults f;
        QByteArray reply;
        {
            std::lock_guard lock(mutex_);
            f = faults_;
            if (!DeviceResponder::answers(f, number)) return;
            reply = state_.answer(rq, number, f);
        }
        const std::optional<LineReply> line = lineReply(reply, rq, number, f);
        if (!line) return;
        Clock::time_point at = now + line->delay;

        if (f.paced && lineFree > at) at = lineFree;
        auto push = [&](QByteArray bytes, bool ends) {
            Segment s;
            s.bytes = std::move(bytes);
            s.due = at;
            s.paced = f.paced;
            s.endsReply = ends;
            if (f.paced) at += s.bytes.size() * ByteTime;
            lineFree = at;
            out.push_back(std::move(s));
        };
        if (!line->garbage.isEmpty()) push(line->garbage, false);
        for (int copy = 0; copy < line->copies; ++copy) {
            const QByteArray& bytes = line->bytes;
            if (line->chunkSize > 0 && bytes.size() > line->chunkSize) {
                for (int i = 0; i < bytes.size(); i += line->chunkSize) {
                    if (i > 0) at += std::chrono::milliseconds(line->chunkDelayMs);
                    push(bytes.mid(i, line->chunkSize), i + line->chunkSize >= bytes.size());
                }
            } else {
                push(bytes, true);  // a reply cut to nothing still counts as sent
            }
        }
    };

    auto flush = [&](Clock::time_point now) {
        wantWrite = false;
        while (!out.empty()) {
            Segment& s = out.front();
            if (s.nextAt() > now) return;
            int upto = int(s.bytes.size());
            if (s.paced) upto = qMin(upto, int((now - s.due) / ByteTime) + 1);
            if (upto > s.sent) {
                const ssize_t w =
                    ::write(master_, s.bytes.constData() + s.sent, size_t(upto - s.sent));
                if (w < 0) {
                    if (errno == EINTR) continue;
                    wantWrite = errno == EAGAIN;
                    return;
                }
                s.sent += int(w);
            }
            if (s.sent < s.bytes.size()) {
                if (s.paced && s.sent == upto) continue;  // re-evaluate: nextAt() > now now
                wantWrite = true;
                return;
            }
            if (s.endsReply) {
                std::lock_guard lock(mutex_);
                ++replies_;
            }
            out.pop_front();
        }
    };

    char buf[4096];
    while (!stopping_) {
        Clock::time_point now = Clock::now();
        while (!requests.empty() && requests.front().at <= now) {
            schedule(requests.front().frame, requests.front().number, now);
            requests.pop_front();
        }
        flush(now);
        {
            std::lock_guard lock(mutex_);
            outputBusy_ = !out.empty() || !requests.empty();
        }
        changed_.notify_all();

        // Sleep until input arrives, the next request is due or the next
        // byte may leave.
        std::optional<Clock::time_point> wakeAt;
        if (!requests.empty()) wakeAt = requests.front().at;
        if (!out.empty() && !wantWrite) {
            const auto t = out.front().nextAt();
            if (!wakeAt || t < *wakeAt) wakeAt = t;
        }
        timespec ts{};
        timespec* tsp = nullptr;
        if (wakeAt) {
            const auto left = std::max(std::chrono::nanoseconds(0), *wakeAt - Clock::now());
            ts.tv_sec = time_t(left.count() / 1000000000);
            ts.tv_nsec = long(left.count() % 1000000000);
            tsp = &ts;
        }
        pollfd fds[2] = {{master_, short(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
                         {wake_[0], POLLIN, 0}};
        const int n = ::ppoll(fds, 2, tsp, nullptr);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents) {
            while (::read(wake_[0], buf, sizeof buf) > 0) {
            }
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t r = ::read(master_, buf, sizeof buf);
            const Clock::time_point at = Clock::now();
            for (ssize_t i = 0; i < r; ++i) {
                switch (reader.feed(quint8(buf[i]), at)) {
                    case FrameReader::Result::Pending:
                        break;
                    case FrameReader::Result::BadChecksum:
                    case FrameReader::Result::Oversize: {
                        std::lock_guard lock(mutex_);
                        ++invalid_;
                        break;
                    }
                    case FrameReader::Result::Complete: {
                        int number;
                        bool paced;
                        {
                            std::lock_guard lock(mutex_);
                            number = ++total_;
                            ++perCode_[reader.frame().code];
                            log_.append({reader.frame(), number});
                            if (log_.size() > 10000) log_.removeFirst();
                            paced = faults_.paced;
                            outputBusy_ = true;
                        }
                        changed_.notify_all();
                        // At 115200 baud the last byte of a request arrives
                        // length x 10 bit times after its first one, and its
                        // first one no earlier than the previous request's last.
                        Clock::time_point ready = at;
                        if (paced) {
                            ready = std::max(reader.firstByteAt(), inputFree) +
                                    reader.wireLength() * ByteTime;
                            inputFree = ready;
                        }
                        requests.push_back({reader.frame(), number, ready});
                        break;
                    }
                }
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Not expected while the device holds the slave open; never spin.
            ::usleep(10000);
        }
    }
}

}  // namespace vdev
