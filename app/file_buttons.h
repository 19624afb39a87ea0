#pragma once
// The file buttons of the three tabs, on a session: each asks for a file
// through the prompts, runs a file layout on the session's grid with the
// status text and progress bar following it, and reports the outcome. No
// widgets: the tabs call these, and tests drive them with recorded prompts.

#include <functional>
#include <QDateTime>

class DeviceSession;

// The number list tab's file buttons on a session.
class NumberFiles {
public:
    explicit NumberFiles(DeviceSession& session);

    // Time stamp of the proposed file names (tests fix it).
    std::function<QDateTime()> clock;

    void btn15Click();  // "Export .XLS"
    void btn14Click();  // "Import .XLS"
    void btn3Click();   // "Export .CSV"

private:
    DeviceSession& session_;
};

// The history tab's export buttons on a session.
class Tcustomstringgrid_his {
public:
    explicit Tcustomstringgrid_his(DeviceSession& session);

    // Time stamp of the proposed file names (tests fix it).
    std::function<QDateTime()> clock;

    void ExportHistoryWorkbook();  // "Export.XLS" (btn13)
    void ExportHistoryCsv();       // "Export.CSV" (btn18)

private:
    DeviceSession& session_;
};

// The settings tab's profile buttons on a session.
class Tcustomstringgrid_basis {
public:
    explicit Tcustomstringgrid_basis(DeviceSession& session);

    // Time stamp of the proposed file name (tests fix it).
    std::function<QDateTime()> clock;

    void ExportProfile();  // "Export profile" (btn17)
    void ImportProfile();  // "Import profile" (btn16)

private:
    DeviceSession& session_;
};
