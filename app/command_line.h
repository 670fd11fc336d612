#pragma once

#include <QString>
#include <QStringList>

// The program's command line: what a start asks the window to do.
namespace zs::app {

// What the window does once it is up, whether started by this process or
// handed to the one already running.
enum class StartAction {
    Show,    // nothing more: just the window
    Capture, // "Capture" at once
    Open,    // "Load" of one picture file
};

struct StartRequest {
    StartAction action = StartAction::Show;
    QString file; // Open: an absolute path, so that another process finds it

    friend bool operator==(const StartRequest&, const StartRequest&) = default;
};

struct CommandLine {
    enum class Outcome {
        Run,     // start (or hand `request` to the running program)
        Help,    // print `text` to standard output, exit 0
        Version, // the same
        Error,   // print `text` (one line) and the usage to standard error, exit 2
    };
    Outcome outcome = Outcome::Run;
    StartRequest request;
    bool verbose = false; // turn on the program's debug logging
    QString text;
};

// Parses `arguments` (the program's name first, as in argv). A relative FILE
// is made absolute against `workingDir`; whether it exists is left to the
// load, which reports it as "Load" does. Qt's own options (-platform NAME,
// -style NAME, -reverse, ...) are passed over: QApplication takes them.
// Needs no QCoreApplication.
CommandLine parseCommandLine(const QStringList& arguments, const QString& workingDir);

// The usage and option list that --help prints.
QString helpText();

} // namespace zs::app
