#pragma once

#include "service/SettingsCheck.h"

class RelayController;
class ServiceNotifier;
class SingleInstance;
class StatusService;
class UnattendedView;
class WebService;

// Every problem in the log, the problems first: a service's admin reads the journal from here. True
// when there is none.
bool TellCheck(const SettingsCheck& check);

// SIGHUP: the settings are read again and the relay takes what changed; settings that cannot run leave it
// running as it was, and say so to whoever looks: the log, the status query, the service manager.
void ReadSettingsAgain(RelayController& relay, UnattendedView& view, ServiceNotifier& manager, WebService& web,
                       SingleInstance& instance, StatusService& queries);
