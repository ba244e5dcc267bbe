// quillan-picture-strip OUT.png [SIZE]: writes the cell and LED pictures side
// by side in Picture order, each SIZE x SIZE pixels (default 32), so that the
// browser page shows the very pictures the desktop draws.
#include "app/pictures.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: quillan-picture-strip OUT.png [SIZE]\n");
        return 2;
    }
    const int size = argc == 3 ? std::atoi(argv[2]) : 32;
    if (size < 8 || size > 256) {
        std::fprintf(stderr, "SIZE 8..256 expected\n");
        return 2;
    }
    QGuiApplication app(argc, argv); // the pictures' text needs the font system
    if (!quillan::pictureStrip(size).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
