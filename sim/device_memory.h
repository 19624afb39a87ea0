#pragma once
// The controller's memory as the configuration protocol sees it: 256-byte
// blocks in three regions.
//
//   region     blocks  device addresses             factory contents
//   settings      2    0x000, 0x100                 page 1: the factory settings
//                                                   with password "5729"; page 2: FF
//   numbers     375    0x1000 .. 0x18600            FF (every slot unused)
//   history     500    0x30000 .. 0x4F300           FF (erased log)
//
// Memory image file (what --memory loads and saves): the three regions back
// to back, no header, 224512 bytes:
//
//   file offset   size     content
//   0x00000       0x00200  settings pages 1, 2
//   0x00200       0x17700  number pages 1 .. 375 (8 records of 32 bytes each)
//   0x17900       0x1F400  history pages 1 .. 500 (2 records of 128 bytes each)
//
// so a block at device address A sits at file offset
//   A                        for the settings,
//   0x200 + (A - 0x1000)     for the numbers,
//   0x17900 + (A - 0x30000)  for the history.

#include <optional>
#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace vdev {

enum class Region { Settings, Numbers, History };

constexpr int PageSize = 256;
constexpr int SettingsPages = 2;
constexpr int NumberPages = 375;
constexpr int HistoryPages = 500;
constexpr int ImageSize = (SettingsPages + NumberPages + HistoryPages) * PageSize;

constexpr quint32 SettingsBase = 0x0;
constexpr quint32 NumbersBase = 0x1000;
constexpr quint32 HistoryBase = 0x30000;

constexpr const char* FactoryPassword = "5729";

int pageCount(Region region);
quint32 pageAddress(Region region, int page);  // page is 1-based

struct BlockRef {
    Region region;
    int page;  // 1-based
};
// The block that starts at `address`, or nothing when the address is not the
// start of a block in use (unaligned, in a gap, or past a region's last block).
std::optional<BlockRef> blockAt(quint32 address);

class DeviceMemory {
public:
    DeviceMemory();  // factory contents

    void resetToFactory();
    // Settings page 1 as the device leaves the factory.
    static QByteArray factorySettingsPage1();

    QByteArray page(Region region, int page) const;
    // `bytes` must be exactly 256 bytes; returns false otherwise or when the
    // page does not exist.
    bool setPage(Region region, int page, const QByteArray& bytes);
    // Erases the history log: every history byte reads 0xFF afterwards, which
    // decodes as records without a number.
    void eraseHistory();
    // Fills the first `count` history slots (at most 1000) with plausible events:
    // numbered 1..count, dates 2001-2079 in increasing order, sources and actions
    // from the device's tables, "+digits" executants and ASCII contents.
    // Deterministic for a given seed; slots after `count` are erased.
    void fillSampleHistory(int count, quint32 seed = 1);

    QByteArray image() const { return image_; }
    bool setImage(const QByteArray& image);  // false unless ImageSize bytes
    bool loadImage(const QString& path, QString* error);
    bool saveImage(const QString& path, QString* error) const;

    static int imageOffset(Region region, int page);

private:
    QByteArray image_;
};

}  // namespace vdev
