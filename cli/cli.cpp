#include "cli/cli.h"

#include <memory>
#include <optional>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

#include "app/port_choice.h"
#include "app/session.h"
#include "cli/file_ops.h"
#include "history/history_filter.h"
#include "link/tcomm.h"
#include "numbers/number_record.h"
#include "settings/settings_codec.h"

namespace cli {
namespace {

const char* kOverview =
    "Usage: varnel-cli <command> [options]\n"
    "\n"
    "Commands:\n"
    "  ports                      List the serial ports with their adapters (USB first);\n"
    "                             --probe asks each (or each --port) for a controller.\n"
    "  settings read -o FILE      Read the basic settings into a settings profile workbook.\n"
    "  settings write -i FILE     Write a settings profile workbook to the device.\n"
    "  numbers read -o FILE       Read the authorized number list (.xlsx workbook, or .cvs CSV).\n"
    "  numbers write -i FILE      Write a number list workbook to the device\n"
    "                             (--changed-only: only the pages that differ).\n"
    "  history read -o FILE       Read the history log (.xlsx or .cvs); --from/--to filter it.\n"
    "  history delete             Delete the history log on the device (asks unless --yes).\n"
    "  time-sync                  Set the device clock to this computer's time.\n"
    "\n"
    "Device options: --port PORT (repeatable: the job runs on each device in turn),\n"
    "--password PASSWORD (default 5729), --verify (writes: read back and compare).\n"
    "Run 'varnel-cli <command> --help' for a command's options.\n"
    "\n"
    "Exit status: 0 success, 2 usage error, 3 wrong password, 4 device error,\n"
    "5 no answer from the device, 6 file error, 1 mixed failures of several devices.\n";

// Prompts answered by the command line: confirmations are the command itself,
// file dialogs take the file named on the command line, and every message is
// kept and printed in plain words.
class ConsolePrompts : public Prompts {
public:
    explicit ConsolePrompts(QTextStream& err) : err_(err) {}
    QStringList messages;
    bool deleteAnswer = false;
    QString file;
    std::function<void()> onMessage;

    void inform(const QString& text) override { note(text); }
    void message(const QString& text) override { note(text); }
    bool confirm(const QString&) override { return true; }
    bool warnOkCancel(const QString&) override { return deleteAnswer; }
    QString openFile(const QString&, const QString&) override { return file; }
    QString saveFile(const QString&, const QString&, const QString&) override { return file; }

    bool saw(const QString& text) const { return messages.contains(text); }

private:
    void note(const QString& text) {
        messages << text;
        QString shown = text;
        shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        err_ << "  " << shown << Qt::endl;
        if (onMessage) onMessage();
    }
    QTextStream& err_;
};

struct Job {
    QString command;  // "settings read", ...
    QString file;
    bool verify = false;
    bool changedOnly = false;
    bool yes = false;
    std::optional<QDateTime> from, to;
};

// How an operation's outcome becomes the exit status: the one table.
int exitStatus(OpOutcome outcome) {
    switch (outcome) {
        case OpOutcome::Ok: return Ok;
        case OpOutcome::WrongPassword: return LoginFailed;
        case OpOutcome::TimedOut: return NoAnswer;
        case OpOutcome::CheckFailed: return FileError;
        case OpOutcome::Refused:
        case OpOutcome::InvalidData:
        case OpOutcome::Mismatch:
        case OpOutcome::LinkLost:
        case OpOutcome::Cancelled:
        case OpOutcome::Busy: return DeviceError;
    }
    return Failed;
}

// One device: the port, the log-in and the job, on a session of its own.
class DeviceRun {
public:
    DeviceRun(Io& io, const QString& port) : io_(io), prompts_(io.err), port_(port) {
        session_ = std::make_unique<DeviceSession>(prompts_);
        DeviceLink& link = session_->link;
        link.port = &comm_;
        comm_.OnReceiveData = [&link](quint8 b) { link.cm1ReceiveData(b); };
        QObject::connect(&link, &DeviceLink::requestSent, [this] {
            ++requests_;
            activity_.start();
        });
        QObject::connect(&link, &DeviceLink::operationFinished, [this](OpOutcome o) {
            finished_ = true;
            outcome_ = o;
        });
        QObject::connect(&comm_, &TComm::linkLost, [this, &link](const QString& reason) {
            lost_ = reason.isEmpty() ? QStringLiteral("the port was closed") : reason;
            link.portLost();
        });
        if (io_.errIsTerminal) {
            QObject::connect(&session_->feedback.bar, &StatusBarModel::statusTextChanged,
                             [this](const QString&) { progress(); });
            QObject::connect(&session_->feedback.bar, &StatusBarModel::progressChanged,
                             [this](int, bool) { progress(); });
        }
    }
    ~DeviceRun() { comm_.ClosePort(); }

