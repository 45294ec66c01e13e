// Replays a fuzz target's corpus through its entry point, without the fuzzer: every file of
// the folders (or the files) named on the command line, once. A crash fails the test; under
// AddressSanitizer so does any bad access.

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int inputs = 0;
    for (const QString& argument : app.arguments().mid(1)) {
        QStringList files{argument};
        if (QFileInfo(argument).isDir()) {
            files.clear();
            QDirIterator it(argument, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << it.next();
        }
        for (const QString& path : files) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                   size_t(bytes.size()));
            ++inputs;
        }
    }
    std::printf("%d inputs replayed\n", inputs);
    return inputs > 0 ? 0 : 1;
}
