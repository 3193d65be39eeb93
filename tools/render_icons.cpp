// Writes the window icon as horaline-<size>.png for the desktop's hicolor icon theme.
//   render_icons <folder>
#include "ui/Icons.h"

#include <QDir>
#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral(".")))
        return 1;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        if (!MainIconImage(size).save(folder.filePath(QStringLiteral("horaline-%1.png").arg(size)))) {
            std::fprintf(stderr, "cannot write the %d pixel icon\n", size);
            return 1;
        }
    }
    return 0;
}
