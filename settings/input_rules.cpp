#include "settings/input_rules.h"

#include <QHash>
#include <QList>

#include "core/gbk.h"
#include "settings/settings_codec.h"
#include "settings/settings_sheet.h"

namespace settings {

namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The longest start of `text` that fits into `limit` GBK bytes.
QString cutToBytes(const QString& text, int limit) {
    if (gbk::byteLength(text) <= limit) return text;
    int bytes = 0;
    int i = 0;
    while (i < text.size()) {
        const int len = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const int b = gbk::byteLength(text.mid(i, len));
        if (bytes + b > limit) break;
        bytes += b;
        i += len;
    }
    return text.left(i);
}

// A character the device may hold but a user does not type: a stand-in of a
// device byte or a control character. The cell keeps as many of each as it
// held before the change.
bool keptOnlyIfHeld(char32_t c) {
    return gbk::isStandIn(c) || gbk::isControl(c);
}

// Removes the characters GBK cannot hold and the stand-ins and control
// characters that `before` did not hold; returns the first character removed.
QString stripRefused(QString& text, const QString& before) {
    QHash<char32_t, int> held;  // such characters the cell already had, by count
    for (char32_t c : before.toUcs4())
        if (keptOnlyIfHeld(c)) ++held[c];
    QString first;
    QString kept;
    const auto ucs4 = text.toUcs4();
    for (char32_t c : ucs4) {
        bool keep = gbk::charLength(c) > 0;
        if (keep && keptOnlyIfHeld(c)) {
            int& left = held[c];
            keep = left > 0;
            if (keep) --left;
        }
        const QString one = QString::fromUcs4(&c, 1);
        if (keep)
            kept += one;
        else if (first.isEmpty())
            first = one;
    }
    if (!first.isEmpty()) text = kept;
    return first;
}

}  // namespace

RowRule ruleOf(int row) {
    switch (row) {
        case 1:
            return {false, true, 4, 2};
        case 2:
            return {false, true, 22, 3};
        case 3:
        case 4:
        case 8:
            return {true, false, 0, -1};
        case 5:
        case 6:
        case 13:
        case 14:
            return {false, false, 40, row + 1};
        case 7:
        case 10:
        case 15:
        case 16:
            return {false, true, 3, row + 1};
        case 9:
        case 11:
        case 12:
            return {true, true, 3, row + 1};
        case 17:
            return {false, true, 4, 18};
        case 18:
            return {false, false, 32, 19};
        case 19:
            return {false, false, 5, 20};
        case 20:
        case 21:
            return {false, false, 16, row + 1};
        case 22:
            return {false, false, 16, 21};  // the last row: back to the one above
        default:
            return {};
    }
}

InputResult applyInputRule(int row, const QString& typed, const QString& before) {
    InputResult r;
    QString text = typed;
    r.refused = stripRefused(text, before);
    r.cellText = text;
    const RowRule rule = ruleOf(row);

    // The cell under a choice list never holds a typed value.
    if (rule.choice) {
        r.cellText.clear();
        r.moveToRow = row + 1;
    }
    // Only the last character is tested; on a choice row this works on the
    // typed text, so a pasted text keeps all but its last character.
    if (rule.digits && !text.isEmpty() && !isDigit(text.back()))
        r.cellText = text.left(text.size() - 1);
    // The limit looks at the text before the digit rule removed anything.
    if (rule.limit > 0 && gbk::byteLength(text) >= rule.limit) {
        r.cellText = cutToBytes(r.cellText, rule.limit);
        r.moveToRow = rule.target;
    }
    return r;
}

QString refusedMessage(int row, const QString& character) {
    const auto ucs4 = character.toUcs4();
    if (ucs4.size() != 1 || !gbk::isControl(ucs4.first()))
        return unencodableMessage(row, character);
    const QString hex = QStringLiteral("%1").arg(uint(ucs4.first()), 4, 16, QLatin1Char('0'));
    return QStringLiteral("%1: the control character %2 (U+%3) cannot be typed")
        .arg(SettingsSheet::rowName(row), SettingsSheet::shownText(character), hex.toUpper());
}

}  // namespace settings
