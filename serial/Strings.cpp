#include "serial/Strings.h"

const char* LoadString(StringId id)
{
    switch (id) {
    case IDS_ABOUTBOX:
        return "Infor&mazioni su Horaline...";
    case IDS_SOCKETS_INIT_FAILED:
        return "Inizializzazione dei connettori di Windows non riuscita.";
    case IDS_REJECTED:
        return "Rejected";
    case IDS_CLIENTS_DISCONNECTED:
        return " Clients disconnected !";
    case IDS_NO_LISTENING:
        return " No Listening !";
    case IDS_WAITING_CLIENTS:
        return " Waiting for Clients ...";
    case IDS_READY:
        return " Ready !";
    case IDS_SRV_LOST:
        return "Srv lost";
    }
    return "";
}