    DeviceSession& session() { return *session_; }
    ConsolePrompts& prompts() { return prompts_; }
    QString summary;

    int open() {
        comm_.CommName = port_;
        try {
            comm_.OpenPort();
        } catch (const ECommsError& e) {
            summary =
                QStringLiteral("cannot open the port: %1").arg(QString::fromLocal8Bit(e.what()));
            if (!comm_.PortOpenReason.isEmpty())
                summary += QStringLiteral(" (%1)").arg(comm_.PortOpenReason);
            return DeviceError;
        }
        if (!comm_.isOpen()) {
            summary = QStringLiteral("cannot open the port: %1").arg(comm_.PortOpenError);
            return DeviceError;
        }
        return Ok;
    }

    int login(const QString& password) {
        Tpasswordverify& login = session_->link.login;
        login.passwordBox = [password] { return password; };
        return operation([&] { login.Login(); }, QStringLiteral("log-in"));
    }

    // Starts an operation (a paged transfer or a single command) and waits
    // for its end. An operation that sends nothing was refused before any
    // traffic (a check, or a value that cannot be encoded) and said why.
    int operation(const std::function<void()>& start, const QString& what) {
        finished_ = false;
        const int before = requests_;
        start();
        if (requests_ == before && !finished_) {
            summary = what + QStringLiteral(": ") + lastMessage();
            return FileError;
        }
        wait();
        const int st = exitStatus(outcome_);
        if (st != Ok) summary = failure(what);
        return st;
    }

private:
    QString lastMessage() const {
        return prompts_.messages.isEmpty() ? QString() : prompts_.messages.last();
    }

    QString failure(const QString& what) const {
        switch (outcome_) {
            case OpOutcome::WrongPassword:
                return QStringLiteral("wrong password");
            case OpOutcome::LinkLost:
                return what + QStringLiteral(": ") + (lost_.isEmpty() ? outcomeName(outcome_) : lost_);
            case OpOutcome::TimedOut:
                return what + QStringLiteral(": the device did not answer (Receive timeout)");
            case OpOutcome::InvalidData:
                return what + QStringLiteral(": ") + outcomeName(outcome_);
            default:
                return what + QStringLiteral(": ") +
                       (lastMessage().isEmpty() ? QString::fromLatin1(outcomeName(outcome_))
                                                : lastMessage());
        }
    }

    // Waits for the running operation's end. The link ends every operation
    // itself (watchdog, one retry); this deadline is only a last guard
    // against a link that stops making progress.
    void wait() {
        constexpr int GuardMs = 30000;
        activity_.start();
        QEventLoop loop;
        QTimer poll;
        poll.setInterval(2);
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (finished_) {
                loop.quit();
            } else if (activity_.elapsed() > GuardMs) {
                session_->link.cancelActive();
                if (!finished_) {
                    finished_ = true;
                    outcome_ = OpOutcome::TimedOut;
                }
                loop.quit();
            }
        });
        poll.start();
        if (!finished_) loop.exec();
        if (io_.errIsTerminal) io_.err << "\r\033[K" << Qt::flush;
    }

    void progress() {
        if (clock_.isValid() && clock_.elapsed() < 100) return;
        clock_.start();
        const StatusBarModel& bar = session_->feedback.bar;
        io_.err << "\r\033[K" << port_ << ": " << bar.statusText();
        if (bar.progressVisible()) io_.err << "  " << bar.progressPosition() << "%";
        io_.err << Qt::flush;
    }

