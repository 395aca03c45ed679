#include "scan/PageCopyWriter.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace corvane {

// One file, written over from its start and then cut to length when it held more: opening and
// closing it for every page cost more than writing it. Emptying it first is avoided too, as
// emptying a file and writing it again makes some file systems (ext4) flush it at once.
class PageCopyWriter::OpenFile
{
public:
    explicit OpenFile(QString path) : m_path(std::move(path)) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() { close(); }

    void write(QByteArrayView bytes)
    {
        struct stat st {
        };
        // Removed or replaced by someone else since the last write: the name gets a new file.
        if (m_fd >= 0 && (::fstat(m_fd, &st) != 0 || st.st_nlink == 0))
            close();
        if (m_fd < 0) {
            m_fd
                = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
            if (m_fd < 0 || ::fstat(m_fd, &st) != 0) {
                close();
                return;
            }
        }
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pwrite(m_fd, bytes.data() + done, std::size_t(bytes.size() - done),
                                       off_t(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                close();
                return;
            }
            done += n;
        }
        if (st.st_size > bytes.size() && ::ftruncate(m_fd, off_t(bytes.size())) != 0)
            close();
    }

    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    QString m_path;
    int m_fd = -1;
};

PageCopyWriter::PageCopyWriter() = default;

PageCopyWriter::~PageCopyWriter()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
    m_files.clear();
}

void PageCopyWriter::write(std::vector<Copy> copies, bool keepOpen)
{
    bool wake = false;
    {
        const std::lock_guard lock(m_mutex);
        // Only a first command can find the writer asleep.
        wake = m_queue.empty();
        for (Copy& copy : copies) {
            // The file's last write not yet done is replaced: nobody would ever see it.
            bool replaced = false;
            for (auto it = m_queue.rbegin(); it != m_queue.rend() && it->kind != Command::CloseAll;
                 ++it) {
                if (it->kind == Command::Write && it->path == copy.path) {
                    it->make = std::move(copy.make);
                    it->keepOpen = keepOpen;
                    replaced = true;
                    break;
                }
            }
            if (!replaced)
                m_queue.push_back(
                    {Command::Write, std::move(copy.path), std::move(copy.make), {}, keepOpen});
        }
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
    }
    if (wake)
        m_wake.notify_one();
}

void PageCopyWriter::post(std::function<void()> task)
{
    bool wake = false;
    {
        const std::lock_guard lock(m_mutex);
        wake = m_queue.empty();
        m_queue.push_back({Command::Task, {}, {}, std::move(task), false});
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
    }
    if (wake)
        m_wake.notify_one();
}

void PageCopyWriter::closeAll()
{
    bool wake = false;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            return; // nothing was ever opened
        wake = m_queue.empty();
        m_queue.push_back({Command::CloseAll, {}, {}, {}, false});
    }
    if (wake)
        m_wake.notify_one();
}

void PageCopyWriter::waitUntilWritten()
{
    std::unique_lock lock(m_mutex);
    m_written.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

void PageCopyWriter::run()
{
    // The copies are for the user to look at later: the analysis comes first when both want
    // the processor. (On Linux the niceness of a thread is its own.)
    ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), 10);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_queue.empty() || m_stopping; });
        if (m_queue.empty() && m_stopping)
            return;
        std::vector<Command> batch;
        batch.swap(m_queue);
        m_busy = true;
        lock.unlock();
        for (Command& command : batch)
            execute(command);
        batch.clear();
        lock.lock();
        m_busy = false;
        if (m_queue.empty())
            m_written.notify_all();
    }
}

void PageCopyWriter::execute(Command& command)
{
    if (command.kind == Command::CloseAll) {
        m_files.clear();
        return;
    }
    if (command.kind == Command::Task) {
        command.task();
        return;
    }
    auto it = m_files.find(command.path);
    if (it == m_files.end())
        it = m_files.emplace(command.path, std::make_unique<OpenFile>(command.path)).first;
    it->second->write(command.make());
    if (!command.keepOpen)
        m_files.erase(it);
}

} // namespace corvane
