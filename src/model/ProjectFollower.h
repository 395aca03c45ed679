#pragma once

#include <QString>

namespace corvane {

class ProjectLock;

// What follows the project's file from a layer above it (the project's history): told when a
// project is read, started or saved, and asked for the lock it may hold on the file, so Save does
// not refuse a lock the program holds itself.
class ProjectFollower
{
public:
    // The project was read from this file (empty: New).
    virtual void projectOpened(const QString& path) = 0;
    // The project was saved to this file; false when what follows it could not be written.
    virtual bool setProjectPath(const QString& path) = 0;
    virtual QString projectPath() const = 0;
    // The lock of the project's file, when one is kept.
    virtual ProjectLock* lock() = 0;
    // The project was read: what it shows of the last scan goes into the results.
    virtual void showLastChanges() = 0;

protected:
    ~ProjectFollower() = default;
};

} // namespace corvane
