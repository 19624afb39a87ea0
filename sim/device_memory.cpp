#include "sim/device_memory.h"

#include <array>
#include <cstring>
#include <QFile>
#include <QSaveFile>

namespace vdev {

int pageCount(Region region) {
    switch (region) {
        case Region::Settings:
            return SettingsPages;
        case Region::Numbers:
            return NumberPages;
        case Region::History:
            return HistoryPages;
    }
    return 0;
}

static quint32 regionBase(Region region) {
    switch (region) {
        case Region::Settings:
            return SettingsBase;
        case Region::Numbers:
            return NumbersBase;
        case Region::History:
            return HistoryBase;
    }
    return 0;
}

quint32 pageAddress(Region region, int page) {
    return regionBase(region) + quint32(page - 1) * PageSize;
}

std::optional<BlockRef> blockAt(quint32 address) {
    if (address % PageSize != 0) return std::nullopt;
    for (Region r : {Region::Settings, Region::Numbers, Region::History}) {
        const quint32 base = regionBase(r);
        if (address < base) continue;
        const quint32 index = (address - base) / PageSize;
        if (index < quint32(pageCount(r))) return BlockRef{r, int(index) + 1};
    }
    return std::nullopt;
}

int DeviceMemory::imageOffset(Region region, int page) {
    int first = 0;
    if (region == Region::Numbers) first = SettingsPages;
    if (region == Region::History) first = SettingsPages + NumberPages;
    return (first + page - 1) * PageSize;
}

DeviceMemory::DeviceMemory() {
    resetToFactory();
}

QByteArray DeviceMemory::factorySettingsPage1() {
    QByteArray p(PageSize, char(0xFF));
    auto put = [&p](int at, const QByteArray& bytes) { p.replace(at, bytes.size(), bytes); };
    auto text = [&put](int at, const char* s) { put(at, QByteArray(s) + '\0'); };
    put(0, FactoryPassword);
    put(26, QByteArray::fromHex("0101"));  // DIN1, DIN2: normally open
    text(28, "Unauthorized door opened");
    text(68, "DIN2 Alarm");
    put(108, QByteArray::fromHex("0a00"));      // auto arm after 10 minutes
    put(110, QByteArray::fromHex("0100"));      // only authorized numbers; disarmed at power on
    put(112, QByteArray::fromHex("00000000"));  // relay ON timer 0 (stored twice)
    put(116, QByteArray::fromHex("0303"));      // notify admin and caller
    text(118, "Relay ON");
    text(158, "Relay OFF");
    put(198, QByteArray::fromHex("0f27"));  // GPRS upload interval 9999 min
    put(200, QByteArray::fromHex("e703"));  // power failure alarm delay 999 min
    put(202, QByteArray::fromHex("0000"));  // self-check report off
    return p;
}

void DeviceMemory::resetToFactory() {
    image_ = QByteArray(ImageSize, char(0xFF));
    setPage(Region::Settings, 1, factorySettingsPage1());
}

QByteArray DeviceMemory::page(Region region, int page) const {
    if (page < 1 || page > pageCount(region)) return {};
    return image_.mid(imageOffset(region, page), PageSize);
}

bool DeviceMemory::setPage(Region region, int page, const QByteArray& bytes) {
    if (page < 1 || page > pageCount(region) || bytes.size() != PageSize) return false;
    image_.replace(imageOffset(region, page), PageSize, bytes);
    return true;
}

void DeviceMemory::eraseHistory() {
    const int at = imageOffset(Region::History, 1);
    std::memset(image_.data() + at, 0xFF, size_t(HistoryPages) * PageSize);
}

namespace {

// Small deterministic generator (xorshift32): the same seed gives the same
// sample log with every compiler and standard library.
class Rng {
public:
    explicit Rng(quint32 seed) : s_(seed ? seed : 0x9E3779B9u) {}
    quint32 next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return s_;
    }
    int below(int n) { return int(next() % quint32(n)); }

private:
    quint32 s_;
};

int daysIn(int year, int month) {
    static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && year % 4 == 0) return 29;  // 2001-2079: every 4th year is a leap year
    return d[month - 1];
}

struct Stamp {
    int year = 2023, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    void advance(int seconds) {
        second += seconds;
        minute += second / 60;
        second %= 60;
        hour += minute / 60;
        minute %= 60;
        day += hour / 24;
        hour %= 24;
        while (day > daysIn(year, month)) {
            day -= daysIn(year, month);
            if (++month > 12) {
                month = 1;
                ++year;
            }
        }
        if (year > 2079) *this = Stamp{2079, 12, 31, 23, 59, 59};
    }
};

