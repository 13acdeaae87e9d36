// make-corpus FOLDER: writes the bad-input corpus that tst_corpus runs kelvaro-render on, for
// looking at a case by hand.
#include "CorpusGenerator.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-corpus FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder) || !QDir(folder).isEmpty()) {
        std::fprintf(stderr, "make-corpus: %s must be a new or empty folder\n", argv[1]);
        return 1;
    }
    const int count = MakeCorpus(folder);
    if (count < 0)
        return 1;
    std::printf("%d files in %s\n", count, argv[1]);
    return 0;
}
