// Writes the manual page of tessa-cli (made from its list of commands) to the file given.
#include "cli/ManPage.h"

#include <cstdio>
#include <QByteArray>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tessa-manpage VERSION OUT\n");
        return 2;
    }
    const QByteArray page = tessa::cli::manPageText(QString::fromUtf8(argv[1])).toUtf8();
    FILE* out = std::fopen(argv[2], "wb");
    if (!out)
        return 1;
    const bool written = std::fwrite(page.constData(), 1, size_t(page.size()), out) == size_t(page.size());
    return std::fclose(out) == 0 && written ? 0 : 1;
}
