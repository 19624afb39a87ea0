#pragma once
// varnel-cli: the tool's device and file work without a window, for scripts
// and batch provisioning. It runs the same session, transfers, checks, file
// layouts and messages as the window; only the dialogs are answered by the
// command line instead of a user.

#include <functional>
#include <QStringList>
#include <QTextStream>

namespace cli {

// Exit statuses.
enum Status {
    Ok = 0,
    Failed = 1,       // a device line of a multi-device run failed in some other way
    Usage = 2,        // wrong command line
    LoginFailed = 3,  // the device refused the password
    DeviceError = 4,  // the port cannot be opened, the device refused or sent bad data
    NoAnswer = 5,     // the device did not answer ("Receive timeout")
    FileError = 6,    // an input file with errors, or an output file that cannot be written
};

struct Io {
    QTextStream& out;  // results
    QTextStream& err;  // messages and progress
    bool errIsTerminal = false;
    // Asks a yes/no question on the terminal; empty when there is none.
    std::function<bool(const QString&)> ask;
};

// Runs one command line (without the program name). Needs a
// QCoreApplication.
int run(const QStringList& arguments, Io& io);

}  // namespace cli
