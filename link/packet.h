#pragma once
// The one frame format of the device protocol, used in both directions:
//
//   offset 0      1       2..5              6..7             8..7+N    8+N
//          0x23   code    address (MSB 1st) length N (MSB)   payload   XOR
//
// The checksum is the XOR of bytes 1 .. 7+N (code, address, length, payload);
// the start marker is not included. There is no end marker and no escaping:
// 0x23 may appear anywhere after the start marker, so a frame is delimited by
// the start marker and its length field alone. Payloads are at most 256 bytes
// (the device's block size), so the largest frame is 265 bytes.

#include <array>
#include <QByteArray>
#include <QtGlobal>

namespace cmd {
constexpr quint8 TimeSync = 0x03;  // 6-byte payload: yy mm dd hh nn ss; reply byte 0 = 1 accepted
constexpr quint8 CheckingMode = 0x04;  // no payload; reply byte 0 = 1 mode entered
constexpr quint8 WriteBlock = 0x82;    // 256-byte block; reply echoes address, byte 0 = 1 accepted
constexpr quint8 ReadBlock = 0x83;  // no payload; reply echoes address with the block's 256 bytes
constexpr quint8 DeleteHistory = 0x85;  // no payload; reply byte 0 = 1 history deleted
}  // namespace cmd

// The device's memory is addressed in 256-byte blocks. The reply echoes the
// address, and replies are routed by that address alone.
namespace devaddr {
constexpr qint32 SettingsEnd = 0x1000;   // 0x0000 .. 0x0FFF: basic settings
constexpr qint32 NumbersBase = 0x1000;   // 0x1000 .. 0x2FFFF: authorized numbers
constexpr qint32 HistoryBase = 0x30000;  // 0x30000 ..: history log
constexpr qint32 BlockSize = 0x100;
constexpr int PayloadMax = 256;
constexpr int FrameMax = PayloadMax + 9;

constexpr qint32 settingsPage(int page) {
    return (page - 1) * BlockSize;
}
constexpr qint32 numbersPage(int page) {
    return page * BlockSize + 0xF00;
}
constexpr qint32 historyPage(int page) {
    return page * BlockSize + 0x2FF00;
}
}  // namespace devaddr

class TDataPackage {
public:
    quint8 Command = 0;
    std::array<quint8, 4> AddressBytes{};
    std::array<quint8, 2> LengthBytes{};
    std::array<quint8, devaddr::PayloadMax> Data{};
    quint8 Checksum = 0;
    std::array<quint8, devaddr::FrameMax> Frame{};
    qint32 FrameLength = 0;

    void SetCommand(quint8 code) { Command = code; }
    // Low 16 bits, most significant byte first.
    void SetLength(qint32 length);
    void SetAddress(qint32 address);
    // Copies N bytes (the length already set) from `source`; so SetLength
    // comes first. `source` holds at least N bytes.
    void SetData(const quint8* source);
    void BuildFrame();
    void ComputeChecksum();

    // N as stored in LengthBytes, limited to what Data can hold.
    int payloadLength() const;
    QByteArray frameBytes() const;

    // Convenience for senders: a finished request frame.
    static QByteArray request(quint8 code, qint32 address, const quint8* payload = nullptr,
                              int length = 0);
};
