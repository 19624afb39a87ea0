#pragma once
// The long-lived objects that the window, the command line and the tests
// share: the device link with its dispatcher, the three grids and the three
// paged transfers. No widgets here.

#include <QObject>
#include <QString>

#include "core/feedback.h"
#include "core/text_grid.h"
#include "core/traffic_log.h"
#include "history/history_inf.h"
#include "link/device_link.h"
#include "numbers/telephone_send.h"
#include "settings/basic_inf.h"
#include "settings/settings_sheet.h"

class DeviceSession : public QObject {
    Q_OBJECT
public:
    explicit DeviceSession(Prompts& prompts, QObject* parent = nullptr);

    Feedback feedback;  // boxes, status text and progress of every operation
    DeviceLink link;
    SettingsSheet settings;     // strngrd_write and its choice lists
    TextGrid numbers{8, 3001};  // strngrd3
    TextGrid history{8, 1001};  // strngrd4
    TtelephoneSend telephoneSend{link, numbers};
    THistoryInf historyInf{link, history};
    TBasicInf basicInf{link, settings};
    TrafficLog traffic;  // every frame and link event

    // Folder of the file dialogs: "configuration/" beside the executable,
    // created when missing; a per-user data folder when that cannot be
    // created (an installed, read-only location). Ends with "/".
    QString ConfigDir;
    static QString chooseConfigDir(const QString& executableDir, const QString& fallbackDir);
};
