#include "LibrarySource.h"

#include "platform/Error.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace orv::library {
namespace {

constexpr int kMaxIncludeDepth = 12;

QString readText(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("%1: impossibile leggere il file (%2)").arg(path, f.errorString()));
    const QByteArray bytes = f.readAll();
    QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes)
        throw Error(QStringLiteral("%1: il file non è in UTF-8").arg(path));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

[[noreturn]] void fail(const QString& file, int line, const QString& what)
{
    throw Error(QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(what));
}

// "di", "da" or "a" joined to the article the value's first word takes:
// "art. 9" -> "dell'art. 9", "artt. 142" -> "degli artt. 142", "legge 109"
// -> "della legge 109", anything else (D.Lgs., R.D., regolamento) -> "del ...".
QString withPreposition(const QString& prep, const QString& value)
{
    const QString first = value.section(QLatin1Char(' '), 0, 0).toLower();
    const bool plural = first == QLatin1String("artt.");
    const bool vowel = !first.isEmpty() && QStringLiteral("aeiou").contains(first.front());
    const bool feminine = first == QLatin1String("legge");
    QString stem = prep == QLatin1String("di") ? QStringLiteral("de") : prep == QLatin1String("da") ? QStringLiteral("da") : QStringLiteral("a");
    QString art;
    if (plural)
        art = stem + QStringLiteral("gli ");
    else if (vowel)
        art = stem + QStringLiteral("ll'");
    else if (feminine)
        art = stem + QStringLiteral("lla ");
    else
        art = stem + QStringLiteral("l ");
    return art + value;
}

QString substitute(const QString& line, const QString& file, int lineNo, const Variables& vars, int depth = 0)
{
    // {{name}}, {{di:name}} / {{da:name}} / {{a:name}} with the articulated
    // preposition, {{cap:name}} with the first letter in upper case.
    static const QRegularExpression re(QStringLiteral("\\{\\{\\s*(?:(di|da|a|cap):)?([a-z0-9_]+)\\s*\\}\\}"));
    QString out;
    qsizetype last = 0;
    auto it = re.globalMatch(line);
    while (it.hasNext()) {
        const auto m = it.next();
        const QString name = m.captured(2);
        if (!vars.contains(name))
            fail(file, lineNo, QStringLiteral("variabile non definita: %1").arg(name));
        out += line.mid(last, m.capturedStart() - last);
        const QString value = vars.value(name);
        if (m.captured(1).isEmpty())
            out += value;
        else if (m.captured(1) == QLatin1String("cap"))
            out += value.left(1).toUpper() + value.mid(1);
        else
            out += withPreposition(m.captured(1), value);
        last = m.capturedEnd();
    }
    out += line.mid(last);
    // A value may name other variables; a bounded depth stops a cycle.
    if (out.contains(QStringLiteral("{{"))) {
        if (depth < 4 && out != line)
            return substitute(out, file, lineNo, vars, depth + 1);
        fail(file, lineNo, QStringLiteral("variabile scritta male o circolare"));
    }
    return out;
}

// "name", "!name", "name = a|b", "name != a|b"
bool evalCondition(const QString& cond, const QString& file, int lineNo, const Variables& vars)
{
    static const QRegularExpression re(
        QStringLiteral("^(!?)\\s*([a-z0-9_]+)\\s*(?:(!=|=)\\s*(.*))?$"));
    const auto m = re.match(cond.trimmed());
    if (!m.hasMatch())
        fail(file, lineNo, QStringLiteral("condizione non valida: %1").arg(cond));
    const QString name = m.captured(2);
    if (m.captured(3).isEmpty()) {
        const bool set = !vars.value(name).trimmed().isEmpty();
        return m.captured(1).isEmpty() ? set : !set;
    }
    if (!m.captured(1).isEmpty())
        fail(file, lineNo, QStringLiteral("condizione non valida: %1").arg(cond));
    if (!vars.contains(name))
        fail(file, lineNo, QStringLiteral("variabile non definita: %1").arg(name));
    const QStringList options = m.captured(4).split(QLatin1Char('|'));
    bool any = false;
    for (const QString& o : options)
        any = any || o.trimmed() == vars.value(name).trimmed();
    return m.captured(3) == QLatin1String("=") ? any : !any;
}

Variables parseAssignments(const QString& text, const QString& file, int firstLine)
{
    Variables out;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("%%")))
            continue;
        const int colon = line.indexOf(QLatin1Char(':'));
        const QString key = colon > 0 ? line.left(colon).trimmed() : QString();
        static const QRegularExpression keyRe(QStringLiteral("^[a-z0-9_]+$"));
        if (!keyRe.match(key).hasMatch())
            fail(file, firstLine + i, QStringLiteral("atteso \"chiave: valore\""));
        QString value = line.mid(colon + 1).trimmed();
        // Quotes keep the blanks at the ends: "value: \" e la\"".
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        out.insert(key, value);
    }
    return out;
}

} // namespace

