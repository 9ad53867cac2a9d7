#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace orv::test {

// The repository's folder (for fixtures under tests/), and the build folder.
QString sourceDir();
QString binaryDir();

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

// Child processes for crash and lock tests: a test registers a mode by name
// (at static-initialisation time, through ChildMode), then starts its own
// executable in that mode. The child runs the function and exits with its
// return value, without running any test.
using ChildMain = std::function<int(const QStringList& args)>;
struct ChildMode {
    ChildMode(const char* name, ChildMain main);
};
// The program and arguments that start this executable in a child mode.
QString selfExecutable();
QStringList childArguments(const QString& mode, const QStringList& args = {});
// Called by main(): returns true and sets *exitCode when argv asks for a child mode.
bool runChildModeIfAsked(int argc, char** argv, int* exitCode);

} // namespace orv::test
