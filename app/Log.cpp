#include "app/Log.h"

#include <QString>
#include <QtGlobal>

void InstallLogFormat()
{
    qSetMessagePattern(QStringLiteral("%{time yyyy-MM-dd hh:mm:ss.zzz} "
                                      "%{if-debug}debug%{endif}%{if-info}info%{endif}%{if-warning}warning%{endif}"
                                      "%{if-critical}error%{endif}%{if-fatal}fatal%{endif} "
                                      "%{category}: %{message}"));
}
