#pragma once
// Mapping between the Windows-style names stored in backup archives and the
// paths of this machine, where file names are case-sensitive.
#include <QString>
#include <QStringList>

namespace orv::backup {

// The path with each component that does not exist as written replaced by an
// existing entry of the same name in another case, when there is one. The
// archive keeps names in lower case; this finds ST_PROCEDURE.DAT for
// st_procedure.dat.
QString resolveExistingCase(const QString& absolutePath);
// The same for components below a folder the caller chose (kept as it is).
QString resolveBelow(const QString& folder, const QStringList& components);

// Where a restore writes the stored name `stored`:
//  - `folder` empty: the stored path itself (which must be absolute, "x:\...");
//  - otherwise `folder` (with its trailing separator) + the file-name part, or
//    with `fullPath` + the stored path without its drive.
// Returns false for a name that could lead elsewhere ("..", ".", empty parts,
// a relative name with no folder), so nothing is ever written outside `folder`.
bool restorePath(const QString& stored, const QString& folder, bool fullPath, QString* target);

} // namespace orv::backup
