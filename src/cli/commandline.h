#pragma once

#include <QGuiApplication>
#include <QString>
#include <QStringList>
#include <memory>

class QCommandLineParser;

// The program's command line: `kestrune --help`, `--version`, `kestrune
// convert ...` and `kestrune rollover ...` run without a window or a display;
// anything else starts the window. No widgets here.
namespace cli {

// Exit statuses of the commands.
inline constexpr int kDone = 0;       // everything asked for was done
inline constexpr int kFailed = 1;     // some file could not be converted or written
inline constexpr int kUsageError = 2; // the command line was wrong; nothing was done

// True when the arguments ask for the window: none, or options that are not
// --help or --version (the toolkit's own). A first word that is not an
// existing file is taken for a command, and an unknown one is a usage error.
bool wantsWindow(int argc, char **argv);

// Runs what the arguments ask for when wantsWindow() is false and returns the
// exit status. `argv` must outlive the call; nothing here needs a display.
int runCommand(int argc, char **argv);

// --- for the commands ---

// The application a command runs under once its arguments are read: a GUI
// application on the offscreen platform, which needs no display.
std::unique_ptr<QGuiApplication> commandApplication();

// `text` and a line end on the standard output or error, in the locale's
// encoding; errors are prefixed with the program's name.
void printOut(const QString &text);
void printError(const QString &text);
// Says on the standard error, once, that the JPEG quality typed as `text`
// is written as the whole number from 20 to 100 nearest to `asked`, when that
// is another number.
void sayQualityUsed(const QString &text, double asked);
// Prints the reason and where to find the usage; returns kUsageError.
int usageError(const QString &command, const QString &reason);

// Parses `arguments` (the program, the command word, then its own) with
// the help option added. Returns false after printing a usage error or, for
// --help, the command's help; `status` is then the exit status.
bool parseCommand(QCommandLineParser &parser, const QString &command, const QStringList &arguments,
                  int *status);

} // namespace cli
