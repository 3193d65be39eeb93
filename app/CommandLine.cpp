#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace {

void Print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

LaunchRequest ReadCommandLine(int argc, char* argv[])
{
    QCoreApplication::setApplicationVersion(QStringLiteral(HORALINE_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Relays a wall-clock value between serial clock equipment and a TCP/IP network.\n"
                       "Without options it opens its window; the settings are its own per-user INI file."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption headless(QStringLiteral("headless"),
                                      QStringLiteral("Run the relay without a window or tray icon, as a service "
                                                     "does; every message goes to the log. The default when "
                                                     "there is no display."));
    parser.addOption(headless);
    const QCommandLineOption status(
        QStringLiteral("status"),
        QStringLiteral("Print how the running Horaline of these settings stands, and end with 0 when it relays, "
                       "1 when it runs degraded, 2 when it relays nothing, 3 when none runs."));
    parser.addOption(status);
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("With --status: print it as one JSON object."));
    parser.addOption(json);

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const bool understood = parser.parse(arguments);
    const bool misused = understood && parser.isSet(json) && !parser.isSet(status);
    if (understood && !misused && !parser.isSet(help) && !parser.isSet(version)
        && parser.positionalArguments().isEmpty())
        return {parser.isSet(headless) || NoDisplay(), parser.isSet(status), parser.isSet(json), std::nullopt};

    // Only to answer: the usage line names the program as it was called.
    QCoreApplication application(argc, argv);
    if (!understood || misused || !parser.positionalArguments().isEmpty()) {
        const QString error = !understood ? parser.errorText()
            : misused                     ? QStringLiteral("--json goes with --status.")
                      : QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
        Print(stderr, QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(QCoreApplication::applicationName(), error));
        return {false, false, false, 2};
    }
    if (parser.isSet(version))
        Print(
            stdout,
            QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion()));
    else
        Print(stdout, parser.helpText());
    return {false, false, false, 0};
}

bool NoDisplay()
{
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}
