#include "platform/Dialogs.h"

#include <QObject>
#include <cstdio>

namespace orv {
namespace {

class FallbackDialogs final : public Dialogs {
public:
    int message(const MessageRequest& r) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(r.caption), qPrintable(QString(r.text).replace(QLatin1Char('\r'), QLatin1Char('\n'))));
        for (int b : {mbCancel, mbNo, mbAbort, mbIgnore, mbOK})
            if (r.buttons & b)
                return b;
        return 0;
    }
    std::optional<QString> input(const InputRequest&) override { return std::nullopt; }
    std::optional<QString> file(FileRequest&) override { return std::nullopt; }
    bool print(PrintRequest&) override { return false; }
    bool printerSetup(QPrinter*) override { return false; }
    int exec(QObject*) override { return 0; }
};

FallbackDialogs g_fallback;
Dialogs* g_installed = nullptr;
QString g_title = QStringLiteral("Orvanta");

} // namespace

Dialogs& dialogs() { return g_installed ? *g_installed : g_fallback; }
void setDialogs(Dialogs* d) { g_installed = d; }

QString applicationTitle() { return g_title; }
void setApplicationTitle(const QString& title) { g_title = title; }

void showMessage(const QString& text, MessageIcon icon)
{
    dialogs().message({applicationTitle(), text, icon, mbOK, mbOK});
}

int messageBox(const QString& caption, const QString& text, MessageIcon icon, int buttons, int defaultButton)
{
    return dialogs().message({caption, text, icon, buttons, defaultButton});
}

} // namespace orv
