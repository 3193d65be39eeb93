#include "service/Log.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QLoggingCategory>
#include <QString>
#include <QtGlobal>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

bool LogIsJournal()
{
    // "device:inode" of the stream systemd connected; a stderr redirected since is no longer it.
    const QByteArrayList stream = qgetenv("JOURNAL_STREAM").split(':');
    struct stat status
    {
    };
    if (stream.size() != 2 || ::fstat(STDERR_FILENO, &status) != 0)
        return false;
    bool deviceRead = false;
    bool inodeRead = false;
    const qulonglong device = stream[0].toULongLong(&deviceRead);
    const qulonglong inode = stream[1].toULongLong(&inodeRead);
    return deviceRead && inodeRead && device == status.st_dev && inode == status.st_ino;
}

void InstallLogFormat()
{
    if (LogIsJournal())
        qSetMessagePattern(QStringLiteral("<%{if-debug}7%{endif}%{if-info}6%{endif}%{if-warning}4%{endif}"
                                          "%{if-critical}3%{endif}%{if-fatal}2%{endif}>%{category}: %{message}"));
    else
        qSetMessagePattern(QStringLiteral("%{time yyyy-MM-dd hh:mm:ss.zzz} "
                                          "%{if-debug}debug%{endif}%{if-info}info%{endif}%{if-warning}warning%{endif}"
                                          "%{if-critical}error%{endif}%{if-fatal}fatal%{endif} "
                                          "%{category}: %{message}"));
    // QT_LOGGING_RULES, read after these, can still let Qt speak when a fault is looked into.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\ndefault.info=false\ndefault.warning=false\n"
                                                    "qt.*.debug=false\nqt.*.info=false\nqt.*.warning=false\n"));
}

namespace {

// Some hundred lines: a burst at start-up or at a failure fits; a log that stays stuck loses the rest.
constexpr size_t QueueLimit = 256;

struct LogQueue
{
    std::mutex Lock;
    std::condition_variable Changed;
    std::deque<QByteArray> Lines;
    unsigned long long Dropped = 0;
    bool Writing = false;
};

// Never destroyed: the writer may still be blocked in a write while the program ends.
LogQueue* const Queue = new LogQueue;

void WriteAll(const QByteArray& line)
{
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t count = ::write(STDERR_FILENO, line.constData() + done, size_t(line.size() - done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return;
        done += count;
    }
}

QByteArray Formatted(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    return qFormatLogMessage(type, context, message).toLocal8Bit() + '\n';
}

void WriteLines()
{
    for (;;) {
        std::unique_lock<std::mutex> lock(Queue->Lock);
        Queue->Changed.wait(lock, [] { return !Queue->Lines.empty(); });
        const QByteArray line = std::move(Queue->Lines.front());
        Queue->Lines.pop_front();
        const unsigned long long dropped = std::exchange(Queue->Dropped, 0);
        Queue->Writing = true;
        lock.unlock();
        if (dropped > 0) {
            const QMessageLogContext context(nullptr, 0, nullptr, "horaline.relay");
            WriteAll(Formatted(QtWarningMsg, context,
                               QStringLiteral("%1 log lines dropped: the log took nothing for a while").arg(dropped)));
        }
        WriteAll(line);
        lock.lock();
        Queue->Writing = false;
        Queue->Changed.notify_all();
    }
}

void Enqueue(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    QByteArray line = Formatted(type, context, message);
    // The program is about to abort: this line must be out first, whatever it costs.
    if (type == QtFatalMsg) {
        WriteAll(line);
        return;
    }
    const std::lock_guard<std::mutex> lock(Queue->Lock);
    if (Queue->Lines.size() >= QueueLimit) {
        ++Queue->Dropped;
        return;
    }
    Queue->Lines.push_back(std::move(line));
    Queue->Changed.notify_all();
}

} // namespace

void InstallLogWriter()
{
    std::thread(WriteLines).detach();
    qInstallMessageHandler(Enqueue);
}

void FlushLog(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(Queue->Lock);
    Queue->Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [] { return Queue->Lines.empty() && !Queue->Writing; });
}

void OpenMissingStandardDescriptors()
{
    // open(2) takes the lowest free number, and the lower ones are open by the time each is looked at.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            ::open("/dev/null", O_RDWR);
    }
}
