#include "settings/settings_sheet.h"

#include "core/gbk.h"

namespace {

struct RowText {
    const char* name;
    const char* content;
    const char* description;
};

const RowText kRows[22] = {
    {"1.Password", "5729", "Default Password:5729"},
    {"2.SIM Card Phone No", "", "Up to 21 digits, supports country code"},
    {"3.DIN1 Type", "", "Default:NO"},
    {"4.DIN2 Type", "", "Default:NO"},
    {"5.DIN1 Alarm Content", "Unauthorized door opened", "Up to 40 characters"},
    {"6.DIN2 Alarm Content", "DIN2 Alarm", "Up to 40 characters"},
    {"7.Auto Arm after authorized number call-in(0~999)", "10",
     "Default:10,Unit:Minute.Setting to 0 means Disable Auto Arm"},
    {"8.Arm/Disarm after power on", "", "Default:Disarm. System will alarm only on Arm status"},
    {"9.Relay Control Authorization", "", "Default:Only authorized number(s) can call to control"},
    {"10.Relay swtich ON timer(0~999, Unit:Second)", "0",
     "Default:0,means relay ON 0.5 seconds then OFF after call in"},
    {"11.When relay switch ON by authorized number,notify", "",
     "Default3:Admin Number;Caller Number"},
    {"12.When relay switch OFF by authorized number,notify", "",
     "Default3:Admin Number;Caller Number"},
    {"13.SMS content when relay ON", "Relay ON", "Up to 40 characters"},
    {"14.SMS content when relay OFF", "Relay OFF", "Up to 40 characters"},
    {"15.Power source failure alarm delay(0~999,Unit:Min)", "999",
     "Default:999,means no alarm.Setting as 000,alarm SMS once power failure."},
    {"16.Self-Check Report Interval(0-999,Unit:Hour)", "0", "Default:0,means no report"},
    {"17.GPRS Data Upload Interval Time(0-9999,Unit:Min)", "9999",
     "Default:9999,disable.Setting as 0 means always on line"},
    {"18.Server IP Address", "", "Up to 32 characters"},
    {"19.Server Port(0-65535)", "", "Default:65535"},
    {"20.GPRS APN", "", "Call mobile operator to ask the APN name if you need data function"},
    {"21.GPRS User Name", "", "Call mobile operator to ask the APN name if you need data function"},
    {"22.GPRS Password", "", "Call mobile operator to ask the APN name if you need data function"},
};

}  // namespace

SettingsSheet::SettingsSheet(QObject* parent) : QObject(parent) {
    choices_.fill(-1);
    bytes_.fill(0xFF);
}

const QStringList& SettingsSheet::items(Choice c) {
    static const QStringList inputType = {"0:NC ", "1:NO"};
    static const QStringList arm = {"0:Disarm", "1:Arm"};
    static const QStringList relay = {"0:All number can call to control the Relay",
                                      "1:Only the authorized number can call to control the relay"};
    static const QStringList notify = {"0:None", "1:Admin Number", "2:Caller Number",
                                       "3:Admin Number;Caller Number"};
    switch (c) {
        case Cbb1:
        case Cbb2:
            return inputType;
        case Cbb4:
            return arm;
        case Cbb3:
            return relay;
        default:
            return notify;
    }
}

int SettingsSheet::rowOf(Choice c) {
    static const int rows[ChoiceCount] = {3, 4, 8, 9, 11, 12};
    return rows[c];
}

int SettingsSheet::choiceAt(int row) {
    for (int c = 0; c < ChoiceCount; ++c)
        if (rowOf(Choice(c)) == row) return c;
    return -1;
}

const char* SettingsSheet::widgetName(Choice c) {
    static const char* names[ChoiceCount] = {"cbb1", "cbb2", "cbb4", "cbb3", "cbb10", "cbb12"};
    return names[c];
}

QString SettingsSheet::rowName(int row) {
    if (row < 1 || row > 22) return QString();
    return QString::fromUtf8(kRows[row - 1].name);
}

void SettingsSheet::setChoice(Choice c, int index) {
    quint8 byte = 0xFF;
    if (index >= 0 && index < items(c).size()) {
        byte = quint8(index);
    } else {
        if (index >= 0 && index <= 0xFF)
            byte = quint8(index);
        else if (choices_[c] < 0)
            byte = bytes_[c];  // a list showing "nothing" again keeps its byte
        index = -1;
    }
    bytes_[c] = byte;
    if (choices_[c] == index) return;
    choices_[c] = index;
    emit choiceChanged(c, index);
}

QString SettingsSheet::choiceText(Choice c) const {
    const int i = choices_[c];
    return i < 0 ? QString() : items(c).at(i);
}

QString SettingsSheet::shownText(const QString& text) {
    QString shown = text;
    for (QChar& c : shown)
        if (gbk::isControl(c.unicode())) c = QChar(c.unicode() == 0x7F ? 0x2421 : 0x2400 + c.unicode());
    return shown;
}

void SettingsSheet::fillStartContents() {
    grid.setText(0, 0, QStringLiteral("Items"));
    grid.setText(1, 0, QStringLiteral("Content"));
    grid.setText(2, 0, QStringLiteral("Description"));
    for (int r = 1; r <= 22; ++r) {
        const RowText& t = kRows[r - 1];
        grid.setText(0, r, QString::fromUtf8(t.name));
        grid.setText(1, r, QString::fromUtf8(t.content));
        grid.setText(2, r, QString::fromUtf8(t.description));
    }
    setChoice(Cbb1, 1);
    setChoice(Cbb2, 1);
    setChoice(Cbb4, 0);
    setChoice(Cbb3, 1);
    setChoice(Cbb10, 3);
    setChoice(Cbb12, 3);
}
