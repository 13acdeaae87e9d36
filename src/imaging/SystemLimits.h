#pragma once

#include <QString>

class QFileDevice;

namespace kelvaro {

// The short reason the user sees for a failed system call's error number (errno).
QString SystemErrorReason(int error);

// The reason for the last failed operation on a file: the system's error when the operation left
// one in `error` (errno read right after it), Qt's own text otherwise.
QString FileErrorReason(const QFileDevice& file, int error);

// The reason given when a path names something other than a regular file (a folder aside).
QString NotRegularFileReason();

// Whether the worker threads that Qt's image operations and libimagequant start can be started
// now. Qt waits forever for a pool thread it failed to start, and libimagequant's OpenMP ends the
// process, so work that uses them checks first when processes or memory are limited.
bool CanStartWorkerThreads();

// Whether `bytes` of memory can be had now (taken and given back at once).
bool HasMemoryFor(qint64 bytes);

// The reasons given when the checks above fail.
QString NoThreadsReason();
QString NoMemoryReason();

} // namespace kelvaro
