#pragma once
// Workbooks: the settings profile, the number list and the history are kept
// as spreadsheet files. This is the one interface the file layouts use.
//
// A Workbook is a small in-memory sheet (the active worksheet of a file, or
// its first worksheet when none is marked active; rows and columns counted
// from 1 as in a spreadsheet) with a writer and a reader behind it. No
// spreadsheet program is involved.
//
// What it guarantees:
// - saveAs() writes an .xlsx file in which every written text is a text cell
//   with the number format "@": leading zeros, "+", dates and texts starting
//   with "=", "-" or "@" come back exactly as written and never become
//   numbers or formulas. The file appears complete or not at all (it is
//   written beside the target under a temporary name and then renamed).
//   Every character is kept, U+0000 and other control characters included
//   (stored as the format's _xHHHH_ escapes); a text holding a character no
//   workbook can hold (a lone surrogate, U+FFFE, U+FFFF) refuses the save
//   before anything is written. saveAs() may run on any thread.
// - open() accepts .xlsx and legacy .xls content, chosen by the file's first
//   bytes, never by its name. Workbooks from outside are untrusted: the
//   reader caps the bytes it inflates and the characters it keeps, refuses
//   XML document type declarations, ignores the size claims inside the
//   file, and keeps only rows 1..maxRows and columns 1..maxColumns. Legacy
//   .xls files are read by the helper program varnel-xls-reader, installed
//   beside the tool.
// - Nothing throws. Every failing operation returns false and leaves a
//   message for the user in errorText(); a failed open() leaves the
//   workbook empty.

#include <memory>
#include <QString>
#include <QtGlobal>

namespace office {

enum class CellKind { Empty, String, Number, Bool, Date };

// A cell as read: its kind and its value as text.
// - String: the text (shared, inline and formula-result strings; an error
//   value such as "#N/A" is read as its text).
// - Number: a whole number as its decimal digits without ".0" ("13800138000",
//   "-5"); any other number in its shortest round-trip form ("0.1", "1e+20").
//   `number` holds the value.
// - Bool: "TRUE" or "FALSE".
// - Date: a cell whose number format shows a date or a time: "yyyy/MM/dd",
//   "hh:mm", or "yyyy/MM/dd hh:mm" when the format shows both (a date-time
//   at midnight reads "yyyy/MM/dd", as its value does in a spreadsheet).
//   `number` holds the spreadsheet's day serial.
// - Empty: "".
struct CellValue {
    CellKind kind = CellKind::Empty;
    QString text;
    double number = 0;
};

// Bounds for reading a workbook from outside. The defaults fit the number
// list (3001 rows x 8 columns) with room to spare.
struct ReadLimits {
    int maxRows = 3001;
    int maxColumns = 10;
    qint64 maxFileBytes = 64 << 20;      // size of the file itself
    qint64 maxInflatedBytes = 64 << 20;  // all parts of an .xlsx together
    int maxCellChars = 32767;            // a spreadsheet's own limit per cell
};

class Workbook {
public:
    Workbook();  // a new, empty workbook
    ~Workbook();
    Workbook(Workbook&&) noexcept;
    Workbook& operator=(Workbook&&) noexcept;

    // Replaces the contents with the active worksheet of `path` (of a
    // legacy .xls: its first worksheet).
    bool open(const QString& path, const ReadLimits& limits = {});
    // The same for a file's bytes; `name` is used in messages only.
    bool openBytes(const QByteArray& bytes, const QString& name, const ReadLimits& limits = {});

    // Width of `column` in the spreadsheet's character units (0 to 255).
    bool setColumnWidth(int column, double width);
    // Marks a cell as text ("@"). Written texts are always text cells; this
    // also gives an empty cell the text format, as a spreadsheet would.
    bool setTextFormat(int row, int column);
    // Writes `text` into a cell as a string (never as a number or formula).
    bool setText(int row, int column, const QString& text);

    CellValue cell(int row, int column) const;  // outside the sheet: Empty
    QString value(int row, int column) const;   // the value as text
    // The text a spreadsheet shows for the cell. For every kind read here
    // this is the value as text (dates and times already in their shown
    // form), so header checks on it see exactly what was written.
    QString shownText(int row, int column) const;

    // Writes the workbook as .xlsx to `path` exactly as given; callers pick
    // the name through exportFileName() first.
    bool saveAs(const QString& path);
    // Drops the contents; the object is a new, empty workbook again.
    void close();

    QString errorText() const;

    static constexpr int kMaxRow = 1048576;
    static constexpr int kMaxColumn = 16384;
    static constexpr int kMaxTextChars = 32767;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// The name an export is written under, from the name chosen in a dialog.
// - "name.xlsx" (any case) stays as it is.
// - No extension, or one that is not a workbook's ("telinf_R2024-05-17_08-30-00",
//   "list.csv"): ".xlsx" is added, as a spreadsheet program adds its default
//   extension.
// - "name.xls": that legacy format cannot be written, and .xlsx content under
//   an .xls name would be refused or misread by the programs that open it,
//   so the file is written as "name.xlsx" instead and `note` (if given)
//   receives a sentence for the user saying so. `note` is cleared otherwise.
QString exportFileName(const QString& chosen, QString* note = nullptr);

// Telephone numbers read from a workbook. A cell stored as a number has
// already been through the spreadsheet's 15-significant-digit arithmetic:
// it is a telephone number only when it is a whole, non-negative number of
// at most 15 digits (its text is then exact). Text cells and empty cells are
// taken as they are; booleans and dates never are telephone numbers.
bool usableAsPhoneNumber(const CellValue& cell);

}  // namespace office
