#include "Commands.h"

#include "platform/Commands.h"

#include <QCoreApplication>
#include <cstdio>
#include <vector>

namespace {
std::vector<const AdminCommand*>& registry()
{
    static std::vector<const AdminCommand*> commands;
    return commands;
}

void usage()
{
    std::fprintf(stderr, "Uso: orvanta-admin COMANDO [ARGOMENTI]\n\n");
    for (const AdminCommand* c : registry())
        std::fprintf(stderr, "  %s %s\n      %s\n", c->name, c->usage, c->summary);
}
} // namespace

AdminCommand::AdminCommand(const char* n, const char* u, const char* s, AdminHandler h)
    : name(n), usage(u), summary(s), handler(h)
{
    registry().push_back(this);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        usage();
        return args.isEmpty() ? 2 : 0;
    }
    const QString name = args.takeFirst();
    for (const AdminCommand* c : registry()) {
        if (name == QLatin1String(c->name)) {
            try {
                return c->handler(args);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "%s\n", qPrintable(orv::errorText(e)));
                return 2;
            }
        }
    }
    std::fprintf(stderr, "Comando sconosciuto: %s\n\n", qPrintable(name));
    usage();
    return 2;
}
