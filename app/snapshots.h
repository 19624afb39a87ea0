#pragma once
// Safeguards around device writes.
//
// Snapshots: after every complete read (settings, number list, history) a
// workbook of what was read is written to ConfigDir/backups/, in the same
// layouts as the exports, named "<kind>_<stamp>[_<SIM number>].xlsx"; the
// newest 50 per kind are kept. The cells are copied when the read ends and
// the workbook is written on a thread of its own, one snapshot after the
// other, so the window never waits for it; a snapshot that cannot be written
// is reported in the status text. Restoring is importing a snapshot with the
// import buttons.
//
// What a save will change: the settings and number list as last read from
// the device (or last saved to it) are kept as a baseline. Before a save
// writes anything, the grid is compared with the baseline of the same device
// and the user is told what will change and asked to confirm. Without a
// baseline the save runs as always.

#include <array>
#include <functional>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QVector>

class DeviceSession;
class Tsend_rec_command;
class SettingsSheet;
class TextGrid;

class SnapshotKeeper : public QObject {
    Q_OBJECT
public:
    explicit SnapshotKeeper(DeviceSession& session, QObject* parent = nullptr);
    ~SnapshotKeeper() override;  // waits for the snapshot being written

    bool enabled = true;
    int keepPerKind = 50;
    QString folder() const;  // ConfigDir + "backups/"

    // The device changed (port opened or closed): baselines no longer apply.
    void forgetDevice();

    // The diff texts.
    static QString numbersChange(const TextGrid& before, const TextGrid& now);
    static QStringList settingsChange(const SettingsSheet& before, const SettingsSheet& now);

    // The question asked before `t` writes; empty when there is no baseline.
    QString changeQuestion(Tsend_rec_command* t) const;

    // Waits until the snapshots being written are on disk (tests, exit).
    void waitForWrites();

    // Runs on the writing thread before each snapshot is written (tests).
    std::function<void()> beforeWrite;

signals:
    void snapshotWritten(const QString& path);
    void snapshotFailed(const QString& error);

private:
    struct Baseline {
        bool valid = false;
        QVector<QString> cells;
        std::array<int, 6> choices{};
    };
    void transferFinished(Tsend_rec_command* t, bool ok);
    void writeSnapshot(const QString& kind, const QVector<QString>& cells,
                       const std::array<int, 6>& choices);
    void takeBaseline(Tsend_rec_command* t);

    DeviceSession& session_;
    QThreadPool writer_;  // one thread: snapshots are written in order
    int pending_ = 0;
    Baseline settingsBase_;
    Baseline numbersBase_;
};
