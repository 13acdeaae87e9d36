#pragma once

#include <QString>

// Writes the bad-input corpus into `folder` (which must exist and be empty): valid pictures of
// every format and odd pixel formats, each cut short at many points and with bits flipped from
// a fixed seed, headers that declare huge sizes, decompression and metadata bombs, special files
// (FIFO, folder, device, symbolic-link loop) and odd names. The same files every time. Returns
// the number of entries written, or -1 when the folder cannot be filled.
int MakeCorpus(const QString& folder);

// Removes what QDir cannot name (the file whose name is not UTF-8), so the folder can be removed.
void RemoveUnnamableFiles(const QString& folder);
