#pragma once

// The program's string table. Leading spaces belong to the texts.
enum StringId
{
    IDS_ABOUTBOX = 101,
    IDS_SOCKETS_INIT_FAILED = 103,
    IDS_REJECTED = 200,
    IDS_CLIENTS_DISCONNECTED = 201,
    IDS_NO_LISTENING = 202,
    IDS_WAITING_CLIENTS = 203,
    IDS_READY = 204,
    IDS_SRV_LOST = 205,
};

const char* LoadString(StringId id);

// Status texts the relay says from more than one place.
constexpr const char* StartedServerText = "Started Server mode !";
constexpr const char* ConnectedText = "Connected to Server";
constexpr const char* ConnectingText = "Connecting to Server ...";
