#pragma once

class CLinkSocket;
class QString;

// Who a link socket reports to: accept, connect, receive, send and close, each once it has happened, and
// a connection attempt that failed.
class LinkOwner
{
public:
    virtual void OnLinkAccept() = 0;
    virtual void OnLinkConnect(CLinkSocket* socket) = 0;
    virtual void OnLinkReceive(CLinkSocket* socket) = 0;
    // Values are never held back for a slow peer: it simply misses those it could not take.
    virtual void OnLinkSend() { }
    virtual void OnLinkClose(CLinkSocket* socket) = 0;
    // An attempt of the client's own connection failed: the system's words, and whether the name given
    // is known at all.
    virtual void OnLinkConnectFailed(CLinkSocket* socket, const QString& why, bool nameUnknown) = 0;

protected:
    ~LinkOwner() = default;
};
