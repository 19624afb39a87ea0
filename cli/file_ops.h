#pragma once
// The file layouts as the command line uses them: by file name, no dialogs.
// Thin calls into the same layout code as the window's buttons.

#include <QString>

class SettingsSheet;
class TextGrid;

namespace cli::files {

// What an export did: the file it actually wrote (an ".xls" name is written
// as ".xlsx"), and a note for the user about that, or the error.
struct Written {
    QString path;
    QString note;
};

bool exportSettings(const SettingsSheet& sheet, const QString& path, QString* error,
                    Written* written = nullptr);
bool importSettings(SettingsSheet& sheet, const QString& path, QString* error);
// .cvs (or .csv): the CSV layout; anything else: a workbook.
bool exportNumbers(const TextGrid& grid, const QString& path, QString* error,
                   Written* written = nullptr);
bool importNumbers(TextGrid& grid, const QString& path, QString* error);
bool exportHistory(const TextGrid& grid, const QString& path, QString* error,
                   Written* written = nullptr);

}  // namespace cli::files
