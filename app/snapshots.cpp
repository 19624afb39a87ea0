#include "app/snapshots.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>

#include "app/session.h"
#include "numbers/number_record.h"
#include "office/history_files.h"
#include "office/number_files.h"
#include "office/settings_profile.h"
#include "office/workbook.h"

namespace {

QString kindOf(const DeviceSession& s, const Tsend_rec_command* t) {
    if (t == &s.basicInf) return QStringLiteral("settings");
    if (t == &s.telephoneSend) return QStringLiteral("numbers");
    if (t == &s.historyInf) return QStringLiteral("history");
    return {};
}

// The list bytes, not the indexes: a list without a selection keeps its own byte.
std::array<int, 6> choicesOf(const SettingsSheet& sheet) {
    std::array<int, 6> c{};
    for (int i = 0; i < SettingsSheet::ChoiceCount; ++i)
        c[size_t(i)] = sheet.choiceByte(SettingsSheet::Choice(i));
    return c;
}

void loadSheet(SettingsSheet& sheet, const QVector<QString>& cells,
               const std::array<int, 6>& choices) {
    sheet.grid.restore(cells);
    for (int i = 0; i < SettingsSheet::ChoiceCount; ++i)
        sheet.setChoice(SettingsSheet::Choice(i), choices[size_t(i)]);
}

// Characters a file name may carry from a SIM number.
QString fileTag(const QString& text) {
    QString out;
    for (QChar c : text)
        if (c.isDigit() || c == QLatin1Char('+')) out += c;
    return out.left(24);
}

}  // namespace

SnapshotKeeper::SnapshotKeeper(DeviceSession& session, QObject* parent)
    : QObject(parent), session_(session) {
    writer_.setMaxThreadCount(1);
    connect(&session_.link, &DeviceLink::transferFinished, this, &SnapshotKeeper::transferFinished);
}

SnapshotKeeper::~SnapshotKeeper() {
    // A running write finishes first; its result, queued to this object, is
    // dropped with it.
    writer_.waitForDone();
}

QString SnapshotKeeper::folder() const {
    return session_.ConfigDir + QStringLiteral("backups/");
}

void SnapshotKeeper::forgetDevice() {
    settingsBase_ = {};
    numbersBase_ = {};
}

