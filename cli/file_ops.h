#pragma once
// The file layouts as the command line uses them: by file name, no dialogs.
// Thin calls into the same layout code as the window's buttons.

#include <QString>

class SettingsSheet;
class TextGrid;

namespace cli::files {

bool exportSettings(const SettingsSheet& sheet, const QString& path, QString* error);
bool importSettings(SettingsSheet& sheet, const QString& path, QString* error);
// .cvs (or .csv): the CSV layout; anything else: a workbook.
bool exportNumbers(const TextGrid& grid, const QString& path, QString* error);
bool importNumbers(TextGrid& grid, const QString& path, QString* error);
bool exportHistory(const TextGrid& grid, const QString& path, QString* error);

}  // namespace cli::files
