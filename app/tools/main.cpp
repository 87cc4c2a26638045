// corvane-icon-writer FOLDER: the program's icon as the desktop's icon theme wants it,
// FOLDER/<n>x<n>/apps/corvane.png for each size the hicolor theme lists. A build step of the
// package; drawn by the same code as the window's icon, so the two never differ.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <string>

#include "app/AppIcon.h"
#include "cli/ProgramCommandLine.h"

int main(int argc, char** argv) {
    const corvane::ProgramCommandLine line(
        "corvane-icon-writer",
        "usage: corvane-icon-writer FOLDER\n"
        "  writes FOLDER/<n>x<n>/apps/corvane.png for n = 16 24 32 48 64 128 256\n");
    if (argc != 2) return line.refuse("one folder expected");
    if (const auto status = line.answerStandard(argv[1])) return *status;
    // No display is needed to draw into a picture.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QString("%1/%2x%2/apps").arg(folder).arg(size);
        if (!QDir().mkpath(dir) || !corvane::AppIcon::pixmap(size).save(dir + "/corvane.png")) {
            std::fprintf(stderr, "corvane-icon-writer: cannot write %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
