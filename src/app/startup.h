#pragma once

#include <QString>

class CounterWindow;

// Starting the whole program in-process: used by main() and by tests that
// drive the program as a user would.
struct Startup
{
    enum class Outcome {
        Started,  // the counter window is open
        Declined, // no database file and the user chose not to create one
        Failed,   // the file could not be used; the user has been told why
    };
    Outcome outcome = Outcome::Failed;
    CounterWindow *window = nullptr; // deletes itself when closed
    QString error;
};

// Opens the shop named by tarvel.ini in the current working directory (a
// PostgreSQL server shared by several tills), or without one tarv.db there
// (asking, with its full path, whether to create it when it is missing), shows the counter window and
// returns it. Needs a QApplication. Every problem is shown to the user in a
// message box and returned in `error`.
Startup startTarvel();

// Formats follow the workstation locale; where it has none, zh_CN.
void useWorkstationLocale();
// Installs Qt's own translation for the default locale, when there is one.
bool loadQtTranslations();
