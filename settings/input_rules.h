#pragma once
// The per-row input rules of the settings grid, applied after every change
// of the in-place editor's text. Pure: the editor widget forwards the text
// and shows the result.
//
// Lengths are GBK bytes, the unit of the settings pages, so a double-byte
// character counts twice and a text is never cut inside one.

#include <QString>

namespace settings {

struct InputResult {
    QString cellText;    // what the content cell holds afterwards
    int moveToRow = -1;  // row the selection moves to, -1 to stay
    QString refused;     // first character removed (GBK cannot hold it, or a
                         // typed stand-in of a device byte or control
                         // character), if any
};

struct RowRule {
    bool choice = false;  // a choice list stands over the cell
    bool digits = false;  // the last character must be a digit
    int limit = 0;        // bytes, 0: none
    int target = -1;      // row the selection moves to at the limit
};

RowRule ruleOf(int row);

// `text` is the editor's whole text after the change, `before` what the cell
// held before it. Stand-ins of device bytes (gbk::isStandIn) and control
// characters (gbk::isControl: a tab or line break pasted with the text) that
// `before` held stay, as they came from the device or a profile; more of
// them are typed ones and refused like any character the device cannot hold.
InputResult applyInputRule(int row, const QString& text, const QString& before = {});

// The message that names the row and the refused character.
QString refusedMessage(int row, const QString& character);

}  // namespace settings
