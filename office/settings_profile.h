#pragma once
// The settings profile workbook: the settings grid and its six choice lists
// kept on the PC ("Export profile") and loaded back ("Import profile").
// Neither talks to the device.
//
// Layout (first sheet; sheet cell (r, c) holds grid cell (c - 1, r - 1)):
//   A1..C1   "Items", "Content", "Description"
//   A2..A23  the setting names, B2..B23 the contents, C2..C23 the descriptions
//   B4, B5, B9, B10, B12, B13  the shown item text of cbb1, cbb2, cbb4, cbb3,
//            cbb10, cbb12 (for example "1:NO"); its first character is the
//            item index. A list without selection (an erased or foreign
//            device) is written as "No selection (byte 0xFF)" with the byte
//            it keeps, and imported back as that list and byte.
// Every cell is a text cell, so a password "0123" or a 22-digit SIM number
// comes back exactly.
//
// Two levels: profile:: functions on a SettingsSheet and a file name (the
// window and the command line run these) and Tcustomstringgrid_basis, the
// two buttons with their dialogs, status texts and progress.

#include <functional>
#include <QDateTime>
#include <QString>

#include "settings/settings_sheet.h"


namespace office {
class Workbook;
}

namespace profile {

constexpr int SettingRows = 22;

// Called after each grid row an operation has handled, with that row.
using RowDone = std::function<void(int row)>;

QString exportFilter();                      // "EXCEL file|*.xlsx;*.xls|(*.*)|*.*"
QString importFilter();                      // "EXCEL file|*.xls;*.xlsx|(*.*)|*.*"
QString proposedName(const QDateTime& now);  // basicinf_R2026-12-07_12-54-25

// Sheet row of a choice list's cell in column B (B4 for cbb1 ...).
int choiceSheetRow(SettingsSheet::Choice c);
// The text of a choice list's cell: the item text, or the no-selection form.
QString choiceCellText(const SettingsSheet& sheet, SettingsSheet::Choice c);

struct Outcome {
    bool ok = true;
    QString text;  // failure: the message; success: a note for the user, or empty
    QString path;  // export: the file actually written
};

// Fills `book` from the sheet; rowDone for grid rows 0..22.
void fillWorkbook(const SettingsSheet& sheet, office::Workbook& book, const RowDone& rowDone = {});
// Writes the profile under office::exportFileName(chosenPath).
Outcome exportProfile(const SettingsSheet& sheet, const QString& chosenPath,
                      const RowDone& rowDone = {});

// Loads grid columns 1 and 2 of rows 1..22 and the six choices. Checks
// first (A1 shows "Items"; each choice cell starts with a digit or is the
// no-selection form, else "'x' is not a valid integer value") and changes
// nothing unless all pass. A digit that names no item leaves that list
// without a selection (byte 0xFF).
Outcome importProfile(SettingsSheet& sheet, const QString& path, const RowDone& rowDone = {});
Outcome importProfile(SettingsSheet& sheet, const office::Workbook& book,
                      const RowDone& rowDone = {});

}  // namespace profile
