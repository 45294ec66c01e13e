#include "store/config.h"

#include <QFileInfo>
#include <QSettings>
#include <cmath>

#include "platform/atomicfile.h"
#include "platform/profile.h"
#include "platform/records.h"
#include "platform/tfile.h"
#include "store/datafile.h"

namespace {
template <size_t N>
void ReadInts(const TRecordReader& r, int offset, qint32 (&values)[N]) {
    for (size_t i = 0; i < N; ++i)
        values[i] = r.I32(offset + int(4 * i));
}
template <size_t N>
void WriteInts(TRecordWriter& w, int offset, const qint32 (&values)[N]) {
    for (size_t i = 0; i < N; ++i)
        w.I32(offset + int(4 * i), values[i]);
}
template <size_t N>
void ReadBytes(const TRecordReader& r, int offset, quint8 (&values)[N]) {
    for (size_t i = 0; i < N; ++i)
        values[i] = r.U8(offset + int(i));
}
template <size_t N>
void WriteBytes(TRecordWriter& w, int offset, const quint8 (&values)[N]) {
    for (size_t i = 0; i < N; ++i)
        w.U8(offset + int(i), values[i]);
}
}  // namespace

void TConfig::SetConfigDefaults() {
    ConfigVersion = kVersion;
    OptionBits1 = 0x1A;
    OptionBits2 = 0xFE;
    MainViewBits = 0;
    FlashTime = 15;
    PageWait = 3.0;
    LastBackupTime = 0;
    RingsToAnswer = 5;
    MaxItems = 200;
    for (qint32& width : HistoryColumnWidths)
        width = 100;
    for (qint32& width : PhoneBookColumnWidths)
        width = 100;
    SetupPageIndex = 0;
    for (qint32& bound : MainWindowBounds)
        bound = 0;
    InternetLink.clear();
    SoundToPlayWhenPhoneRings = QStringLiteral("Personal Sounds/ring.wav");
    LocalAreaCodes.clear();
    LongDistancePrefix.clear();
    PagerNumber.clear();
    PostPageNumber = QStringLiteral("88");
    SelectPortBox.clear();
    Password1.clear();
    std::fill(std::begin(HistorySortDirections), std::end(HistorySortDirections), 0);
    for (int i = 0; i < 7 * 24; ++i)
        PagingHours[i] = (i % 24 >= 8 && i % 24 <= 17) ? 1 : 0;
    MaximumRecordTimeComboBox = 2;
    HistorySortColumn = 0;
    PhoneBookSortColumn = 0;
    Panel1Height = 80;
    std::fill(std::begin(PhoneBookSortDirections), std::end(PhoneBookSortDirections), 0);
    MessagePasswordEdit.clear();  // no remote access until the user chooses a code
    NextMessageComboBox = '3';
    PreviousMessageComboBox = '2';
    CurrentMessageComboBox = '1';
    FirstMinutesEdit = 20;
    Cost1Edit = 0.1;
    Cost2Edit = 0.1;
    for (int i = 0; i < 10; ++i)
        OutgoingHistoryColumnWidths[i] = i < kOutgoingHistoryColumns ? -1 : 0;
    TreeView1Width = 160;
    OCPanelHeight = 100;
    std::fill(std::begin(OutgoingSortDirections), std::end(OutgoingSortDirections), 0);
}

