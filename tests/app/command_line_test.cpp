#include "app/command_line.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <vector>

namespace zs::app {
namespace {

using Outcome = CommandLine::Outcome;

struct Case {
    QStringList arguments; // after the program's name
    Outcome outcome;
    StartRequest request = {};
    bool verbose = false;
    const char* errorPart = ""; // a part of the error message
};

TEST(CommandLine, ParsesOptionsAndFile) {
    const std::vector<Case> cases = {
        {{}, Outcome::Run},
        {{"--help"}, Outcome::Help},
        {{"-h"}, Outcome::Help},
        {{"--version"}, Outcome::Version},
        {{"-v"}, Outcome::Version},
        {{"--capture", "--help"}, Outcome::Help}, // help wins over everything
        {{"--bogus", "--help"}, Outcome::Error, {}, false, "bogus"},
        {{"--capture"}, Outcome::Run, {StartAction::Capture, {}}},
        {{"--verbose"}, Outcome::Run, {}, true},
        {{"--verbose", "--capture"}, Outcome::Run, {StartAction::Capture, {}}, true},
        // Relative to the starting process's folder; not looked up here.
        {{"photo.jpg"}, Outcome::Run, {StartAction::Open, "/home/u/photo.jpg"}},
        {{"../x/./missing.png"}, Outcome::Run, {StartAction::Open, "/home/x/missing.png"}},
        {{"/tmp/a b.jpg", "--verbose"}, Outcome::Run, {StartAction::Open, "/tmp/a b.jpg"}, true},
        {{"--", "--capture"}, Outcome::Run, {StartAction::Open, "/home/u/--capture"}},
        // Qt's own options are QApplication's, not errors.
        {{"-platform", "xcb", "--capture"}, Outcome::Run, {StartAction::Capture, {}}},
        {{"-style=Fusion", "-reverse", "a.jpg"},
         Outcome::Run,
         {StartAction::Open, "/home/u/a.jpg"}},
        {{"--bogus"}, Outcome::Error, {}, false, "bogus"},
        {{"-x"}, Outcome::Error, {}, false, "x"},
        {{"--capture=yes"}, Outcome::Error, {}, false, "capture"},
        {{"a.jpg", "b.jpg"}, Outcome::Error, {}, false, "one FILE"},
        {{"--capture", "a.jpg"}, Outcome::Error, {}, false, "--capture"},
        {{""}, Outcome::Error, {}, false, "empty"},
    };
    for (const Case& c : cases) {
        const QString what = c.arguments.join(u' ');
        const CommandLine line =
            parseCommandLine(QStringList{"zentrim-screen"} + c.arguments, "/home/u");
        EXPECT_EQ(line.outcome, c.outcome) << what.toStdString();
        EXPECT_EQ(line.request, c.request) << what.toStdString();
        EXPECT_EQ(line.verbose, c.verbose) << what.toStdString();
        if (c.outcome == Outcome::Error) {
            EXPECT_TRUE(line.text.contains(QLatin1String(c.errorPart))) << line.text.toStdString();
            EXPECT_FALSE(line.text.trimmed().contains(u'\n')) << "one line: " << what.toStdString();
        }
    }
}

TEST(CommandLine, HelpAndVersionNameTheProgram) {
    const QString help = parseCommandLine({"zentrim-screen", "--help"}, "/").text;
    EXPECT_TRUE(help.startsWith("Usage: zentrim-screen [options] [FILE]")) << help.toStdString();
    for (const char* option : {"--capture", "--verbose", "--version", "--help", "FILE"}) {
        EXPECT_TRUE(help.contains(QLatin1String(option))) << option;
    }
    const QString version = parseCommandLine({"zentrim-screen", "--version"}, "/").text;
    EXPECT_TRUE(
        QRegularExpression("^zentrim-screen \\d+\\.\\d+\\.\\d+\n$").match(version).hasMatch())
        << version.toStdString();
}

} // namespace
} // namespace zs::app
