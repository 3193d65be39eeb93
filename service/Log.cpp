#include "service/Log.h"

#include <QByteArrayList>
#include <QLoggingCategory>
#include <QString>
#include <QtGlobal>
#include <sys/stat.h>
#include <unistd.h>

bool LogIsJournal()
{
    // "device:inode" of the stream systemd connected; a stderr redirected since is no longer it.
    const QByteArrayList stream = qgetenv("JOURNAL_STREAM").split(':');
    struct stat status
    {
    };
    if (stream.size() != 2 || ::fstat(STDERR_FILENO, &status) != 0)
        return false;
    bool deviceRead = false;
    bool inodeRead = false;
    const qulonglong device = stream[0].toULongLong(&deviceRead);
    const qulonglong inode = stream[1].toULongLong(&inodeRead);
    return deviceRead && inodeRead && device == status.st_dev && inode == status.st_ino;
}

void InstallLogFormat()
{
    if (LogIsJournal())
        qSetMessagePattern(QStringLiteral("<%{if-debug}7%{endif}%{if-info}6%{endif}%{if-warning}4%{endif}"
                                          "%{if-critical}3%{endif}%{if-fatal}2%{endif}>%{category}: %{message}"));
    else
        qSetMessagePattern(QStringLiteral("%{time yyyy-MM-dd hh:mm:ss.zzz} "
                                          "%{if-debug}debug%{endif}%{if-info}info%{endif}%{if-warning}warning%{endif}"
                                          "%{if-critical}error%{endif}%{if-fatal}fatal%{endif} "
                                          "%{category}: %{message}"));
    // QT_LOGGING_RULES, read after these, can still let Qt speak when a fault is looked into.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\ndefault.info=false\ndefault.warning=false\n"
                                                    "qt.*.debug=false\nqt.*.info=false\nqt.*.warning=false\n"));
}
