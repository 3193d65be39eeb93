#pragma once

#include "settings/SettingsFile.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTest>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

// A real pseudo-terminal standing in for a serial line: the program opens the slave by its path, the
// test plays the equipment at the master.
class PtyPair
{
public:
    PtyPair()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&Master, &slave, name, nullptr, nullptr) != 0)
            return;
        SlavePath = QString::fromLocal8Bit(name);
        ::close(slave);
        ::fcntl(Master, F_SETFL, ::fcntl(Master, F_GETFL) | O_NONBLOCK);
        // A program the test starts must not hold the equipment's end: its close would be no hang-up.
        ::fcntl(Master, F_SETFD, FD_CLOEXEC);
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool IsOpen() const { return Master >= 0; }

    // Writes every byte, waiting while the line's buffer is full; false if it stays full for 5 s.
    bool Write(const QByteArray& bytes) const
    {
        qsizetype sent = 0;
        while (sent < bytes.size()) {
            const ssize_t count = ::write(Master, bytes.constData() + sent, size_t(bytes.size() - sent));
            if (count > 0) {
                sent += count;
                continue;
            }
            pollfd ready {Master, POLLOUT, 0};
            if (count < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (::poll(&ready, 1, 5000) <= 0)
                return false;
        }
        return true;
    }

    // What the program wrote, collected until `size` bytes came or the time ran out.
    QByteArray Read(int size, int timeoutMs = 5000) const
    {
        QByteArray received;
        QElapsedTimer timer;
        timer.start();
        while (received.size() < size && timer.elapsed() < timeoutMs) {
            char buffer[4096];
            const ssize_t count = ::read(Master, buffer, std::min(sizeof buffer, size_t(size - received.size())));
            if (count > 0)
                received.append(buffer, int(count));
            else
                QTest::qWait(5);
        }
        return received;
    }

    void Drain() const
    {
        char buffer[4096];
        while (::read(Master, buffer, sizeof buffer) > 0) { }
    }

    void CloseMaster()
    {
        if (Master >= 0)
            ::close(Master);
        Master = -1;
    }

    // Makes a COM name stand for this line, as an operator's Ports entry would.
    void MapTo(int comNumber) const
    {
        SettingsFile ports(QStringLiteral("Ports"));
        ports.Write(QStringLiteral("COM%1").arg(comNumber), SlavePath);
    }

    int Master = -1;
    QString SlavePath;
};
