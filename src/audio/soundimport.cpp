#include "audio/soundimport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "audio/ctwave.h"
#include "platform/atomicfile.h"
#include "platform/prompts.h"
#include "platform/records.h"
#include "platform/tfile.h"
#include "platform/wave/converter.h"

namespace {
// A greeting of ten minutes in CD quality is about 100 MB; nothing longer is a greeting.
constexpr qint64 kMaxSoundBytes = 128ll * 1024 * 1024;
// The longest name the phone book's sound fields hold.
constexpr int kMaxNameLength = 200;
}  // namespace

QString TSoundImport::Problem(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) return QStringLiteral("The file does not exist.");
    if (info.size() > kMaxSoundBytes) return QStringLiteral("The file is too large for a sound.");
    CtWave wave(nullptr);
    WAVEFORMATEX format;
    if (!wave.Load(path) || !WAVEFORMATEX::FromBlock(wave.Format(), &format))
        return QStringLiteral("It is not a wave file.");
    if (!TWaveConverter::Supported(format))
        return QStringLiteral(
            "Ringvale cannot play this kind of wave file (it plays PCM, "
            "mu-law and A-law sound, mono or stereo).");
    return {};
}

QString TSoundImport::StorableName(const QString& fileName) {
    QString name = QFileInfo(fileName).completeBaseName();
    for (QChar& c : name)
        if (c.unicode() > 0xFF || c.unicode() < 32 || c == QLatin1Char('\\')) c = QLatin1Char('_');
    name.remove(QChar(QChar::ReplacementCharacter));
    if (name.trimmed().isEmpty()) name = QStringLiteral("Sound");
    return name.left(kMaxNameLength);
}

bool TSoundImport::Import(const QString& source, const QString& folder, QString* name,
                          QString* error) {
    *error = Problem(source);
    if (!error->isEmpty()) return false;
    const QFileInfo from(source);
    const bool inPlace = QDir(from.absolutePath()) == QDir(folder) &&
                         CharactersOutsideLatin1(from.fileName()).isEmpty() &&
                         from.suffix().compare(QLatin1String("wav"), Qt::CaseInsensitive) == 0 &&
                         !LeadsOutside(source);
    if (inPlace) {
        *name = from.fileName();
        return true;
    }
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    QString target;
    TFile files;
    if (!files.MakeUniqueName(StorableName(from.fileName()), QStringLiteral("wav"), folder,
                              &target)) {
        *error = QStringLiteral("The folder \"%1\" does not exist.").arg(folder);
        return false;
    }
    if (!RewriteFile(target, bytes, error)) return false;
    *name = QFileInfo(target).fileName();
    return true;
}

bool TSoundImport::ImportOrSay(const QString& source, const QString& folder, QString* name) {
    QString error;
    if (Import(source, folder, name, &error)) return true;
    Prompts().MessageBox(QStringLiteral("\"%1\" can't be used as a sound.\r%2")
                             .arg(QFileInfo(source).fileName(), error),
                         QStringLiteral("Ringvale"), prompt::MB_OK | prompt::MB_ICONEXCLAMATION);
    return false;
}
