// orvanta-admin backup / restore / list: the backup engine from a terminal,
// for scheduled backups and for checking archives.
#include "Commands.h"

#include "maintenance/BackupFile.h"
#include "maintenance/BackupListing.h"
#include "platform/Dialogs.h"
#include "platform/Error.h"
#include "platform/FileAttributes.h"
#include "platform/Paths.h"

#include <QFileInfo>
#include <cstdio>
#include <iostream>
#include <string>

namespace {

using namespace orv;

// Questions on the terminal: the text on stderr, the answer from stdin.
// With --yes every question is answered OK, except the same question asked
// twice in a row (a volume that is not there), which is answered Cancel so
// that an unattended run ends instead of asking forever.
class TerminalDialogs final : public Dialogs {
public:
    explicit TerminalDialogs(bool yes) : m_yes(yes), m_previous(&dialogs()) { setDialogs(this); }
    ~TerminalDialogs() override { setDialogs(m_previous == this ? nullptr : m_previous); }

    int message(const MessageRequest& r) override
    {
        const QString text = QString(r.text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        std::fprintf(stderr, "%s\n", qPrintable(text));
        const int yes = (r.buttons & mbOK) ? mbOK : (r.buttons & mbYes) ? mbYes : 0;
        const int no = (r.buttons & mbCancel) ? mbCancel : (r.buttons & mbNo) ? mbNo : 0;
        if (!no)
            return yes; // a message with OK only
        if (m_yes) {
            const bool repeated = text == m_lastQuestion;
            m_lastQuestion = text;
            std::fprintf(stderr, "%s\n", repeated ? "-> Annulla (nessuna risposta diversa possibile)" : "-> OK");
            return repeated ? no : yes;
        }
        std::fprintf(stderr, "[OK/Annulla] ");
        std::fflush(stderr);
        std::string line;
        if (!std::getline(std::cin, line))
            return no;
        const QString answer = QString::fromStdString(line).trimmed().toLower();
        const bool ok = answer.isEmpty() || answer == QLatin1String("ok") || answer == QLatin1String("s")
            || answer == QLatin1String("si") || answer == QLatin1String("y") || answer == QLatin1String("yes");
        return ok ? yes : no;
    }
    std::optional<QString> input(const InputRequest&) override { return std::nullopt; }
    std::optional<QString> file(FileRequest&) override { return std::nullopt; }
    bool print(PrintRequest&) override { return false; }
    bool printerSetup(QPrinter*) override { return false; }
    int exec(QObject*) override { return 0; }

private:
    bool m_yes;
    Dialogs* m_previous;
    QString m_lastQuestion;
};

struct Options {
    QStringList positional;
    QHash<QString, QString> values;
    QSet<QString> flags;
    QString error;
};

Options parse(const QStringList& args, const QStringList& withValue, const QStringList& flags)
{
    Options o;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (withValue.contains(a)) {
            if (i + 1 >= args.size()) {
                o.error = QStringLiteral("Manca il valore di %1").arg(a);
                break;
            }
            o.values.insert(a, args[++i]);
        } else if (flags.contains(a)) {
            o.flags.insert(a);
        } else if (a.startsWith(QLatin1String("--"))) {
            o.error = QStringLiteral("Opzione sconosciuta: %1").arg(a);
            break;
        } else {
            o.positional << a;
        }
    }
    return o;
}

int fail(const QString& text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    return 2;
}

// The engine's recorded error goes to stderr; the exit code says it failed.
void attachErrorOutput(TBackupFile& engine)
{
    engine.OnError = [](TBackupFile&, qint32 code, const QString& text) {
        std::fprintf(stderr, "%s (codice %d)\n", qPrintable(text), int(code));
    };
}

int runBackup(const QStringList& args)
{
    const Options o = parse(args, {"--max-size", "--level", "--title"}, {"--file-ids", "--yes"});
    if (!o.error.isEmpty())
        return fail(o.error);
    if (o.positional.size() < 2)
        return fail(QStringLiteral("Uso: orvanta-admin backup ARCHIVIO MASCHERA... [opzioni]"));
    TBackupFile engine;
    attachErrorOutput(engine);
    if (o.values.contains("--max-size")) {
        bool ok = false;
        const qint64 size = o.values["--max-size"].toLongLong(&ok);
        if (!ok || size < 0 || size > 0x7FFFFFFF || (size != 0 && size < backup::kMinMaxSize))
            return fail(QStringLiteral("--max-size: 0 oppure un numero di byte da %1 a 2147483647").arg(backup::kMinMaxSize));
        engine.setMaxSize(qint32(size));
    }
    if (o.values.contains("--level")) {
        static const QHash<QString, TCompressionLevel> levels = {
            {"fastest", clFastest}, {"none", clNone}, {"default", clDefault}, {"max", clMax}};
        const QString level = o.values["--level"];
        if (!levels.contains(level))
            return fail(QStringLiteral("--level: fastest, none, default o max"));
        engine.setCompressionLevel(levels[level]);
    }
    engine.setBackupTitle(o.values.value("--title"));
    engine.setSaveFileID(o.flags.contains("--file-ids"));
    TerminalDialogs terminal(o.flags.contains("--yes"));
    const QString archive = o.positional.first();
    if (engine.Backup(o.positional.mid(1), archive))
        return 0;
    if (engine.lastError() == 0)
        std::fprintf(stderr, "Salvataggio interrotto.\n");
    return 1;
}

int runRestore(const QStringList& args)
{
    const Options o = parse(args, {"--mode"}, {"--full-path", "--yes"});
    if (!o.error.isEmpty())
        return fail(o.error);
    if (o.positional.size() != 2)
        return fail(QStringLiteral("Uso: orvanta-admin restore ARCHIVIO CARTELLA [opzioni]"));
    TBackupFile engine;
    attachErrorOutput(engine);
    if (o.values.contains("--mode")) {
        static const QHash<QString, TRestoreMode> modes = {{"all", rmAll},
                                                            {"no-overwrite", rmNoOverwrite},
                                                            {"newer", rmNewer},
                                                            {"existing", rmExisting},
                                                            {"existing-newer", rmExistingNewer}};
        const QString mode = o.values["--mode"];
        if (!modes.contains(mode))
            return fail(QStringLiteral("--mode: all, no-overwrite, newer, existing o existing-newer"));
        engine.setRestoreMode(modes[mode]);
    }
    engine.setRestoreFullPath(o.flags.contains("--full-path"));
    const QString archive = o.positional[0];
    if (!QFileInfo::exists(fromWindowsPath(archive)))
        return fail(QStringLiteral("Il file di ripristino %1 non esiste.").arg(archive));
    TerminalDialogs terminal(o.flags.contains("--yes"));
    if (engine.Restore(archive, o.positional[1]))
        return 0;
    if (engine.lastError() == 0)
        std::fprintf(stderr, "Ripristino interrotto.\n");
    return 1;
}

int runList(const QStringList& args)
{
    const Options o = parse(args, {}, {"--yes"});
    if (!o.error.isEmpty())
        return fail(o.error);
    if (o.positional.size() != 1)
        return fail(QStringLiteral("Uso: orvanta-admin list ARCHIVIO"));
    const QString archive = fromWindowsPath(o.positional[0]);
    if (!QFileInfo::exists(archive))
        return fail(QStringLiteral("Il file %1 non esiste.").arg(o.positional[0]));
    TerminalDialogs terminal(o.flags.contains("--yes"));
    const backup::ArchiveListing listing = backup::listArchive(archive, [](int volume, const QString&) {
        return messageBox(applicationTitle(),
                          QStringLiteral("Please insert disk %1 and click OK to continue.").arg(volume),
                          MessageIcon::Information, mbOK | mbCancel, mbOK) == mbOK;
    });
    for (const backup::ListedEntry& e : listing.entries) {
        const QDateTime t = fromDosDateTime(quint32(e.dosDate));
        const QString date = t.isValid() ? t.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) : QString::number(e.dosDate);
        std::printf("%s\t%s\t%lld\n", qPrintable(e.name), qPrintable(date), static_cast<long long>(e.size));
    }
    return 0;
}

const AdminCommand backupCommand{
    "backup", "ARCHIVIO MASCHERA... [--max-size BYTE] [--level fastest|none|default|max] [--title TESTO] [--file-ids] [--yes]",
    "salva i file delle maschere (\" /s\": anche le sottocartelle) in un archivio di backup", &runBackup};
const AdminCommand restoreCommand{
    "restore", "ARCHIVIO CARTELLA [--full-path] [--mode all|no-overwrite|newer|existing|existing-newer] [--yes]",
    "ripristina i file di un archivio di backup nella cartella", &runRestore};
const AdminCommand listCommand{"list", "ARCHIVIO", "elenca i file di un archivio di backup: nome, data, dimensione",
                               &runList};

} // namespace