FrontMatter splitFrontMatter(const QString& text, const QString& file)
{
    FrontMatter fm;
    if (!text.startsWith(QLatin1String("---\n"))) {
        fm.body = text;
        return fm;
    }
    const qsizetype end = text.indexOf(QLatin1String("\n---\n"), 3);
    if (end < 0)
        fail(file, 1, QStringLiteral("intestazione \"---\" non chiusa"));
    fm.values = parseAssignments(text.mid(4, end - 4 + 1), file, 2);
    fm.body = text.mid(end + 5);
    fm.bodyFirstLine = int(text.left(end + 5).count(QLatin1Char('\n'))) + 1;
    return fm;
}

QString expandTemplate(const QString& text, const QString& file, Variables& vars,
                       const QString& libraryDir, int depth)
{
    if (depth > kMaxIncludeDepth)
        fail(file, 1, QStringLiteral("inclusioni troppo profonde (ciclo?)"));
    // One entry per open @if: whether its branch is active, whether the
    // enclosing branch is, and whether @else was seen.
    struct Cond { bool active; bool parentActive; bool sawElse; int line; };
    QList<Cond> stack;
    auto active = [&] { return stack.isEmpty() || stack.last().active; };

    QString out;
    QStringList lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        lines.removeLast();  // the text's final newline ends a line, it does not start one
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        const QString& raw = lines[i];
        const QString t = raw.trimmed();
        if (t.startsWith(QLatin1String("%%")))
            continue;
        if (t.startsWith(QLatin1String("@if "))) {
            const bool parent = active();
            const bool value = parent && evalCondition(t.mid(4), file, lineNo, vars);
            stack.append({value, parent, false, lineNo});
            continue;
        }
        if (t == QLatin1String("@else")) {
            if (stack.isEmpty() || stack.last().sawElse)
                fail(file, lineNo, QStringLiteral("@else fuori posto"));
            Cond& c = stack.last();
            c.sawElse = true;
            // Active only if the parent is and the @if branch was not taken.
            c.active = c.parentActive && !c.active;
            continue;
        }
        if (t == QLatin1String("@endif")) {
            if (stack.isEmpty())
                fail(file, lineNo, QStringLiteral("@endif senza @if"));
            stack.removeLast();
            continue;
        }
        if (!active())
            continue;
        if (t.startsWith(QLatin1String("@set "))) {
            const Variables a = parseAssignments(t.mid(5), file, lineNo);
            for (auto it = a.begin(); it != a.end(); ++it)
                vars.insert(it.key(), substitute(it.value(), file, lineNo, vars));
            continue;
        }
        if (t.startsWith(QLatin1String("@include "))) {
            const QString name = t.mid(9).trimmed();
            static const QRegularExpression nameRe(QStringLiteral("^[A-Za-z0-9_\\-/]+$"));
            if (!nameRe.match(name).hasMatch() || name.contains(QLatin1String("..")))
                fail(file, lineNo, QStringLiteral("nome di inclusione non valido: %1").arg(name));
            const QString path = QDir(libraryDir).filePath(name + QStringLiteral(".txt"));
            if (!QFile::exists(path))
                fail(file, lineNo, QStringLiteral("file incluso inesistente: %1").arg(name));
            FrontMatter fm = splitFrontMatter(readText(path), path);
            // An include's own front matter gives defaults its includer may override.
            for (auto it = fm.values.begin(); it != fm.values.end(); ++it)
                if (!vars.contains(it.key()))
                    vars.insert(it.key(), it.value());
            out += expandTemplate(fm.body, path, vars, libraryDir, depth + 1);
            continue;
        }
        if (t.startsWith(QLatin1Char('@')))
            fail(file, lineNo, QStringLiteral("direttiva sconosciuta: %1").arg(t));
        out += substitute(raw, file, lineNo, vars);
        out += QLatin1Char('\n');
    }
    if (!stack.isEmpty())
        fail(file, stack.last().line, QStringLiteral("@if senza @endif"));
    return out;
}

