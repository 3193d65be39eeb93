#include "app/Log.h"

Q_LOGGING_CATEGORY(lcRelay, "horaline.relay", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSerial, "horaline.serial", QtInfoMsg)
Q_LOGGING_CATEGORY(lcNet, "horaline.net", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSettings, "horaline.settings", QtInfoMsg)

void InstallLogFormat()
{
    qSetMessagePattern(QStringLiteral("%{time yyyy-MM-dd hh:mm:ss.zzz} "
                                      "%{if-debug}debug%{endif}%{if-info}info%{endif}%{if-warning}warning%{endif}"
                                      "%{if-critical}error%{endif}%{if-fatal}fatal%{endif} "
                                      "%{category}: %{message}"));
}
