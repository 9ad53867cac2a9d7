#pragma once
#include <QString>

namespace orv {

// The folder of the program's own file, ending with the native separator.
// Set once at start from the executable's folder; tests point it at a
// temporary folder. Every path of the program is built from it.
QString programFolder();
void setProgramFolder(const QString& folder);
// The data folder: programFolder() + "DATI" + separator.
QString dataFolder();

} // namespace orv
