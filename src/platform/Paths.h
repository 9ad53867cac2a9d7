#pragma once
#include <QString>

namespace orv {

QChar nativeSeparator();
QString withTrailingSeparator(const QString& folder);

// Mount folders that stand in for the diskette drives A: and B:.
QString disketteFolder(int index); // 0 = A:, 1 = B:

// Translates a Windows-style path typed by the user ("a:\KELMA.001",
// "C:\Backup\x.001", "DATI\ST_PROCEDURE.DAT") into a path of this machine:
// A: and B: become the diskette mount folders, other drive letters the root,
// backslashes become slashes. Other paths pass through with slashes fixed.
QString fromWindowsPath(const QString& typed);

// The inverse for display: a path under a diskette folder shows as "A:\...".
QString toDisplayPath(const QString& path);

} // namespace orv