void SnapshotKeeper::waitForWrites() {
    while (pending_ > 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void SnapshotKeeper::transferFinished(Tsend_rec_command* t, bool ok) {
    if (!ok) return;
    const QString kind = kindOf(session_, t);
    if (kind.isEmpty()) return;
    // A completed read or save both leave the device holding what the grid
    // shows now: that is the baseline of the next save.
    takeBaseline(t);
    // Snapshots are of reads only: what came from the device.
    if (!enabled || t->lastChainWasWrite()) return;
    if (kind == QLatin1String("settings"))
        writeSnapshot(kind, session_.settings.grid.snapshot(), choicesOf(session_.settings));
    else if (kind == QLatin1String("numbers"))
        writeSnapshot(kind, session_.numbers.snapshot(), {});
    else
        writeSnapshot(kind, session_.history.snapshot(), {});
}

void SnapshotKeeper::takeBaseline(Tsend_rec_command* t) {
    if (t == &session_.basicInf) {
        settingsBase_.valid = true;
        settingsBase_.cells = session_.settings.grid.snapshot();
        settingsBase_.choices = choicesOf(session_.settings);
    } else if (t == &session_.telephoneSend) {
        numbersBase_.valid = true;
        numbersBase_.cells = session_.numbers.snapshot();
    }
}

void SnapshotKeeper::writeSnapshot(const QString& kind, const QVector<QString>& cells,
                                   const std::array<int, 6>& choices) {
    const QString dir = folder();
    const QString sim = fileTag(session_.settings.content(2));
    const QString name =
        kind + QLatin1Char('_') +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss-zzz")) +
        (sim.isEmpty() ? QString() : QLatin1Char('_') + sim) + QStringLiteral(".xlsx");
    const int keep = keepPerKind;
    const std::function<void()> hook = beforeWrite;
    ++pending_;
    // The cells were copied above; the writing thread touches nothing else.
    // Its result comes back to this object through the event loop.
    writer_.start([this, dir, name, kind, cells, choices, keep, hook] {
        if (hook) hook();
        QString error;
        if (!QDir().mkpath(dir)) error = QStringLiteral("cannot create %1").arg(dir);
        const QString path = dir + name;
        if (error.isEmpty()) {
            if (kind == QLatin1String("settings")) {
                SettingsSheet sheet;
                loadSheet(sheet, cells, choices);
                const auto o = profile::exportProfile(sheet, path);
                if (!o.ok) error = o.text;
            } else {
                TextGrid grid(8, kind == QLatin1String("numbers") ? 3001 : 1001);
                grid.restore(cells);
                if (kind == QLatin1String("numbers")) {
                    const auto o = numfiles::exportWorkbook(grid, path);
                    if (!o.ok()) error = o.text;
                } else {
                    const auto o = hisfiles::exportWorkbook(grid, path);
                    if (!o.ok) error = o.text;
                }
            }
        }
        if (error.isEmpty()) {
            // Keep the newest `keep` of this kind; names sort by their stamp.
            QStringList all =
                QDir(dir).entryList({kind + QStringLiteral("_*.xlsx")}, QDir::Files, QDir::Name);
            while (all.size() > keep) QFile::remove(dir + all.takeFirst());
        }
        QMetaObject::invokeMethod(
            this,
            [this, path, error] {
                --pending_;
                if (error.isEmpty())
                    emit snapshotWritten(path);
                else
                    emit snapshotFailed(error);
            },
            Qt::QueuedConnection);
    });
}

QString SnapshotKeeper::numbersChange(const TextGrid& before, const TextGrid& now) {
    int changed = 0, cleared = 0, unchanged = 0;
    quint8 a[256], b[256];
    for (int page = 1; page <= 375; ++page) {
        if (!numrec::encodePage(before, page, a).isEmpty() ||
            !numrec::encodePage(now, page, b).isEmpty())
            return {};  // the save itself will refuse this grid
        for (int i = 0; i < 8; ++i) {
            const quint8* ra = a + 32 * i;
            const quint8* rb = b + 32 * i;
            if (std::equal(ra, ra + 32, rb)) {
                ++unchanged;
                continue;
            }
            const bool deleted = std::all_of(rb, rb + 32, [](quint8 x) { return x == 0xFF; });
            const bool emptied = rb[0] == 0 && ra[0] != 0 && ra[0] != 0xFF;
            (deleted || emptied) ? ++cleared : ++changed;
        }
    }
    return QStringLiteral("%1 %2 changed, %3 cleared, %4 unchanged")
        .arg(changed)
        .arg(changed == 1 ? QStringLiteral("slot") : QStringLiteral("slots"))
        .arg(cleared)
        .arg(unchanged);
}

QStringList SnapshotKeeper::settingsChange(const SettingsSheet& before, const SettingsSheet& now) {
    QStringList rows;
    for (int r = 1; r <= 22; ++r) {
        const int c = SettingsSheet::choiceAt(r);
        QString was, will;
        if (c >= 0) {
            was = before.choiceText(SettingsSheet::Choice(c));
            will = now.choiceText(SettingsSheet::Choice(c));
        } else {
            was = before.content(r);
            will = now.content(r);
        }
        if (was != will)
            rows << QStringLiteral("%1: \"%2\" -> \"%3\"")
                        .arg(now.grid.text(0, r), SettingsSheet::shownText(was),
                             SettingsSheet::shownText(will));
    }
    return rows;
}

QString SnapshotKeeper::changeQuestion(Tsend_rec_command* t) const {
    if (t == &session_.telephoneSend && numbersBase_.valid) {
        TextGrid before(8, 3001);
        before.restore(numbersBase_.cells);
        const QString change = numbersChange(before, session_.numbers);
        if (change.isEmpty()) return {};
        return QStringLiteral(
                   "Save the authorized number list to the GSM device?\n"
                   "Compared with the list last read from this device: ") +
               change;
    }
    if (t == &session_.basicInf && settingsBase_.valid) {
        SettingsSheet before;
        loadSheet(before, settingsBase_.cells, settingsBase_.choices);
        const QStringList rows = settingsChange(before, session_.settings);
        return QStringLiteral("Save the basic settings to the GSM device?\n") +
               (rows.isEmpty()
                    ? QStringLiteral("No setting differs from what was last read from this device.")
                    : QStringLiteral("Settings that will change:\n") +
                          rows.join(QLatin1Char('\n')));
    }
    return {};
}