    Io& io_;
    ConsolePrompts prompts_;
    QString port_;
    TComm comm_;
    std::unique_ptr<DeviceSession> session_;
    int requests_ = 0;
    bool finished_ = false;
    OpOutcome outcome_ = OpOutcome::Ok;
    QString lost_;
    QElapsedTimer clock_;
    QElapsedTimer activity_;  // since the last request sent
};

// "list.xlsx" for device ttyUSB1 of several: "list-ttyUSB1.xlsx".
QString perDeviceName(const QString& file, const QString& port, int devices) {
    if (devices <= 1) return file;
    const QFileInfo fi(file);
    QString tag = QFileInfo(port).fileName();
    tag.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
    const QString suffix = fi.suffix().isEmpty() ? QString() : QLatin1Char('.') + fi.suffix();
    return fi.path() + QLatin1Char('/') + fi.completeBaseName() + QLatin1Char('-') + tag + suffix;
}

std::optional<QDateTime> parseMoment(const QString& text) {
    for (const char* format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-dd",
                               "yyyy/MM/dd HH:mm:ss", "yyyy/MM/dd HH:mm", "yyyy/MM/dd"}) {
        const QDateTime t = QDateTime::fromString(text.trimmed(), QLatin1String(format));
        if (t.isValid()) return t;
    }
    return std::nullopt;
}

// "settings read to site.xlsx", and the note when the name was changed.
QString wroteTo(const QString& what, const files::Written& w) {
    QString text = QStringLiteral("%1 to %2").arg(what, w.path);
    if (!w.note.isEmpty()) text += QStringLiteral(" (%1)").arg(w.note);
    return text;
}

int runJob(Io& io, DeviceRun& dev, const Job& job, const QString& file) {
    DeviceSession& s = dev.session();
    DeviceLink& link = s.link;
    link.verifyWrites = job.verify;
    dev.prompts().file = file;
    QString error;
    files::Written written;
    if (job.command == QLatin1String("settings read")) {
        if (int st = dev.operation([&] { s.basicInf.readSettings(); }, "settings read")) return st;
        if (!files::exportSettings(s.settings, file, &error, &written)) {
            dev.summary = error;
            return FileError;
        }
        dev.summary = wroteTo(QStringLiteral("settings read"), written);
    } else if (job.command == QLatin1String("settings write")) {
        if (int st = dev.operation([&] { s.basicInf.saveSettings(); }, "settings write")) return st;
        dev.summary = QStringLiteral("settings written%1").arg(job.verify ? " and verified" : "");
    } else if (job.command == QLatin1String("numbers read")) {
        if (int st = dev.operation([&] { s.telephoneSend.btn10Click(); }, "number list read"))
            return st;
        if (!files::exportNumbers(s.numbers, file, &error, &written)) {
            dev.summary = error;
            return FileError;
        }
        dev.summary = wroteTo(QStringLiteral("number list read"), written);
    } else if (job.command == QLatin1String("numbers write")) {
        if (job.changedOnly) {
            // What the device holds first; then only the pages that differ
            // are written, and read back.
            const QVector<QString> file = s.numbers.snapshot();
            if (int st = dev.operation([&] { s.telephoneSend.btn10Click(); }, "number list read"))
                return st;
            s.numbers.restore(file);
            link.verifyWrites = true;
        }
        if (int st = dev.operation([&] { s.telephoneSend.btn9Click(); }, "number list write"))
            return st;
        const int pages = s.telephoneSend.PageTotal;
        dev.summary = QStringLiteral("number list written%1%2")
                          .arg(job.changedOnly
                                   ? QStringLiteral(" (%1 of %2 pages differed)")
                                         .arg(pages)
                                         .arg(TtelephoneSend::Pages)
                                   : QString())
                          .arg(link.verifyWrites ? " and verified" : "");
    } else if (job.command == QLatin1String("history read")) {
        if (int st = dev.operation([&] { s.historyInf.ReadAll(); }, "history read")) return st;
        if (job.from || job.to) {
            const QDateTime from = job.from.value_or(QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
            const QDateTime to = job.to.value_or(QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59)));
            const historyfilter::Range range{from.date(), from.time(), to.date(), to.time()};
            const historyfilter::Outcome out = historyfilter::FilterRows(s.history, range);
            switch (out.result) {
                case historyfilter::Result::Applied:
                case historyfilter::Result::NoMatches:
                case historyfilter::Result::NoCorrectRows:
                    // An empty log, or nothing in the range: an empty file,
                    // not a failure.
                    historyfilter::writeRows(s.history, out.rows);
                    if (!out.message.isEmpty()) io.err << "  " << out.message << Qt::endl;
                    break;
                case historyfilter::Result::TimeSelection:
                    dev.summary = QStringLiteral("history filter: %1").arg(out.message);
                    return Usage;
                case historyfilter::Result::NotAnInteger:
                    dev.summary = QStringLiteral("history filter: %1").arg(out.message);
                    return DeviceError;
            }
        }
        if (!files::exportHistory(s.history, file, &error, &written)) {
            dev.summary = error;
            return FileError;
        }
        dev.summary = wroteTo(QStringLiteral("history read"), written);
    } else if (job.command == QLatin1String("history delete")) {
        dev.prompts().deleteAnswer = true;
        if (int st = dev.operation([&] { s.historyInf.DeleteAll(); }, "history delete"))
            return st;
        dev.summary = QStringLiteral("history deleted");
    } else if (job.command == QLatin1String("time-sync")) {
        const QDateTime now = QDateTime::currentDateTime();
        if (int st = dev.operation([&] { link.timeSync.Send(); }, "time-sync")) return st;
        dev.summary = QStringLiteral("device clock set to %1")
                          .arg(now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }
    return Ok;
}

