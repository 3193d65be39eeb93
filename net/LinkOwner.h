#pragma once

class CLinkSocket;

// Who a link socket reports to: accept, connect, receive, send and close, each once it has happened.
class LinkOwner
{
public:
    virtual void OnLinkAccept() = 0;
    virtual void OnLinkConnect() = 0;
    virtual void OnLinkReceive(CLinkSocket* socket) = 0;
    virtual void OnLinkSend() = 0;
    virtual void OnLinkClose(CLinkSocket* socket) = 0;

protected:
    ~LinkOwner() = default;
};
