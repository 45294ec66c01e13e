#include "store/message.h"

#include <QFile>
#include <QHash>

#include "platform/profile.h"
#include "platform/prompts.h"
#include "platform/records.h"
#include "platform/tfile.h"

// The string table is a resource of this static library; it must be registered by name.
static void InitStringTable() {
    Q_INIT_RESOURCE(store);
}

namespace {
constexpr int kRecordSize = 12;
constexpr int kNeverRemembered = MSG_ABOUT_MESSAGES;  // about the message manager itself

QString Unescaped(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text[++i];
        out += next == QLatin1Char('r')   ? QChar('\r')
               : next == QLatin1Char('t') ? QChar('\t')
                                          : next;
    }
    return out;
}

const QHash<int, QString>& Table() {
    static const QHash<int, QString> table = [] {
        InitStringTable();
        QHash<int, QString> texts;
        QFile file(QStringLiteral(":/ringvale/strings.txt"));
        if (!file.open(QIODevice::ReadOnly)) return texts;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const qsizetype tab = line.indexOf('\t');
            if (line.startsWith('#') || tab < 0) continue;
            texts.insert(line.left(tab).toInt(), Unescaped(QString::fromUtf8(line.mid(tab + 1))));
        }
        return texts;
    }();
    return table;
}

QByteArray Record(int id, int showAgain, int response) {
    QByteArray bytes(kRecordSize, '\0');
    TRecordWriter w(bytes);
    w.I32(0, id);
    w.I32(4, showAgain);
    w.I32(8, response);
    return bytes;
}
}  // namespace

QString StringTableText(int id) {
    return Table().value(id);
}

QString FormatText(const QString& text, const QStringList& arguments) {
    QString out;
    qsizetype next = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('%') && i + 1 < text.size() && text[i + 1] == QLatin1Char('s')) {
            out += next < arguments.size() ? arguments[next++] : QString();
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

QString TMessageStore::FileName() {
    return TProfile::Path(QStringLiteral("MESSAGES.MSG"));
}

int TMessageStore::LookUpResponse(int id) {
    TFile file;
    if (file.Open(FileName(), TFile::ModeRead) < 0) return -1;
    char bytes[kRecordSize];
    while (file.Read(bytes, kRecordSize) == kRecordSize) {
        const QByteArray record(bytes, kRecordSize);
        const TRecordReader r(record);
        if (r.I32(0) == id) return r.I32(4) != 0 ? -1 : r.I32(8);
    }
    return -1;
}

bool TMessageStore::StoreResponse(int id, int showAgain, int response) {
    TFile file;
    file.ReportErrors = true;
    if (file.Open(FileName(), TFile::ModeReadWrite) < 0) return false;
    char bytes[kRecordSize];
    for (;;) {
        const qint64 position = file.Tell();
        const qint64 got = file.Read(bytes, kRecordSize);
        if (got < kRecordSize) break;  // at the end; a partial tail stays before the new record
        if (TRecordReader(QByteArray(bytes, kRecordSize)).I32(0) == id) {
            file.Seek(position);
            break;
        }
    }
    return file.Write(Record(id, showAgain, response).constData(), kRecordSize) == kRecordSize;
}

bool TMessageStore::Reset() {
    TFile file;
    return !file.Exists(FileName()) || file.Delete(FileName());
}

int ShowManagedMessage(int id, const QString& text, int buttons) {
    const int remembered = TMessageStore::LookUpResponse(id);
    if (remembered >= 0) return remembered;
    TAppMessageRequest request;
    request.Id = id;
    request.Text = text.isEmpty() ? StringTableText(id) : text;
    request.WithCancel = buttons & MSG_OK_CANCEL;
    request.Managed = true;
    request.RememberEnabled = id != kNeverRemembered;
    bool dontShowAgain = false;
    const int result = Prompts().AppMessage(request, &dontShowAgain);
    if (result == prompt::IDOK)
        TMessageStore::StoreResponse(id, dontShowAgain && request.RememberEnabled ? 0 : 1, 1);
    return result == prompt::IDOK ? prompt::IDOK : prompt::IDCANCEL;
}

int ShowPlainMessage(int id, const QString& text) {
    TAppMessageRequest request;
    request.Id = id;
    request.Text = text.isEmpty() ? StringTableText(id) : text;
    bool ignored = false;
    Prompts().AppMessage(request, &ignored);
    return prompt::IDOK;
}
