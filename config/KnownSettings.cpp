#include "config/KnownSettings.h"

#include "serial/ComNames.h"
#include "settings/SettingsFile.h"

#include <QMap>
#include <algorithm>
#include <vector>

namespace {

const QMap<QString, QStringList>& Known()
{
    static const QMap<QString, QStringList> known {
        {QStringLiteral("Settaggi"),
         {QStringLiteral("InComName"), QStringLiteral("InComSpeed"), QStringLiteral("OutComName"),
          QStringLiteral("OutComSpeed"), QStringLiteral("ServerName"), QStringLiteral("ServerPort"),
          QStringLiteral("ProgMode"), QStringLiteral("ProgRun")}},
        {QStringLiteral("Standby"),
         {QStringLiteral("InComName"), QStringLiteral("InComSpeed"), QStringLiteral("ServerName"),
          QStringLiteral("ServerPort"), QStringLiteral("After"), QStringLiteral("OwnClock")}},
        {QStringLiteral("Clients"), {QStringLiteral("Allow")}},
        {QStringLiteral("Web"), {QStringLiteral("Listen")}},
        {QStringLiteral("Source"), {QStringLiteral("Primary"), QStringLiteral("MaxError")}},
        {QStringLiteral("NTP"),
         {QStringLiteral("Socket"), QStringLiteral("TimeZone"), QStringLiteral("Authoritative")}},
        {QStringLiteral("Ports"), {}},
    };
    return known;
}

int Distance(const QString& a, const QString& b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    for (size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[size_t(j)];
            const int same = a[i - 1].toLower() == b[j - 1].toLower() ? 0 : 1;
            row[size_t(j)] = std::min({above + 1, row[size_t(j) - 1] + 1, diagonal + same});
            diagonal = above;
        }
    }
    return row.back();
}

// The nearest known name, if near enough to be a slip of the keyboard or of the case.
QString Nearest(const QString& name, const QStringList& candidates)
{
    QString best;
    int bestDistance = 3;
    for (const QString& candidate : candidates) {
        const int distance = Distance(name, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

QString Unknown(const QString& what, const QString& nearest)
{
    return nearest.isEmpty() ? what + QLatin1Char('.') : QStringLiteral("%1: did you mean %2?").arg(what, nearest);
}

} // namespace

QStringList UnknownSettings()
{
    QStringList unknown;
    const QStringList groups = Known().keys();
    for (const QString& name : SettingsFile::NamesOutsideGroups())
        unknown.append(QStringLiteral("%1 is in no group: the relay's settings go under [Settaggi]").arg(name));
    for (const QString& group : SettingsFile::Groups()) {
        if (!Known().contains(group)) {
            unknown.append(
                Unknown(QStringLiteral("[%1] is no group of Horaline's").arg(group), Nearest(group, groups)));
            continue;
        }
        const QStringList names = Known().value(group);
        for (const QString& name : SettingsFile(group).Names()) {
            if (group == QLatin1String("Ports")) {
                if (!ParseComName(name))
                    unknown.append(
                        QStringLiteral("%1 is no COM name of [Ports]: write e.g. COM3=/dev/ttyUSB0").arg(name));
            } else if (!names.contains(name)) {
                unknown.append(
                    Unknown(QStringLiteral("%1 is no setting of [%2]").arg(name, group), Nearest(name, names)));
            }
        }
    }
    return unknown;
}
