#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

namespace {

// A usage error; monitoring plugins, which --status serves, say it with 3 (UNKNOWN), not 2 (CRITICAL).
constexpr int UsageError = 2;
constexpr int StatusUsageError = 3;

void Print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

QString Description(Program program)
{
    return program == Program::Window
        ? QStringLiteral("Relays a wall-clock value between serial clock equipment and a TCP/IP network.\n"
                         "Without options it opens its window; the settings are its own per-user INI file.")
        : QStringLiteral("The Horaline relay without a window, as a service runs it: a wall-clock value between\n"
                         "serial clock equipment and a TCP/IP network. The settings are the per-user INI file\n"
                         "of Horaline, or the file named with --settings.");
}

} // namespace

LaunchRequest ReadCommandLine(int argc, char* argv[], Program program)
{
    QCoreApplication::setApplicationVersion(QStringLiteral(HORALINE_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(Description(program));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption headless(QStringLiteral("headless"),
                                QStringLiteral("Run the relay without a window or tray icon, as a service does; "
                                               "every message goes to the log. The default when there is no "
                                               "display."));
    if (program == Program::Relay)
        headless.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(headless);
    const QCommandLineOption settings(
        QStringLiteral("settings"),
        QStringLiteral("Run on, check or ask about this settings file instead of the per-user one. It is read as "
                       "it stands and never written; ProgRun in it is not needed."),
        QStringLiteral("FILE"));
    parser.addOption(settings);
    const QCommandLineOption check(QStringLiteral("check"),
                                   QStringLiteral("Check the settings, print every problem with what to write "
                                                  "instead, and end with 0 when a relay can run on them, 78 when "
                                                  "not. Starts nothing."));
    parser.addOption(check);
    const QCommandLineOption status(
        QStringLiteral("status"),
        QStringLiteral("Print how the running Horaline of these settings stands, as monitoring plugins do, and end "
                       "with 0 when it relays, 1 when it runs degraded, 2 when it relays nothing or none runs, 3 "
                       "when it cannot be asked."));
    parser.addOption(status);
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("With --status: print it as one JSON object."));
    parser.addOption(json);
    // Options every Qt program takes, with one dash; the relay alone takes them too, from the window's
    // command line it is handed, and has no use for them.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    QCommandLineOption geometry(QStringLiteral("qwindowgeometry"), QString(), QStringLiteral("GEOMETRY"));
    QCommandLineOption title(QStringLiteral("qwindowtitle"), QString(), QStringLiteral("TITLE"));
    for (QCommandLineOption* qt : {&geometry, &title}) {
        qt->setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(*qt);
    }

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const bool understood = parser.parse(arguments);
    const bool window = program == Program::Window && !parser.isSet(headless) && !NoDisplay();
    QString misuse;
    if (!understood)
        misuse = parser.errorText();
    else if (parser.isSet(json) && !parser.isSet(status))
        misuse = QStringLiteral("--json goes with --status.");
    else if (parser.isSet(check) && parser.isSet(status))
        misuse = QStringLiteral("--check and --status are two questions: ask one.");
    else if (!parser.positionalArguments().isEmpty())
        misuse = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
    else if (parser.isSet(settings) && parser.value(settings).isEmpty())
        misuse = QStringLiteral("--settings names a file.");
    else if (window && parser.isSet(settings) && !parser.isSet(status) && !parser.isSet(check))
        misuse = QStringLiteral("--settings is for the relay without a window (--headless), --check and --status: "
                                "the window keeps its own settings.");
    if (misuse.isEmpty() && !parser.isSet(help) && !parser.isSet(version)) {
        LaunchRequest request;
        request.headless = !window;
        request.status = parser.isSet(status);
        request.json = parser.isSet(json);
        request.check = parser.isSet(check);
        request.windowGeometry = parser.value(geometry);
        request.windowTitle = parser.value(title);
        if (parser.isSet(settings))
            request.settings = QFileInfo(parser.value(settings)).absoluteFilePath();
        return request;
    }

    // Only to answer: the usage line names the program as it was called.
    QCoreApplication application(argc, argv);
    LaunchRequest answered;
    if (!misuse.isEmpty()) {
        Print(stderr, QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(QCoreApplication::applicationName(), misuse));
        answered.exitCode = arguments.contains(QStringLiteral("--status")) ? StatusUsageError : UsageError;
        return answered;
    }
    if (parser.isSet(version))
        Print(
            stdout,
            QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion()));
    else
        Print(stdout, parser.helpText());
    answered.exitCode = 0;
    return answered;
}

bool NoDisplay()
{
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

void NameApplication(Program program)
{
    if (program == Program::Window) {
        QCoreApplication::setApplicationName(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    } else {
        const QByteArray told = qgetenv(ApplicationNameVariable);
        QCoreApplication::setApplicationName(told.isEmpty() ? QStringLiteral("Horaline") : QFile::decodeName(told));
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Remote Tickview System"));
}