int usage(Io& io, const QString& text) {
    io.err << "varnel-cli: " << text << "\n"
           << "Run 'varnel-cli --help' for the commands." << Qt::endl;
    return Usage;
}

}  // namespace

int run(const QStringList& arguments, Io& io) {
    if (arguments.isEmpty() || arguments.first() == QLatin1String("--help") ||
        arguments.first() == QLatin1String("-h") || arguments.first() == QLatin1String("help")) {
        (arguments.isEmpty() ? io.err : io.out) << kOverview << Qt::flush;
        return arguments.isEmpty() ? Usage : Ok;
    }
    if (arguments.first() == QLatin1String("--version")) {
        io.out << "varnel-cli 1.7.3" << Qt::endl;
        return Ok;
    }

    QStringList args = arguments;
    Job job;
    job.command = args.takeFirst();
    if (job.command == QLatin1String("settings") || job.command == QLatin1String("numbers") ||
        job.command == QLatin1String("history")) {
        if (args.isEmpty() || args.first().startsWith(QLatin1Char('-'))) {
            if (!args.isEmpty() &&
                (args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h"))) {
                io.out << kOverview << Qt::flush;
                return Ok;
            }
            return usage(io, QStringLiteral("'%1' needs a subcommand").arg(job.command));
        }
        job.command += QLatin1Char(' ') + args.takeFirst();
    }
    static const QStringList known = {"ports",          "settings read", "settings write",
                                      "numbers read",   "numbers write", "history read",
                                      "history delete", "time-sync"};
    if (!known.contains(job.command))
        return usage(io, QStringLiteral("unknown command '%1'").arg(job.command));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("varnel-cli %1").arg(job.command));
    const QCommandLineOption help({"h", "help"}, "Show this help.");
    const QCommandLineOption port("port", "Serial port or device path (repeatable).", "PORT");
    const QCommandLineOption password("password", "Device password (default 5729).", "PASSWORD",
                                      "5729");
    const QCommandLineOption output({"o", "output"}, "File to write.", "FILE");
    const QCommandLineOption input({"i", "input"}, "File to read.", "FILE");
    const QCommandLineOption verify("verify", "Read the written pages back and compare them.");
    const QCommandLineOption from(
        "from", "History: keep events after this moment (yyyy-MM-dd [HH:mm:ss]).", "MOMENT");
    const QCommandLineOption to(
        "to", "History: keep events before this moment (yyyy-MM-dd [HH:mm:ss]).", "MOMENT");
    const QCommandLineOption yes("yes", "Do not ask before deleting.");
    const QCommandLineOption probe(
        "probe", "Send each port the log-in read (it changes nothing) and say which answer as a "
                 "controller. Exit status 0 when one does, 5 when none does.");
    const QCommandLineOption probePort("port", "Probe this port or device path (repeatable).",
                                       "PORT");
    const QCommandLineOption changedOnly(
        "changed-only",
        "Numbers: read the device first, then write and verify only the pages that differ.");
    p.addOption(help);
    const bool device = job.command != QLatin1String("ports");
    const bool reads = job.command.endsWith(QLatin1String(" read"));
    const bool writes = job.command.endsWith(QLatin1String(" write"));
    if (device) {
        p.addOption(port);
        p.addOption(password);
    }
    if (reads) p.addOption(output);
    if (writes) {
        p.addOption(input);
        p.addOption(verify);
    }
    if (job.command == QLatin1String("history read")) {
        p.addOption(from);
        p.addOption(to);
    }
    if (job.command == QLatin1String("history delete")) p.addOption(yes);
    if (!device) {
        p.addOption(probe);
        p.addOption(probePort);
    }
    if (job.command == QLatin1String("numbers write")) p.addOption(changedOnly);

    if (!p.parse(QStringList{QStringLiteral("varnel-cli")} + args)) return usage(io, p.errorText());
    if (p.isSet(help)) {
        io.out << "Usage: varnel-cli " << job.command << " [options]\n\n"
               << p.helpText().section('\n', 2) << Qt::flush;
        return Ok;
    }
    if (!p.positionalArguments().isEmpty())
        return usage(
            io, QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first()));

    if (job.command == QLatin1String("ports")) {
        const bool probing = p.isSet(probe);
        if (p.isSet(probePort) && !probing)
            return usage(io, QStringLiteral("ports takes --port only with --probe"));
        QList<SerialPortEntry> ports = portchoice::ordered(Trecognitionserial::ports());
        if (p.isSet(probePort)) {
            QList<SerialPortEntry> chosen;
            for (const QString& name : p.values(probePort)) {
                SerialPortEntry e{name, {}};
                for (const SerialPortEntry& listed : ports)
                    if (listed.name == name) e = listed;
                chosen.append(e);
            }
            ports = chosen;
        }
        if (ports.isEmpty()) {
            io.err << "No serial ports found." << Qt::endl;
            return probing ? NoAnswer : Ok;
        }
        if (!probing) {
            for (const SerialPortEntry& e : ports) io.out << e.name << '\t' << e.description << '\n';
            io.out.flush();
            return Ok;
        }
        // One port after the other, each line as soon as its verdict is in.
        PortProbe prober;
        QStringList names;
        for (const SerialPortEntry& e : ports) names << e.name;
        QEventLoop loop;
        QObject::connect(&prober, &PortProbe::portDone, [&](const PortProbe::Result& r) {
            QString description;
            for (const SerialPortEntry& e : ports)
                if (e.name == r.port) description = e.description;
            io.out << r.port << '\t' << description << '\t' << PortProbe::verdictText(r) << Qt::endl;
        });
        QObject::connect(&prober, &PortProbe::finished, &loop, &QEventLoop::quit);
        // The probe ends every port itself; this is only a last guard.
        QTimer::singleShot(int(names.size()) * (prober.answerTimeoutMs + 5000), &loop,
                           &QEventLoop::quit);
        prober.start(names);
        loop.exec();
        return prober.firstController().isEmpty() ? NoAnswer : Ok;
    }

    const QStringList ports = p.values(port);
    if (ports.isEmpty()) return usage(io, QStringLiteral("--port is required"));
    if (reads) {
        if (!p.isSet(output)) return usage(io, QStringLiteral("-o FILE is required"));
        job.file = p.value(output);
    }
    if (writes) {
        if (!p.isSet(input)) return usage(io, QStringLiteral("-i FILE is required"));
        job.file = p.value(input);
        job.verify = p.isSet(verify);
        job.changedOnly = job.command == QLatin1String("numbers write") && p.isSet(changedOnly);
    }
    if (job.command == QLatin1String("history read")) {
        if (p.isSet(from) && !(job.from = parseMoment(p.value(from))))
            return usage(io, QStringLiteral("--from: not a moment: %1").arg(p.value(from)));
        if (p.isSet(to) && !(job.to = parseMoment(p.value(to))))
            return usage(io, QStringLiteral("--to: not a moment: %1").arg(p.value(to)));
    }
    if (job.command == QLatin1String("history delete")) {
        job.yes = p.isSet(yes);
        if (!job.yes) {
            if (!io.ask)
                return usage(
                    io, QStringLiteral("history delete needs --yes when not run from a terminal"));
            if (!io.ask(QStringLiteral("Delete the whole history log on %1 device(s)?")
                            .arg(ports.size()))) {
                io.err << "Nothing deleted." << Qt::endl;
                return Ok;
            }
        }
    }

    // A file to write to the device is read and checked once, before any
    // device is touched: a file with errors causes no traffic at all.
    std::unique_ptr<DeviceSession> loaded;
    class Silent : public Prompts {
    public:
        QStringList messages;
        void inform(const QString& t) override { messages << t; }
        void message(const QString& t) override { messages << t; }
        bool confirm(const QString&) override { return true; }
        bool warnOkCancel(const QString&) override { return false; }
        QString openFile(const QString&, const QString&) override { return {}; }
        QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
    } silent;
    if (writes) {
        loaded = std::make_unique<DeviceSession>(silent);
        QString error;
        const bool ok = job.command == QLatin1String("settings write")
                            ? files::importSettings(loaded->settings, job.file, &error)
                            : files::importNumbers(loaded->numbers, job.file, &error);
        if (!ok) {
            io.err << "varnel-cli: " << error << Qt::endl;
            return FileError;
        }
        std::optional<QString> refusal;
        if (job.command == QLatin1String("settings write")) {
            refusal = TBasicInf::passwordProblem(loaded->settings);
            settings::Page page;
            for (int n : {1, 2})
                if (!refusal) refusal = settings::encodePage(n, loaded->settings, page);
        } else if (!loaded->telephoneSend.CheckList()) {
            refusal = silent.messages.join(QLatin1Char('\n'));
        } else {
            quint8 page[numrec::PageSize];
            for (int n = 1; n <= TtelephoneSend::Pages && !refusal; ++n) {
                const QString e = numrec::encodePage(loaded->numbers, n, page);
                if (!e.isEmpty()) refusal = e;
            }
        }
        if (refusal) {
            refusal->replace(QLatin1Char('\r'), QLatin1Char('\n'));
            io.err << "varnel-cli: " << job.file << ": " << *refusal << Qt::endl;
            return FileError;
        }
    }

    QList<QPair<QString, int>> report;
    QStringList lines;
    for (const QString& name : ports) {
        io.err << name << ":" << Qt::endl;
        DeviceRun dev(io, name);
        int st = dev.open();
        if (st == Ok) st = dev.login(p.value(password));
        if (st == Ok) {
            if (loaded) {
                if (job.command == QLatin1String("settings write")) {
                    dev.session().settings.grid.restore(loaded->settings.grid.snapshot());
                    for (int c = 0; c < SettingsSheet::ChoiceCount; ++c)
                        dev.session().settings.setChoice(
                            SettingsSheet::Choice(c),
                            loaded->settings.choiceByte(SettingsSheet::Choice(c)));
                } else {
                    dev.session().numbers.restore(loaded->numbers.snapshot());
                }
            }
            st = runJob(io, dev, job, perDeviceName(job.file, name, int(ports.size())));
        }
        report.append({name, st});
        lines << QStringLiteral("%1: %2 - %3")
                     .arg(name, st == Ok ? QStringLiteral("ok") : QStringLiteral("FAILED"),
                          dev.summary);
    }
    io.out << "\n";
    for (const QString& l : lines) io.out << l << '\n';
    io.out.flush();

    int overall = Ok;
    for (const auto& r : report) {
        if (r.second == Ok) continue;
        if (overall == Ok)
            overall = r.second;
        else if (overall != r.second)
            overall = Failed;
    }
    return overall;
}

}  // namespace cli
