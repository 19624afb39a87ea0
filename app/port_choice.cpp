#include "app/port_choice.h"

#include <algorithm>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QSettings>

#include "core/prompts.h"
#include "link/device_link.h"

namespace portchoice {
namespace {

int group(const SerialPortEntry& e) {
    static const QRegularExpression usbName(QStringLiteral("^(ttyUSB|ttyACM|cu\\.usb|tty\\.usb)"));
    static const QRegularExpression legacyName(QStringLiteral("^ttyS\\d"));
    if (usbName.match(e.name).hasMatch() ||
        e.description.contains(QLatin1String("USB"), Qt::CaseInsensitive))
        return 0;
    if (legacyName.match(e.name).hasMatch()) return 2;
    return 1;
}

// "ttyUSB10" -> ("ttyUSB", 10); a name without trailing digits -> (name, -1).
std::pair<QString, qlonglong> split(const QString& name) {
    int i = int(name.size());
    while (i > 0 && name[i - 1].isDigit()) --i;
    if (i == name.size() || name.size() - i > 18) return {name, -1};
    return {name.left(i), name.mid(i).toLongLong()};
}

const QString kLastLogin = QStringLiteral("ports/lastLogin");

// ~/.config/varnel/<program>.conf: varnel-configurator.conf for the window;
// test programs keep to files of their own.
QSettings preferences() {
    return QSettings(QStringLiteral("varnel"), QCoreApplication::applicationName());
}

}  // namespace

QList<SerialPortEntry> ordered(QList<SerialPortEntry> ports) {
    std::stable_sort(ports.begin(), ports.end(),
                     [](const SerialPortEntry& a, const SerialPortEntry& b) {
                         const int ga = group(a), gb = group(b);
                         if (ga != gb) return ga < gb;
                         const auto sa = split(a.name), sb = split(b.name);
                         if (sa.first != sb.first) return sa.first < sb.first;
                         return sa.second < sb.second;
                     });
    return ports;
}

QString preselected(const QList<SerialPortEntry>& ordered, const QString& requested,
                    const QString& remembered,
                    const std::function<bool(const QString&)>& pathExists) {
    if (!requested.trimmed().isEmpty()) return requested.trimmed();
    if (!remembered.isEmpty()) {
        const bool listed = std::any_of(ordered.cbegin(), ordered.cend(),
                                        [&](const auto& e) { return e.name == remembered; });
        const bool path =
            remembered.contains(QLatin1Char('/')) && pathExists && pathExists(remembered);
        if (listed || path) return remembered;
    }
    return ordered.isEmpty() ? QString() : ordered.first().name;
}

QString remembered() {
    return preferences().value(kLastLogin).toString();
}

void remember(const QString& port) {
    QSettings settings = preferences();
    if (settings.value(kLastLogin).toString() != port) settings.setValue(kLastLogin, port);
}

}  // namespace portchoice

// A probe shows nothing: the log-in's verdict boxes are swallowed.
class PortProbe::Quiet : public Prompts {
public:
    void inform(const QString&) override {}
    void message(const QString&) override {}
    bool confirm(const QString&) override { return false; }
    bool warnOkCancel(const QString&) override { return false; }
    QString openFile(const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
};

PortProbe::PortProbe(QObject* parent)
    : QObject(parent),
      prompts_(std::make_unique<Quiet>()),
      feedback_(std::make_unique<Feedback>(*prompts_)),
      link_(std::make_unique<DeviceLink>(*feedback_)) {
    link_->port = &comm_;
    link_->retries = 0;
    link_->login.passwordBox = [] { return QString(); };
    comm_.OnReceiveData = [this](quint8 b) { link_->cm1ReceiveData(b); };
    connect(link_.get(), &DeviceLink::operationFinished, this, [this](OpOutcome o) {
        switch (o) {
            case OpOutcome::Ok:
            case OpOutcome::WrongPassword:
                done(Verdict::Controller);
                break;
            case OpOutcome::InvalidData:
                done(Verdict::Damaged);
                break;
            default:
                done(Verdict::NoAnswer);
                break;
        }
    });
    connect(&comm_, &TComm::linkLost, this, [this](const QString&) { link_->portLost(); });
    // The link's own watchdog ends every exchange; this only catches a port
    // that stops making progress in some way the link cannot see.
    guard_.setSingleShot(true);
    connect(&guard_, &QTimer::timeout, this, [this] {
        link_->cancelActive();
        done(Verdict::NoAnswer);
    });
}

PortProbe::~PortProbe() {
    comm_.ClosePort();
}

bool PortProbe::start(const QStringList& ports) {
    if (running()) return false;
    ports_ = ports;
    results_.clear();
    index_ = 0;
    QTimer::singleShot(0, this, &PortProbe::next);
    return true;
}

void PortProbe::next() {
    if (index_ < 0) return;
    if (index_ >= ports_.size()) {
        index_ = -1;
        emit finished();
        return;
    }
    const QString port = ports_[index_];
    emit probing(port, index_ + 1, int(ports_.size()));
    comm_.CommName = port;
    try {
        comm_.OpenPort();
    } catch (const ECommsError&) {
    }
    if (!comm_.isOpen() || !comm_.PortOpenError.isEmpty()) {
        Result r{port, Verdict::CannotOpen,
                 comm_.PortOpenReason.isEmpty() ? comm_.PortOpenError : comm_.PortOpenReason};
        comm_.ClosePort();
        results_.append(r);
        emit portDone(r);
        ++index_;
        QTimer::singleShot(0, this, &PortProbe::next);
        return;
    }
    feedback_->bar.tmr1.setInterval(answerTimeoutMs);
    waiting_ = true;
    guard_.start(answerTimeoutMs + link_->midFrameSilenceMs + 1000);
    link_->login.Login();
}

void PortProbe::done(Verdict v) {
    // One verdict per port: the guard's and a late one from the link are ignored.
    if (!waiting_) return;
    waiting_ = false;
    guard_.stop();
    const Result r{ports_[index_], v, {}};
    results_.append(r);
    // The verdict comes from inside the port's receive path: close and go on
    // once that has returned.
    QTimer::singleShot(0, this, [this, r] {
        comm_.ClosePort();
        link_->portLost();
        emit portDone(r);
        ++index_;
        next();
    });
}

QString PortProbe::firstController() const {
    for (const Result& r : results_)
        if (r.verdict == Verdict::Controller) return r.port;
    return {};
}

QString PortProbe::verdictText(const Result& r) {
    switch (r.verdict) {
        case Verdict::Controller:
            return QStringLiteral("controller");
        case Verdict::NoAnswer:
            return QStringLiteral("no answer");
        case Verdict::Damaged:
            return QStringLiteral("answers, but not as a controller");
        case Verdict::CannotOpen:
            return QStringLiteral("cannot open") +
                   (r.detail.isEmpty() ? QString() : QStringLiteral(": ") + r.detail);
    }
    return {};
}
