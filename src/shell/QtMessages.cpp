#include "shell/QtMessages.h"

#include "shell/Console.h"
#include "shell/OutputQueue.h"
#include "shell/StandardStreams.h"
#include "shell/WriteAll.h"

#include <QtGlobal>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// Made once, for the rest of the process: Qt may warn at any moment until
// the very end.
StandardError* g_console = nullptr;

// Writes `bytes` to standard error on a thread of its own and waits for it
// at most FatalLimit; a writer still blocked then is left to the end of the
// process. The descriptor is used as it is: no O_NONBLOCK on what the shell
// shares with us.
void WriteBounded(const QByteArray& bytes)
{
    struct Done {
        std::mutex mutex;
        std::condition_variable written;
        bool done = false;
    };
    const auto done = std::make_shared<Done>();
    std::thread([bytes, done] {
        WriteAll(2, bytes);
        const std::lock_guard lock(done->mutex);
        done->done = true;
        done->written.notify_all();
    }).detach();
    std::unique_lock lock(done->mutex);
    done->written.wait_for(lock, QtMessages::FatalLimit, [&done] { return done->done; });
}

void Handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QString line = qFormatLogMessage(type, context, message);
    if (type != QtFatalMsg) {
        g_console->Say(line);
        return;
    }
    // The warnings that explain it come first.
    StandardStreams::Error().Finish(std::chrono::steady_clock::now() + OutputQueue::DefaultLimit);
    if (!StandardStreams::WasClosed(2))
        WriteBounded((line + '\n').toLocal8Bit());
}

}  // namespace

namespace QtMessages {

void Route()
{
    if (!g_console)
        g_console = new StandardError;
    qInstallMessageHandler(Handle);
}

}  // namespace QtMessages