namespace {

void requireKey(const Variables& v, const QString& key, const QString& file)
{
    if (v.value(key).isEmpty())
        fail(file, 1, QStringLiteral("manca la chiave \"%1\"").arg(key));
}

SourceDocument readDocument(const QString& path, const QString& libraryDir, Variables vars)
{
    const FrontMatter fm = splitFrontMatter(readText(path), path);
    requireKey(fm.values, QStringLiteral("codice"), path);
    requireKey(fm.values, QStringLiteral("titolo"), path);
    SourceDocument d;
    d.path = path;
    bool ok = false;
    d.codice = fm.values.value(QStringLiteral("codice")).toInt(&ok);
    if (!ok || d.codice <= 0)
        fail(path, 1, QStringLiteral("codice del documento non valido"));
    d.titolo = fm.values.value(QStringLiteral("titolo"));
    if (d.titolo.size() > kMaxTitleLength)
        fail(path, 1, QStringLiteral("titolo più lungo di %1 caratteri").arg(kMaxTitleLength));
    for (auto it = fm.values.begin(); it != fm.values.end(); ++it)
        vars.insert(it.key(), it.value());
    // Leading blank lines keep the line numbers of messages right.
    const QString body = QString(fm.bodyFirstLine - 1, QLatin1Char('\n')) + fm.body;
    d.markup = expandTemplate(body, path, vars, libraryDir);
    return d;
}

} // namespace

LibrarySource readLibrary(const QString& libraryDir)
{
    QDir dir(libraryDir);
    if (!dir.exists())
        throw Error(QStringLiteral("%1: la cartella della libreria non esiste").arg(libraryDir));

    Variables globals;
    const QString globalsPath = dir.filePath(QStringLiteral("variabili.txt"));
    if (QFile::exists(globalsPath))
        globals = parseAssignments(readText(globalsPath), globalsPath, 1);

    LibrarySource lib;
    static const QRegularExpression procDirRe(QStringLiteral("^(\\d\\d)-"));
    QSet<QString> codes;
    for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (!procDirRe.match(sub).hasMatch())
            continue;
        const QString folder = dir.filePath(sub);
        const QString procPath = QDir(folder).filePath(QStringLiteral("procedura.txt"));
        const Variables pv = parseAssignments(readText(procPath), procPath, 1);
        SourceProcedure p;
        p.folder = folder;
        for (const char* k : {"codice", "descr", "tipo_appalto", "soglia"})
            requireKey(pv, QLatin1String(k), procPath);
        p.codice = pv.value(QStringLiteral("codice"));
        p.descr = pv.value(QStringLiteral("descr"));
        p.tipoAppalto = pv.value(QStringLiteral("tipo_appalto"));
        p.soglia = pv.value(QStringLiteral("soglia"));
        if (!QRegularExpression(QStringLiteral("^\\d\\d$")).match(p.codice).hasMatch())
            fail(procPath, 1, QStringLiteral("codice di procedura non valido"));
        if (p.tipoAppalto.size() != 1 || p.soglia.size() != 1)
            fail(procPath, 1, QStringLiteral("tipo_appalto e soglia sono di una lettera"));
        if (codes.contains(p.codice))
            fail(procPath, 1, QStringLiteral("codice di procedura ripetuto: %1").arg(p.codice));
        codes.insert(p.codice);

        Variables vars = globals;
        for (auto it = pv.begin(); it != pv.end(); ++it)
            vars.insert(it.key(), it.value());
        // A document's own "codice" hides the procedure's, so keep it under a second name.
        vars.insert(QStringLiteral("proc_codice"), p.codice);

        QSet<int> docCodes;
        const QStringList files = QDir(folder).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
        for (const QString& f : files) {
            if (f == QLatin1String("procedura.txt"))
                continue;
            SourceDocument d = readDocument(QDir(folder).filePath(f), libraryDir, vars);
            if (docCodes.contains(d.codice))
                fail(d.path, 1, QStringLiteral("codice di documento ripetuto: %1").arg(d.codice));
            docCodes.insert(d.codice);
            p.documents.append(std::move(d));
        }
        std::sort(p.documents.begin(), p.documents.end(),
                  [](const SourceDocument& a, const SourceDocument& b) { return a.codice < b.codice; });
        lib.procedures.append(std::move(p));
    }
    std::sort(lib.procedures.begin(), lib.procedures.end(),
              [](const SourceProcedure& a, const SourceProcedure& b) { return a.codice < b.codice; });

    const QString regPath = dir.filePath(QStringLiteral("Regolamento.txt"));
    if (!QFile::exists(regPath))
        throw Error(QStringLiteral("%1: manca il regolamento").arg(regPath));
    Variables vars = globals;
    lib.regolamentoMarkup = expandTemplate(splitFrontMatter(readText(regPath), regPath).body,
                                           regPath, vars, libraryDir);
    return lib;
}

} // namespace orv::library
