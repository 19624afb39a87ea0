#pragma once
// A virtual GSM relay controller on a pseudo-terminal.
//
// start() creates a pty, answers the configuration protocol on its master side
// from a thread of its own and returns the slave path, which the configuration
// tool (or a test) opens like a serial port. stop() closes the master: to
// whoever holds the slave open, the device has been unplugged.
//
// How the device answers (request -> reply, the reply carrying the request's
// code and address):
//   0x83 read block   -> the block's 256 bytes. An address that is not the
//                        start of a block in use (gaps, unaligned, beyond a
//                        region) reads as unprogrammed memory: 256 x 0xFF.
//   0x82 write block  -> 01 and the block stored; 00 and nothing stored when the
//                        payload is not exactly 256 bytes, the address is not a
//                        settings or number block, or the block is in the
//                        history (the log is written by the device alone).
//   0x85 delete history -> 01, every history byte erased to 0xFF.
//   0x04 checking mode  -> 01.
//   0x03 time sync      -> 01 and the six bytes kept as the device clock when they
//                        form a plausible date and time (6 bytes, month 1-12,
//                        day 1-31, hour < 24, minute and second < 60); else 00.
// Requests with a bad checksum and requests with any other code get no answer
// (they are counted). A request announcing more than 256 payload bytes is
// dropped when its length field arrives. A request left unfinished for 500 ms
// is abandoned when the next byte arrives.
//
// Reply numbers used by the faults: the N-th valid request received since
// start() or resetCounters() is answered by reply N (1-based), whether the
// answer is then sent or suppressed.

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QStringList>
#include <QString>
#include <thread>

#include "sim/device_frame.h"
#include "sim/device_memory.h"
#include "sim/device_responder.h"

namespace vdev {

// One line at 115200 baud, 8N1: ten bit times per byte.
constexpr std::chrono::nanoseconds ByteTime{86806};

struct ReceivedRequest {
    Frame frame;
    int number = 0;  // 1-based request/reply number
};

class VirtualDevice {
public:
    VirtualDevice();
    ~VirtualDevice();
    VirtualDevice(const VirtualDevice&) = delete;
    VirtualDevice& operator=(const VirtualDevice&) = delete;

    // Creates the pty and starts answering. When `linkPath` is given, a
    // symbolic link with that name is made to the slave (an existing symbolic
    // link is replaced; any other existing file makes start() fail) and
    // removed again by stop(). Returns the slave path, empty on failure.
    QString start(const QString& linkPath = {}, QString* error = nullptr);
    void stop();
    bool isRunning() const { return thread_.joinable(); }
    QString slavePath() const;

    // Memory (thread-safe; usable while running).
    QByteArray pageBytes(Region region, int page) const;
    bool setPageBytes(Region region, int page, const QByteArray& bytes);
    void resetMemory();
    void fillSampleHistory(int count, quint32 seed = 1);
    QByteArray image() const;
    bool loadImage(const QString& path, QString* error = nullptr);
    bool saveImage(const QString& path, QString* error = nullptr) const;

    void setFaults(const Faults& faults);
    Faults faults() const;

    // Counters since start() or resetCounters().
    int requestCount(quint8 code) const;              // valid requests received with this code
    int totalRequests() const;                        // valid requests of any code
    int invalidRequests() const;                      // bad checksum or oversize
    int repliesSent() const;                          // replies whose last byte has been written
    QList<ReceivedRequest> receivedRequests() const;  // valid requests in arrival order
    void resetCounters();
    // Waits until totalRequests() >= n or the timeout passes.
    bool waitForRequests(int n, int timeoutMs) const;
    // Waits until every scheduled reply byte has been written.
    bool waitIdle(int timeoutMs) const;

    bool checkingMode() const;
    // The last accepted time synchronisation: yy(low 8 bits) mm dd hh nn ss.
    std::optional<std::array<quint8, 6>> deviceClock() const;

private:
    void run();

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    DeviceResponder state_;  // memory, checking mode and clock
    Faults faults_;
    std::array<int, 256> perCode_{};
    int total_ = 0;
    int invalid_ = 0;
    int replies_ = 0;
    QList<ReceivedRequest> log_;
    bool outputBusy_ = false;

    // Owned by the device thread while running.
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    int master_ = -1;
    int slaveKeep_ = -1;
    int wake_[2] = {-1, -1};
    QString slave_;
    QString link_;
};

}  // namespace vdev
