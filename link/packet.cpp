#include "link/packet.h"

#include <algorithm>

void TDataPackage::SetLength(qint32 length) {
    LengthBytes[0] = quint8((length >> 8) & 0xFF);
    LengthBytes[1] = quint8(length & 0xFF);
}

void TDataPackage::SetAddress(qint32 address) {
    const auto a = quint32(address);
    AddressBytes = {quint8(a >> 24), quint8(a >> 16), quint8(a >> 8), quint8(a)};
}

int TDataPackage::payloadLength() const {
    return std::min(LengthBytes[0] * 256 + LengthBytes[1], devaddr::PayloadMax);
}

void TDataPackage::SetData(const quint8* source) {
    const int n = payloadLength();
    if (n > 0 && source) std::copy(source, source + n, Data.begin());
}

void TDataPackage::ComputeChecksum() {
    quint8 x = Command;
    for (quint8 b : AddressBytes) x ^= b;
    for (quint8 b : LengthBytes) x ^= b;
    const int n = payloadLength();
    for (int i = 0; i < n; ++i) x ^= Data[i];
    Checksum = x;
}

void TDataPackage::BuildFrame() {
    const int n = payloadLength();
    Frame[0] = 0x23;
    Frame[1] = Command;
    std::copy(AddressBytes.begin(), AddressBytes.end(), Frame.begin() + 2);
    std::copy(LengthBytes.begin(), LengthBytes.end(), Frame.begin() + 6);
    std::copy(Data.begin(), Data.begin() + n, Frame.begin() + 8);
    ComputeChecksum();
    Frame[8 + n] = Checksum;
    FrameLength = n + 9;
}

QByteArray TDataPackage::frameBytes() const {
    return QByteArray(reinterpret_cast<const char*>(Frame.data()), FrameLength);
}

QByteArray TDataPackage::request(quint8 code, qint32 address, const quint8* payload, int length) {
    TDataPackage p;
    p.SetCommand(code);
    p.SetLength(length);
    p.SetAddress(address);
    p.SetData(payload);
    p.BuildFrame();
    return p.frameBytes();
}