QByteArray phoneNumber(Rng& rng) {
    static const char* prefixes[] = {"+86139", "+86138", "+86186", "+44770", "+49151"};
    QByteArray n = prefixes[rng.below(5)];
    while (n.size() < 14) n.append(char('0' + rng.below(10)));
    return n;
}

}  // namespace

void DeviceMemory::fillSampleHistory(int count, quint32 seed) {
    eraseHistory();
    count = qBound(0, count, HistoryPages * 2);
    Rng rng(seed);
    Stamp t;
    t.year = 2021 + rng.below(4);
    t.month = 1 + rng.below(12);
    t.day = 1 + rng.below(28);
    t.hour = 6 + rng.below(12);

    // A handful of regular users call to open the door; events from the
    // inputs and the power supply are rarer.
    QList<QByteArray> users;
    for (int i = 0; i < 6; ++i) users.append(phoneNumber(rng));
    const QByteArray admin = users.first();

    for (int i = 0; i < count; ++i) {
        t.advance(60 + rng.below(36 * 3600));
        const int roll = rng.below(100);
        int action;
        if (roll < 55)
            action = 2;  // Relay ON
        else if (roll < 65)
            action = 3;  // Relay OFF
        else if (roll < 72)
            action = 0;  // Add number
        else if (roll < 76)
            action = 1;  // Delete Number
        else if (roll < 82)
            action = 4;  // DIN1 Alarm
        else if (roll < 85)
            action = 5;  // DIN2 Alarm
        else if (roll < 89)
            action = 7;  // Arm
        else if (roll < 93)
            action = 8;  // Disarm
        else if (roll < 97)
            action = 6;  // Power failure
        else
            action = 9;  // Power recovery

        quint8 source = 3;  // Telephone
        QByteArray executant;
        QByteArray content;
        switch (action) {
            case 0:
            case 1: {
                source = quint8(rng.below(3));  // COM Port, SMS or GPRS
                const QByteArray who = phoneNumber(rng);
                executant = source == 1 ? admin : QByteArray();
                content = (action == 0 ? "ADD " : "DEL ") + who.mid(1);
                if (action == 0) users.append(who);
                break;
            }
            case 2:
            case 3:
                source = rng.below(5) == 0 ? 1 : 3;
                executant = users[rng.below(int(users.size()))];
                content = action == 2 ? "Relay ON" : "Relay OFF";
                break;
            case 4:
                source = 0;
                content = "Unauthorized door opened";
                break;
            case 5:
                source = 0;
                content = "DIN2 Alarm";
                break;
            case 6:
                source = 0;
                content = "Power supply failure, running on battery";
                break;
            case 9:
                source = 0;
                content = "Power supply recovered";
                break;
            case 7:
            case 8:
                source = rng.below(2) ? 1 : 3;
                executant = admin;
                content = action == 7 ? "System armed" : "System disarmed";
                break;
        }

        QByteArray rec(128, char(0xFF));
        const quint32 no = quint32(i + 1);
        for (int b = 0; b < 4; ++b) rec[b] = char(no >> (8 * b));
        rec[4] = char(t.year - 2000);
        rec[5] = char(t.month);
        rec[6] = char(t.day);
        rec[7] = char(t.hour);
        rec[8] = char(t.minute);
        rec[9] = char(t.second);
        rec[10] = char(source);
        rec[11] = char(action);
        QByteArray exe = executant.left(22);
        exe.append(QByteArray(22 - exe.size(), '\0'));
        rec.replace(12, 22, exe);
        QByteArray txt = content.left(41);
        txt.append(QByteArray(41 - txt.size(), '\0'));
        rec.replace(34, 41, txt);

        const int at = imageOffset(Region::History, 1) + i * 128;
        image_.replace(at, 128, rec);
    }
}

bool DeviceMemory::setImage(const QByteArray& image) {
    if (image.size() != ImageSize) return false;
    image_ = image;
    return true;
}

bool DeviceMemory::loadImage(const QString& path, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return false;
    }
    const QByteArray data = f.read(ImageSize + 1);
    if (data.size() != ImageSize) {
        if (error)
            *error = QStringLiteral("%1 is not a device memory image (%2 bytes, expected %3)")
                         .arg(path)
                         .arg(data.size())
                         .arg(ImageSize);
        return false;
    }
    image_ = data;
    return true;
}

bool DeviceMemory::saveImage(const QString& path, QString* error) const {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(image_) != image_.size() || !f.commit()) {
        if (error) *error = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

}  // namespace vdev
