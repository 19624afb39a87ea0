#include "ui/help_picture.h"

#include <QPainter>
#include <QStringList>

namespace help_picture {

QImage render() {
    QImage img(Width, Height, QImage::Format_RGB32);
    img.fill(QColor(250, 251, 253));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    p.setPen(QPen(QColor(150, 170, 200), 1));
    p.drawRect(QRectF(0.5, 0.5, Width - 1, Height - 1));
    p.fillRect(QRect(1, 1, Width - 2, 44), QColor(166, 202, 240));

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(20);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(20, 40, 90));
    p.drawText(QRect(18, 1, Width - 36, 44), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Varnel Configurator - how to use it"));

    struct Step {
        const char* head;
        const char* body;
    };
    const Step steps[] = {
        {"1. Connect",
         "Plug the controller in through its USB-serial adapter. Pick its port in \"COM Port:\" "
         "(or type a device path such as /dev/ttyUSB0) and press \"Open\". The lamp turns green. "
         "On Linux your user must be in the dialout group."},
        {"2. Log in",
         "Type the device password (factory default 5729) and press \"Log in\". "
         "\"Password confirmed!\" unlocks the device and file buttons."},
        {"3. Basic settings",
         "\"Read Settings\" loads the 22 settings from the device. Edit the Content column; "
         "six settings are chosen from lists. \"Save Settings\" writes both settings pages. "
         "\"Export profile\" / \"Import profile\" keep a set of settings in a workbook."},
        {"4. Number list",
         "\"Read\" loads all 3000 slots. Type a number, then either tick Always(V) or set the "
         "start and end date and time with the pickers. Tick Delete(V) to clear a slot. "
         "\"Save\" checks the list and writes all 375 pages. Lists travel as .xlsx and .cvs "
         "files."},
        {"5. History",
         "\"Read data\" loads the event log. Choose Start and End and press \"Filter\" to keep "
         "the events strictly between them, sorted by date and time. Export as .xlsx or .cvs. "
         "\"Delete all\" erases the log on the device after a warning."},
        {"Tips",
         "Files go to the configuration folder beside the program. Every transfer reports "
         "\"Receive timeout\" when the device does not answer within 3 seconds. No device at hand? "
         "Start varnel-devsim and open the port path it prints."},
    };
    QFont head(QStringLiteral("DejaVu Sans"));
    head.setPixelSize(14);
    head.setBold(true);
    QFont body(QStringLiteral("DejaVu Sans"));
    body.setPixelSize(12);
    int y = 58;
    for (const Step& s : steps) {
        p.setFont(head);
        p.setPen(QColor(0, 60, 160));
        p.drawText(QRect(22, y, Width - 44, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromUtf8(s.head));
        y += 21;
        p.setFont(body);
        p.setPen(QColor(30, 30, 30));
        const QRect box(36, y, Width - 60, 60);
        QRect used;
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, QString::fromUtf8(s.body),
                   &used);
        y = used.bottom() + 12;
    }
    return img;
}

}  // namespace help_picture
