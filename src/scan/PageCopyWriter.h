#pragma once

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace corvane {

// Writes the page copies (the files every fetched page is copied to) on a thread of its own, so
// the scan never waits for the disk: a slow or busy disk would otherwise hold up every page.
//
// Each copy is replaced by every page. The writes of one file happen in the order given; when the
// writer falls behind, a copy that a later page replaces before it was written is skipped, so
// the file still ends up holding the last page. A file is kept open from write to write and
// written over in place; a file removed or replaced by someone else meanwhile gets a new file.
// A copy that cannot be written is no reason to stop the scan: failures are not reported.
class PageCopyWriter final
{
public:
    PageCopyWriter();
    // Finishes what was handed over, then closes the files.
    ~PageCopyWriter();
    PageCopyWriter(const PageCopyWriter&) = delete;
    PageCopyWriter& operator=(const PageCopyWriter&) = delete;

    struct Copy {
        QString path; // the file
        // Makes what the file is to hold, on the writer's thread: the page's time is not spent on
        // copies that are only written. It must only read what it holds; one that a later copy
        // replaces is never called.
        std::function<QByteArray()> make;
    };
    // The files are to hold what the copies make (the copies of one page come together, so the
    // writer is woken once for them). keepOpen: the files stay open for the next write.
    void write(std::vector<Copy> copies, bool keepOpen = true);
    // Runs the task on the writer's thread, after what was handed over before: work that only
    // the copies need, started early.
    void post(std::function<void()> task);
    // Closes every file once what was handed over before is written.
    void closeAll();
    // Returns once everything handed over so far is written.
    void waitUntilWritten();

private:
    struct Command {
        enum Kind { Write, CloseAll, Task } kind = Write;
        QString path;
        std::function<QByteArray()> make;
        std::function<void()> task;
        bool keepOpen = true;
    };
    class OpenFile;

    void run();
    void execute(Command& command);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_written;
    std::vector<Command> m_queue;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread; // started by the first command
    // The writer thread's own.
    std::map<QString, std::unique_ptr<OpenFile>> m_files;
};

} // namespace corvane
