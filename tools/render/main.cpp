// velorixa-render: plays a file or a stream through the player's chain offline into a WAV file.
#include <QCoreApplication>
#include <cstdio>

#include "render/renderjob.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<QString> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(QString::fromLocal8Bit(argv[i]));
    return velorixa::tools::RunRenderTool(args, [](const QString& message) {
        std::fprintf(stderr, "velorixa-render: %s\n", message.toLocal8Bit().constData());
    });
}
