#include "app/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QSet>

namespace zs::app {

namespace {

const QString kProgram = QStringLiteral("zentrim-screen");

// Options QGuiApplication and QApplication read from the command line
// themselves: those followed by a value, and those standing alone.
const QSet<QString> kQtOptionsWithValue = {
    QStringLiteral("-platform"),      QStringLiteral("-platformpluginpath"),
    QStringLiteral("-platformtheme"), QStringLiteral("-plugin"),
    QStringLiteral("-display"),       QStringLiteral("-style"),
    QStringLiteral("-stylesheet"),    QStringLiteral("-qwindowgeometry"),
    QStringLiteral("-geometry"),      QStringLiteral("-qwindowtitle"),
    QStringLiteral("-title"),         QStringLiteral("-qwindowicon"),
    QStringLiteral("-icon"),          QStringLiteral("-name"),
    QStringLiteral("-session"),
};
const QSet<QString> kQtFlags = {
    QStringLiteral("-reverse"), QStringLiteral("-nograb"),      QStringLiteral("-dograb"),
    QStringLiteral("-sync"),    QStringLiteral("-widgetcount"),
};

// `arguments` without Qt's own options; also in the "-style=Fusion" form.
// After "--" everything is a file name.
QStringList withoutQtOptions(const QStringList& arguments) {
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (i == 0) {
            kept << a;
            continue;
        }
        if (a == QStringLiteral("--")) {
            kept << arguments.mid(i);
            break;
        }
        const QString name = a.section(u'=', 0, 0);
        if (kQtOptionsWithValue.contains(a) && i + 1 < arguments.size()) {
            ++i;
            continue;
        }
        if (kQtFlags.contains(a) || (a.contains(u'=') && kQtOptionsWithValue.contains(name))) {
            continue;
        }
        kept << a;
    }
    return kept;
}

struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and exit.")};
    QCommandLineOption capture{
        QStringLiteral("capture"),
        QStringLiteral("Capture the screen at once, as the Capture button does; with the program "
                       "already running, its window captures.")};
    QCommandLineOption verbose{
        QStringLiteral("verbose"),
        QStringLiteral("Write the program's diagnostics to standard error (for bug reports).")};
};

void describe(QCommandLineParser& parser, const Options& o) {
    parser.setApplicationDescription(
        QStringLiteral("Cut pictures out of the screen onto the clipboard.\n"
                       "A second start hands its request to the window already running."));
    parser.addOptions({o.help, o.version, o.capture, o.verbose});
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QStringLiteral("A picture to open in place of a capture, as the Load button does."),
        QStringLiteral("[FILE]"));
}

CommandLine error(const QString& message) {
    return CommandLine{CommandLine::Outcome::Error, {}, false, message};
}

} // namespace

QString helpText() {
    QCommandLineParser parser;
    const Options options;
    describe(parser, options);
    QString text = parser.helpText();
    // The parser names the program by argv[0] (by a placeholder before a
    // QCoreApplication exists); the usage names the installed command.
    const qsizetype end = text.indexOf(QLatin1String(" [options]"));
    if (text.startsWith(QLatin1String("Usage: ")) && end > 0) {
        text.replace(7, end - 7, kProgram);
    }
    return text;
}

CommandLine parseCommandLine(const QStringList& arguments, const QString& workingDir) {
    QCommandLineParser parser;
    const Options o;
    describe(parser, o);
    if (!parser.parse(withoutQtOptions(arguments))) {
        return error(parser.errorText());
    }
    if (parser.isSet(o.help)) {
        return CommandLine{CommandLine::Outcome::Help, {}, false, helpText()};
    }
    if (parser.isSet(o.version)) {
        return CommandLine{
            CommandLine::Outcome::Version,
            {},
            false,
            QStringLiteral("%1 %2\n").arg(kProgram, QStringLiteral(ZENTRIM_VERSION))};
    }
    CommandLine result;
    result.verbose = parser.isSet(o.verbose);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        return error(
            QStringLiteral("Only one FILE can be opened; %1 were given.").arg(files.size()));
    }
    if (!files.isEmpty() && parser.isSet(o.capture)) {
        return error(QStringLiteral("--capture and FILE exclude each other: both would replace "
                                    "what the surface shows."));
    }
    if (!files.isEmpty()) {
        if (files.first().isEmpty()) {
            return error(QStringLiteral("FILE is empty."));
        }
        result.request = {StartAction::Open,
                          QDir::cleanPath(QDir(workingDir).absoluteFilePath(files.first()))};
    } else if (parser.isSet(o.capture)) {
        result.request.action = StartAction::Capture;
    }
    return result;
}

} // namespace zs::app
