#include "cli/file_ops.h"

#include <QFileInfo>

#include "office/history_files.h"
#include "office/number_files.h"
#include "office/settings_profile.h"

namespace cli::files {

namespace {

bool isCsv(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("cvs") || suffix == QLatin1String("csv");
}

template <typename Outcome>
bool report(const Outcome& o, bool ok, QString* error) {
    if (!ok && error) *error = o.text;
    return ok;
}

template <typename Outcome>
bool reportExport(const Outcome& o, bool ok, QString* error, Written* written) {
    if (ok && written) *written = {o.path, o.text};
    return report(o, ok, error);
}

}  // namespace

bool exportSettings(const SettingsSheet& sheet, const QString& path, QString* error,
                    Written* written) {
    const auto o = profile::exportProfile(sheet, path);
    return reportExport(o, o.ok, error, written);
}

bool importSettings(SettingsSheet& sheet, const QString& path, QString* error) {
    const auto o = profile::importProfile(sheet, path);
    return report(o, o.ok, error);
}

bool exportNumbers(const TextGrid& grid, const QString& path, QString* error,
                   Written* written) {
    const auto o =
        isCsv(path) ? numfiles::exportCsv(grid, path) : numfiles::exportWorkbook(grid, path);
    return reportExport(o, o.ok(), error, written);
}

bool importNumbers(TextGrid& grid, const QString& path, QString* error) {
    auto o = numfiles::importWorkbook(grid, path);
    if (!o.ok()) o.text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return report(o, o.ok(), error);
}

bool exportHistory(const TextGrid& grid, const QString& path, QString* error,
                   Written* written) {
    const auto o =
        isCsv(path) ? hisfiles::exportCsv(grid, path) : hisfiles::exportWorkbook(grid, path);
    return reportExport(o, o.ok, error, written);
}

}  // namespace cli::files
