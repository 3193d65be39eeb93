#include "serial/SerialLog.h"

Q_LOGGING_CATEGORY(lcSerial, "horaline.serial", QtInfoMsg)
