#pragma once
// The basic settings as the tool holds them: the settings grid (3 columns x
// 23 rows, row 0 the header, column 1 the content) and the six choice lists
// that stand over the content cells of rows 3, 4, 8, 9, 11 and 12.
//
// A choice is the 0-based item index of its list, which is also the value
// the device stores; -1 is "no selection". A list without selection keeps the
// byte it came with (0xFF, or a device byte that names no item), so that a
// save writes back what was read. The first character of every item text is
// its index.

#include <array>
#include <QObject>
#include <QStringList>

#include "core/text_grid.h"

class SettingsSheet : public QObject {
    Q_OBJECT
public:
    // The choice lists, in the order cbb1, cbb2, cbb4, cbb3, cbb10, cbb12.
    enum Choice { Cbb1, Cbb2, Cbb4, Cbb3, Cbb10, Cbb12, ChoiceCount };

    explicit SettingsSheet(QObject* parent = nullptr);

    TextGrid grid{3, 23};  // strngrd_write

    // Content text of a setting row 1..22 (column 1).
    const QString& content(int row) const { return grid.text(1, row); }
    void setContent(int row, const QString& text) { grid.setText(1, row, text); }

    int choice(Choice c) const { return choices_[c]; }
    // The byte the device stores for a list: the item index, or the byte kept
    // by a list without selection.
    quint8 choiceByte(Choice c) const { return bytes_[c]; }
    // An index outside the list's items leaves the list without a selection:
    // 0..255 is kept as its byte (so setChoice(c, other.choiceByte(c)) copies
    // a list exactly); a negative index keeps the byte of a list that has no
    // selection already, else gives 0xFF.
    void setChoice(Choice c, int index);
    // The item text shown by a list, empty without a selection.
    QString choiceText(Choice c) const;

    static const QStringList& items(Choice c);
    static int rowOf(Choice c);               // grid row of a list
    static int choiceAt(int row);             // list standing over `row`, or -1
    static const char* widgetName(Choice c);  // "cbb1" ...
    // Name of a setting row 1..22 as column 0 shows it ("19.Server Port(0-65535)").
    static QString rowName(int row);

    // A content text as messages and change summaries show it: each control
    // character as its visible symbol (a tab as U+2409, a line feed as
    // U+240A, DEL as U+2421), so a text read with such bytes neither breaks
    // the lines of a message nor hides them. GBK holds none of these symbols,
    // so no device text shows like an escaped one.
    static QString shownText(const QString& text);

    // The header, names, descriptions and start contents.
    void fillStartContents();

signals:
    void choiceChanged(int choice, int index);
    // Settings page 1 has been decoded: the choice lists are to be shown.
    void choiceListsShown();

private:
    std::array<int, ChoiceCount> choices_{};
    std::array<quint8, ChoiceCount> bytes_{};
};
