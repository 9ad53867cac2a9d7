#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <stdexcept>

namespace orv::test {
namespace {
QMap<QString, ChildMain>& modes()
{
    static QMap<QString, ChildMain> m;
    return m;
}
constexpr const char* kChildFlag = "--orvanta-child";
QString g_self;
} // namespace

QString sourceDir()
{
    const QByteArray env = qgetenv("ORVANTA_SOURCE_DIR");
    return env.isEmpty() ? QStringLiteral(ORVANTA_SOURCE_DIR_DEFAULT) : QString::fromLocal8Bit(env);
}

QString binaryDir() { return QStringLiteral(ORVANTA_BINARY_DIR_DEFAULT); }

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

ChildMode::ChildMode(const char* name, ChildMain main) { modes().insert(QString::fromUtf8(name), std::move(main)); }

QString selfExecutable() { return g_self.isEmpty() ? QCoreApplication::applicationFilePath() : g_self; }

QStringList childArguments(const QString& mode, const QStringList& args)
{
    return QStringList{QString::fromLatin1(kChildFlag), mode} + args;
}

bool runChildModeIfAsked(int argc, char** argv, int* exitCode)
{
    g_self = QString::fromLocal8Bit(argv[0]);
    if (argc < 3 || QByteArray(argv[1]) != kChildFlag)
        return false;
    const QString mode = QString::fromLocal8Bit(argv[2]);
    QStringList args;
    for (int i = 3; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const auto it = modes().constFind(mode);
    *exitCode = it == modes().constEnd() ? 127 : (*it)(args);
    return true;
}

} // namespace orv::test
