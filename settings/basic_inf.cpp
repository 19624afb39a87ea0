#include "settings/basic_inf.h"

#include "link/device_link.h"

void TBasicInf::ReadPage(int page) { sendRead(devaddr::settingsPage(page), QStringLiteral("Read settings")); }

bool TBasicInf::WritePage(int) { return false; }

void TBasicInf::DecodePage() { ReadNext(); }
