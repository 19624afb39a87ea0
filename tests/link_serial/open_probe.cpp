// Tries TComm::OpenPort on argv[1] as an unprivileged user and prints the
// outcome: "OPENED", or the open error and the reason on two lines. Run as
// root, it first drops to nobody, so that a chmod 000 port really is denied.

#include <grp.h>
#include <unistd.h>

#include <cstdio>
#include <QCoreApplication>

#include "link/tcomm.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    if (::getuid() == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) return 3;
    }
    QCoreApplication app(argc, argv);
    TComm comm;
    comm.CommName = QString::fromLocal8Bit(argv[1]);
    try {
        comm.OpenPort();
        std::printf("OPENED\n");
    } catch (const ECommsError& e) {
        std::printf("%s\n%s\n", e.what(), qPrintable(comm.PortOpenReason));
    }
    return 0;
}
