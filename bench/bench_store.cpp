// The data stores far beyond their expected size: a 10,000-entry phone book (load, save,
// look-up of a caller near the end, with a thousand patterns among the entries, an import of
// 20,000 numbers) and a full 200-record call log.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include "platform/atomicfile.h"
#include "platform/profile.h"
#include "store/blocklist.h"
#include "store/calllog.h"
#include "store/outgoinghistory.h"
#include "store/phonebook.h"

namespace {
constexpr int kEntries = 10000;

struct Folder {
    QTemporaryDir Dir;
    Folder() { TProfile::SetFolder(Dir.path()); }
};

void FillPhoneBook(TPhoneBook& book) {
    for (int i = 0; i < kEntries; ++i) {
        PhoneBookEntry entry;
        entry.DisplayName = QStringLiteral("Caller %1").arg(i);
        entry.Number = QStringLiteral("(404) %1").arg(5550000 + i);
        entry.KeyType = i % 10 == 0 ? KeyName : KeyNumber;
        entry.RealName = QStringLiteral("CALLER %1").arg(i);
        book.Add(entry);
    }
}

void BM_SavePhoneBook(benchmark::State& state) {
    Folder folder;
    TPhoneBook book;
    FillPhoneBook(book);
    for (auto _ : state)
        benchmark::DoNotOptimize(book.SavePhoneBook());
}

void BM_LoadPhoneBook(benchmark::State& state) {
    Folder folder;
    TPhoneBook book;
    FillPhoneBook(book);
    book.SavePhoneBook();
    for (auto _ : state)
        benchmark::DoNotOptimize(book.LoadPhoneBook());
}

void BM_FindCaller(benchmark::State& state) {
    TPhoneBook book;
    FillPhoneBook(book);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            book.FindCaller(QStringLiteral("404-555-9998"), QStringLiteral("NOBODY")));
}

// A tenth of the entries are patterns of every kind; the caller matches none of the exact
// numbers, so every entry is looked at.
void BM_FindCallerAmongPatterns(benchmark::State& state) {
    TPhoneBook book;
    FillPhoneBook(book);
    for (int i = 0; i < kEntries; i += 10) {
        const QString prefix = QString::number(200 + i / 10);
        book.Entries[size_t(i)]->KeyType = KeyNumber;
        book.Entries[size_t(i)]->Number =
            i % 20 ? prefix + QStringLiteral("*") : QStringLiteral("(%1) 555-????").arg(prefix);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(
            book.FindCaller(QStringLiteral("(1199) 555-1234"), QStringLiteral("NOBODY")));
}

// 20,000 numbers of a CSV file added to the 10,000-entry phone book and saved.
void BM_ImportBlockList(benchmark::State& state) {
    Folder folder;
    QByteArray csv = "Name,Number\n";
    for (int i = 0; i < 2 * kEntries; ++i)
        csv +=
            "Caller " + QByteArray::number(i) + ",(800) " + QByteArray::number(5000000 + i) + "\n";
    const QString path = folder.Dir.filePath(QStringLiteral("robocallers.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size()) return;
    file.close();
    for (auto _ : state) {
        state.PauseTiming();
        TPhoneBook book;
        FillPhoneBook(book);
        state.ResumeTiming();
        benchmark::DoNotOptimize(TBlockList::Import(book, path).Added);
        book.SavePhoneBook();
    }
}

void BM_LoadCallLog(benchmark::State& state) {
    Folder folder;
    TCallLog log;
    for (int i = 0; i < 200; ++i) {
        CallLogRecord* record = log.NewLogRecord();
        TCallLog::FillLogRecord(record, QStringLiteral("CALLER"), QStringLiteral("4045551212"));
        record->Time = 1700000000 + i;
    }
    log.SaveCallLog();
    for (auto _ : state)
        benchmark::DoNotOptimize(log.LoadCallLog(200));
}

// A call log of 200 MB (a log copied around for years, or a damaged one): start-up reads only
// what the list can show.
void BM_LoadHugeCallLog(benchmark::State& state) {
    Folder folder;
    CallLogRecord record;
    TCallLog::FillLogRecord(&record, QStringLiteral("CALLER"), QStringLiteral("4045551212"));
    record.Time = 1796000000;
    const QByteArray one = record.ToBytes();
    QByteArray chunk;
    for (int i = 0; i < 10000; ++i)
        chunk += one;
    {
        QFile file(TCallLog::FileName());
        if (!file.open(QIODevice::WriteOnly)) return;
        for (int i = 0; i < 34; ++i)  // 340,000 records, 209 MB
            file.write(chunk);
    }
    TCallLog log;
    for (auto _ : state)
        benchmark::DoNotOptimize(log.LoadCallLog(200));
}

// A long placed-call history: 32,000 calls to 2,000 people.
void BM_LoadOutgoingHistory(benchmark::State& state) {
    Folder folder;
    QByteArray file;
    for (int i = 0; i < 32000; ++i) {
        TOCALL call;
        call.Name = QStringLiteral("Person %1").arg(i % 2000);
        call.NumberToDial = QStringLiteral("5551212");
        call.When = 46000 + i / 100.0;
        file += call.ToBytes();
    }
    RewriteFile(TOutgoingHistory::FileName(), file);
    TOutgoingHistory history;
    for (auto _ : state)
        benchmark::DoNotOptimize(history.LoadOutgoingHistory());
}
}  // namespace

BENCHMARK(BM_SavePhoneBook)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPhoneBook)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindCaller)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindCallerAmongPatterns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportBlockList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadCallLog)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadOutgoingHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadHugeCallLog)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
