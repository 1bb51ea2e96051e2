// velorixa-render: plays a file or a stream through the player's chain offline into a WAV file.
#include <QCoreApplication>
#include <cstdio>

#include "render/renderjob.h"
#include "util/fspath.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Arguments are the file system's bytes: a file name that is not UTF-8 opens as it is named.
    std::vector<QString> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(velorixa::util::PathFromBytes(QByteArray(argv[i])));
    return velorixa::tools::RunRenderTool(args, [](const QString& message) {
        // Names come back out as the bytes they came in as.
        std::fprintf(stderr, "velorixa-render: %s\n",
                     velorixa::util::PathToBytes(message).constData());
    });
}
