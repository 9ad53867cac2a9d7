#pragma once
#include <QStringList>

// Each group of admin commands registers itself with a static AdminCommand:
//   static const AdminCommand reg{"check", "FILE.DAT", "checks a table", &runCheck};
// The handler gets the arguments after the command's name and returns the
// process exit code.
using AdminHandler = int (*)(const QStringList& args);

struct AdminCommand {
    AdminCommand(const char* name, const char* usage, const char* summary, AdminHandler handler);
    const char* name;
    const char* usage;
    const char* summary;
    AdminHandler handler;
};
