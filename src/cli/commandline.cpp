#include "commandline.h"

#include "convertcommand.h"
#include "rollovercommand.h"

#include "common/maker.h"
#include "common/nativename.h"
#include "imaging/imageman.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <vector>

namespace cli {

namespace {

const QString kConvert = QStringLiteral("convert");
const QString kRollover = QStringLiteral("rollover");

bool isHelpOrVersion(const QString &argument)
{
    static const QStringList words{QStringLiteral("-h"), QStringLiteral("--help"), QStringLiteral("-?"),
                                   QStringLiteral("--help-all"), QStringLiteral("-v"),
                                   QStringLiteral("--version")};
    return words.contains(argument);
}

// A first word that is neither an option (the toolkit's own among them) nor
// an existing file is meant as a command, known or not.
bool isCommandWord(const char *first)
{
    struct stat status;
    const QLatin1String word(first);
    return word == kConvert || word == kRollover || (first[0] != '-' && ::stat(first, &status) != 0);
}

int s_argc = 0;
char **s_argv = nullptr;

// main() names the program; the commands add the version they print.
void setVersion()
{
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRUNE_VERSION));
}

QString programHelp()
{
    return QStringLiteral(
        "Usage: kestrune\n"
        "       kestrune convert [options] FILE_OR_FOLDER...\n"
        "       kestrune rollover NORMAL HIGHLIGHT SELECTED --cuts ROWS|auto --out DIR [options]\n"
        "\n"
        "Prepares images for web pages. Without a command the window starts.\n"
        "\n"
        "Commands (each needs no display; `kestrune COMMAND --help` tells more):\n"
        "  convert    Convert pictures to one of fourteen types (the page's twelve,\n"
        "             WebP and AVIF), at their own size or a chosen one, as the Batch\n"
        "             Convert page does.\n"
        "  rollover   Cut the three plates of a menu into pieces and write its rollover\n"
        "             page, as Parse Clips' \"Generate JPGS and Scripts\" does.\n"
        "\n"
        "Options:\n"
        "  -h, --help     Show this help and exit.\n"
        "  -v, --version  Show the version and exit.\n"
        "\n"
        "Exit status: 0 when everything was done, 1 when a file failed, 2 for a usage\n"
        "error.\n");
}

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

int editDistance(const QString &a, const QString &b)
{
    std::vector<int> row(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// A mistyped command is refused with the nearest one offered, rather than
// taken for a file to open: that would start the window, which a server has
// no display for.
int unknownCommand(const QString &word)
{
    printError(QStringLiteral("\"%1\" is not a command").arg(common::shownName(word)));
    const QString nearest = editDistance(word, kConvert) <= editDistance(word, kRollover) ? kConvert : kRollover;
    if (editDistance(word, nearest) <= 3)
        print(stderr, QStringLiteral("Did you mean \"kestrune %1\"?\n").arg(nearest));
    print(stderr, QStringLiteral("Try 'kestrune --help'.\n"));
    return kUsageError;
}

} // namespace

bool wantsWindow(int argc, char **argv)
{
    if (argc < 2)
        return true;
    if (isCommandWord(argv[1]))
        return false;
    for (int i = 1; i < argc; ++i) {
        if (isHelpOrVersion(QString::fromLocal8Bit(argv[i])))
            return false;
    }
    return true;
}

int runCommand(int argc, char **argv)
{
    s_argc = argc;
    s_argv = argv;
    setVersion();
    // File names are the system's bytes, which the locale's decoding would
    // lose; the option words are ASCII and read the same either way.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(common::nameFromNative(argv[i]));
    // Nothing asks for an application object before the arguments are read,
    // so help and usage errors come out alone.
    if (arguments[1] == kConvert)
        return runConvert(arguments);
    if (arguments[1] == kRollover)
        return runRollover(arguments);
    if (isCommandWord(argv[1]))
        return unknownCommand(arguments[1]);
    if (arguments.contains(QStringLiteral("-v")) || arguments.contains(QStringLiteral("--version")))
        printOut(QStringLiteral("kestrune ") + QCoreApplication::applicationVersion());
    else
        print(stdout, programHelp());
    return kDone;
}

std::unique_ptr<QGuiApplication> commandApplication()
{
    // The imaging core draws the lettering of DXF drawings with the desktop's
    // fonts, which Qt offers only under a GUI application. The offscreen
    // platform gives them without a display, so a command's output is the
    // window's to the pixel, on a server as on a desktop.
    static std::vector<char *> args;
    static char platform[] = "-platform";
    static char offscreen[] = "offscreen";
    args.assign(s_argv, s_argv + s_argc);
    args.insert(args.begin() + 1, {platform, offscreen});
    static int count = 0;
    count = int(args.size());
    // Qt's note that it made a runtime folder of its own is no concern of a
    // command's user; every other message is passed on as it was.
    static QtMessageHandler passOn = nullptr;
    passOn = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
        if (!text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
            passOn(type, context, text);
    });
    args.push_back(nullptr);
    return std::make_unique<QGuiApplication>(count, args.data());
}

void printOut(const QString &text)
{
    print(stdout, text + QLatin1Char('\n'));
}

void printError(const QString &text)
{
    print(stderr, QStringLiteral("kestrune: ") + text + QLatin1Char('\n'));
}

void sayQualityUsed(const QString &text, double asked)
{
    const int used = imaging::ImageMan::usableJpegQuality(asked);
    if (used != asked)
        printError(QStringLiteral("the quality %1 is used as %2: JPEG quality is a whole number from 20 to 100")
                       .arg(text)
                       .arg(used));
}

int usageError(const QString &command, const QString &reason)
{
    printError(reason);
    print(stderr, QStringLiteral("Try 'kestrune %1 --help'.\n").arg(command));
    return kUsageError;
}

bool parseCommand(QCommandLineParser &parser, const QString &command, const QStringList &arguments,
                  int *status)
{
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    parser.addOption(help);
    // The command word is not one of the command's own arguments.
    QStringList own = arguments;
    own.removeAt(1);
    if (!parser.parse(own)) {
        *status = usageError(command, parser.errorText());
        return false;
    }
    if (parser.isSet(help)) {
        const QString text = parser.helpText();
        const qsizetype options = text.indexOf(QStringLiteral("[options]"));
        print(stdout, QStringLiteral("Usage: kestrune ") + command + QLatin1Char(' ') + text.mid(options));
        *status = kDone;
        return false;
    }
    return true;
}

} // namespace cli
