#include "net/NetLog.h"

Q_LOGGING_CATEGORY(lcNet, "horaline.net", QtInfoMsg)
