#pragma once

#include <QStringList>

// The command-line copies of the shop between ./tarv.db and the server that
// tarvel.ini names, and the rights of the shop's two roles there:
//   tarvel --copy-to-server           ./tarv.db onto the server
//   tarvel --copy-from-server FILE    the server's shop into a new file FILE
//   tarvel --server-grants OFFICE TILLS   the back office's and the tills' rights
// Whether the arguments ask for one of them.
bool isCopyCommand(const QStringList &arguments);
// Runs it in the current directory with progress on stderr and the row
// counts of both sides on stdout; the exit code (0 when the copy is whole).
int runCopyCommand(const QStringList &arguments);