QByteArray TConfig::ToBytes() const {
    QByteArray bytes(kSize, '\0');
    TRecordWriter w(bytes);
    w.I32(0, ConfigVersion);
    w.U8(4, OptionBits1);
    w.U8(5, OptionBits2);
    w.U8(6, MainViewBits);
    w.I32(8, FlashTime);
    w.F64(16, PageWait);
    w.I32(24, LastBackupTime);
    w.I32(28, RingsToAnswer);
    w.I32(32, MaxItems);
    WriteInts(w, 40, HistoryColumnWidths);
    WriteInts(w, 60, PhoneBookColumnWidths);
    w.I32(76, SetupPageIndex);
    WriteInts(w, 96, MainWindowBounds);
    w.Text(112, 260, InternetLink);
    w.Text(372, 260, SoundToPlayWhenPhoneRings);
    w.Text(888, 80, LocalAreaCodes);
    w.Text(968, 80, LongDistancePrefix);
    w.Text(1048, 80, PagerNumber);
    w.Text(1128, 12, PostPageNumber);
    w.Text(1140, 80, SelectPortBox);
    w.Text(1220, 16, Password1);
    WriteBytes(w, 1236, HistorySortDirections);
    WriteBytes(w, 1256, PagingHours);
    w.I32(1548, MaximumRecordTimeComboBox);
    w.I32(1552, HistorySortColumn);
    w.I32(1560, PhoneBookSortColumn);
    w.I32(1568, Panel1Height);
    WriteBytes(w, 3440, PhoneBookSortDirections);
    w.Text(3450, 8, MessagePasswordEdit);
    w.U8(3458, quint8(NextMessageComboBox));
    w.U8(3459, quint8(PreviousMessageComboBox));
    w.U8(3460, quint8(CurrentMessageComboBox));
    w.I32(3472, FirstMinutesEdit);
    w.F64(3480, Cost1Edit);
    w.F64(3488, Cost2Edit);
    WriteInts(w, 3496, OutgoingHistoryColumnWidths);
    w.I32(3536, TreeView1Width);
    w.I32(3540, OCPanelHeight);
    WriteBytes(w, 3544, OutgoingSortDirections);
    Q_ASSERT(bytes.size() == kSize);
    return bytes;
}

void TConfig::FromBytes(const QByteArray& bytes) {
    // A short image replaces only the leading bytes of this record.
    QByteArray image = ToBytes();
    image.replace(0, qMin<qsizetype>(bytes.size(), kSize), bytes.left(kSize));
    const TRecordReader r(image);
    ConfigVersion = r.I32(0);
    OptionBits1 = r.U8(4);
    OptionBits2 = quint8(r.U8(5) & ~1);  // bit 0 is always 0
    MainViewBits = r.U8(6);
    FlashTime = r.I32(8);
    PageWait = r.F64(16);
    LastBackupTime = r.I32(24);
    RingsToAnswer = r.I32(28);
    MaxItems = r.I32(32);
    ReadInts(r, 40, HistoryColumnWidths);
    ReadInts(r, 60, PhoneBookColumnWidths);
    SetupPageIndex = r.I32(76);
    ReadInts(r, 96, MainWindowBounds);
    InternetLink = r.Text(112, 260);
    SoundToPlayWhenPhoneRings = r.Text(372, 260);
    LocalAreaCodes = r.Text(888, 80);
    LongDistancePrefix = r.Text(968, 80);
    PagerNumber = r.Text(1048, 80);
    PostPageNumber = r.Text(1128, 12);
    SelectPortBox = r.Text(1140, 80);
    Password1 = r.Text(1220, 16);
    ReadBytes(r, 1236, HistorySortDirections);
    ReadBytes(r, 1256, PagingHours);
    MaximumRecordTimeComboBox = r.I32(1548);
    HistorySortColumn = r.I32(1552);
    PhoneBookSortColumn = r.I32(1560);
    Panel1Height = r.I32(1568);
    ReadBytes(r, 3440, PhoneBookSortDirections);
    MessagePasswordEdit = r.Text(3450, 8);
    NextMessageComboBox = char(r.U8(3458));
    PreviousMessageComboBox = char(r.U8(3459));
    CurrentMessageComboBox = char(r.U8(3460));
    FirstMinutesEdit = r.I32(3472);
    Cost1Edit = r.F64(3480);
    Cost2Edit = r.F64(3488);
    ReadInts(r, 3496, OutgoingHistoryColumnWidths);
    TreeView1Width = r.I32(3536);
    OCPanelHeight = r.I32(3540);
    ReadBytes(r, 3544, OutgoingSortDirections);
}

int TConfig::ClampedMaxItems() const {
    return qBound(5, MaxItems, 200);
}

QString TConfigFile::FileName() {
    return TProfile::Path(QStringLiteral("RINGVALE.CNF"));
}

namespace {
void KeepSettingsAside(const QString& path, const QString& problem, bool move) {
    const QString aside = KeepAside(path, !move);
    AddDataNotice(QStringLiteral("\"RINGVALE.CNF\" ") + problem + QStringLiteral(".\r") +
                  (aside.isEmpty() ? QStringLiteral("It could not be kept aside.")
                                   : QStringLiteral("It was kept as \"") +
                                         QFileInfo(aside).fileName() + QStringLiteral("\".")));
}
}  // namespace

// A settings file that is not what this program writes is kept aside before anything is
// written over it, and the user is told once.
bool TConfigFile::LoadConfig(TConfig& config) {
    config.SetConfigDefaults();
    const QString path = FileName();
    TFile file;
    if (file.Open(path, TFile::ModeRead) < 0) {
        if (PathPresent(path))
            KeepSettingsAside(path,
                              QStringLiteral("could not be read (") + file.ErrorText +
                                  QStringLiteral("); the default settings are in use"),
                              true);
        SaveConfig(config);
        return false;
    }
    const qint64 size = file.GetSize();
    QByteArray bytes(TConfig::kSize, '\0');
    const qint64 got = file.Read(bytes.data(), TConfig::kSize);
    file.Close();
    config.FromBytes(bytes.left(qMax<qint64>(got, 0)));
    config.ClampLoaded();
    const bool otherVersion = config.ConfigVersion != TConfig::kVersion;
    if (size != TConfig::kSize || otherVersion)
        KeepSettingsAside(path,
                          otherVersion ? QStringLiteral("was written by another version")
                                       : QStringLiteral("is ") + QString::number(size) +
                                             QStringLiteral(" bytes long instead of 3560"),
                          false);
    if (otherVersion) {
        SaveConfig(config);
        return false;
    }
    return true;
}

void TConfig::ClampLoaded() {
    const TConfig defaults;
    auto clamp = [](qint32& value, qint32 low, qint32 high, qint32 fallback) {
        if (value < low || value > high) value = fallback;
    };
    clamp(MaximumRecordTimeComboBox, 0, 4, defaults.MaximumRecordTimeComboBox);
    clamp(RingsToAnswer, 0, 10, defaults.RingsToAnswer);
    if (RingsToAnswer == 1) RingsToAnswer = 2;
    clamp(FlashTime, 1, 3600, defaults.FlashTime);
    MaxItems = ClampedMaxItems();
    clamp(HistorySortColumn, 0, 4, 0);
    clamp(PhoneBookSortColumn, 0, 6, 0);
    clamp(SetupPageIndex, 0, 9, 0);
    clamp(FirstMinutesEdit, 0, 100000, defaults.FirstMinutesEdit);
    for (qint32& width : HistoryColumnWidths)
        clamp(width, 0, 5000, 0);
    for (qint32& width : PhoneBookColumnWidths)
        clamp(width, 0, 5000, 0);
    for (qint32& width : OutgoingHistoryColumnWidths)
        clamp(width, -1, 5000, -1);
    clamp(MainWindowBounds[2], 0, 20000, 0);
    clamp(MainWindowBounds[3], 0, 20000, 0);
    clamp(Panel1Height, 0, 10000, defaults.Panel1Height);
    clamp(TreeView1Width, 0, 10000, defaults.TreeView1Width);
    clamp(OCPanelHeight, 0, 10000, defaults.OCPanelHeight);
    auto money = [](double& value, double fallback) {
        if (!std::isfinite(value) || value < 0 || value > 1e6) value = fallback;
    };
    money(PageWait, defaults.PageWait);
    if (PageWait > 10080) PageWait = defaults.PageWait;  // a week of minutes
    money(Cost1Edit, defaults.Cost1Edit);
    money(Cost2Edit, defaults.Cost2Edit);
    // A retrieval key names a prompt file and is matched against the caller's keys.
    auto key = [](char& value, char fallback) {
        if (!(value >= '0' && value <= '9') && value != '*') value = fallback;
    };
    key(NextMessageComboBox, defaults.NextMessageComboBox);
    key(PreviousMessageComboBox, defaults.PreviousMessageComboBox);
    key(CurrentMessageComboBox, defaults.CurrentMessageComboBox);
}

bool TConfigFile::SaveConfig(TConfig& config) {
    config.ConfigVersion = TConfig::kVersion;
    return RewriteFile(FileName(), config.ToBytes());
}

QString RegistrySetting(const QString& name, const QString& value, bool write) {
    QSettings settings(QStringLiteral("Tarvex"), QStringLiteral("Ringvale"));
    settings.beginGroup(QStringLiteral("Settings"));
    if (!write) return settings.value(name).toString();
    settings.setValue(name, value);
    return value;
}

bool DesktopNotificationsOn() {
    return RegistrySetting(QStringLiteral("DesktopNotifications"), QString(), false) !=
           QLatin1String("0");
}

void SetDesktopNotifications(bool on) {
    RegistrySetting(QStringLiteral("DesktopNotifications"),
                    on ? QStringLiteral("1") : QStringLiteral("0"), true);
}
