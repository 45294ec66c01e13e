#pragma once
// The settings: one fixed 3,560-byte record kept in "RINGVALE.CNF" in the start-up folder,
// read and written field by field at its offsets. Settings are named after the settings
// dialog control that edits them; the rest carry their own names. Reserved bytes are kept
// zero.

#include <QByteArray>
#include <QString>

class TConfig {
public:
    static constexpr int kSize = 3560;
    static constexpr qint32 kVersion = 769;
    static constexpr int kOutgoingHistoryColumns = 6;
    enum PageModes { PageNever = 0, PageAlways = 1, PageNormal = 2 };

    TConfig() { SetConfigDefaults(); }
    void SetConfigDefaults();

    // The record's bytes, and the record read from bytes (a short image keeps the default
    // tail of this record; every field is bounded by its width).
    QByteArray ToBytes() const;
    void FromBytes(const QByteArray& bytes);

    qint32 ConfigVersion = kVersion;
    quint8 OptionBits1 = 0;
    quint8 OptionBits2 = 0;
    quint8 MainViewBits = 0;
    qint32 FlashTime = 0;
    double PageWait = 0;
    qint32 LastBackupTime = 0;
    qint32 RingsToAnswer = 0;
    qint32 MaxItems = 0;
    qint32 HistoryColumnWidths[5] = {};
    qint32 PhoneBookColumnWidths[4] = {};
    qint32 SetupPageIndex = 0;
    qint32 MainWindowBounds[4] = {};  // Left, Top, Width, Height
    QString InternetLink;
    QString SoundToPlayWhenPhoneRings;
    QString LocalAreaCodes;
    QString LongDistancePrefix;
    QString PagerNumber;
    QString PostPageNumber;
    QString SelectPortBox;
    QString Password1;
    quint8 HistorySortDirections[20] = {};
    quint8 PagingHours[7 * 24] = {};  // weekday (0 = Sunday) x 24 + hour
    qint32 MaximumRecordTimeComboBox = 0;
    qint32 HistorySortColumn = 0;
    qint32 PhoneBookSortColumn = 0;
    qint32 Panel1Height = 0;
    quint8 PhoneBookSortDirections[10] = {};
    QString MessagePasswordEdit;
    char NextMessageComboBox = 0;
    char PreviousMessageComboBox = 0;
    char CurrentMessageComboBox = 0;
    qint32 FirstMinutesEdit = 0;
    double Cost1Edit = 0;
    double Cost2Edit = 0;
    qint32 OutgoingHistoryColumnWidths[10] = {};
    qint32 TreeView1Width = 0;
    qint32 OCPanelHeight = 0;
    quint8 OutgoingSortDirections[16] = {};

    // OptionBits1.
    int PageMode() const { return OptionBits1 & 0x7; }
    void SetPageMode(int mode) { OptionBits1 = quint8((OptionBits1 & ~0x7) | (mode & 0x7)); }
    bool FlashCaller() const { return Bit(OptionBits1, 3); }
    bool ShowToCallTab() const { return Bit(OptionBits1, 4); }
    bool ConnectAtStartupButton() const { return Bit(OptionBits1, 5); }
    bool TenDigitDialing() const { return Bit(OptionBits1, 6); }
    bool AllowRemotePage() const { return Bit(OptionBits1, 7); }
    void SetFlashCaller(bool on) { SetBit(OptionBits1, 3, on); }
    void SetShowToCallTab(bool on) { SetBit(OptionBits1, 4, on); }
    void SetConnectAtStartupButton(bool on) { SetBit(OptionBits1, 5, on); }
    void SetTenDigitDialing(bool on) { SetBit(OptionBits1, 6, on); }
    void SetAllowRemotePage(bool on) { SetBit(OptionBits1, 7, on); }
    // OptionBits2.
    bool MinimizeToSysTray() const { return Bit(OptionBits2, 1); }
    bool StopListening() const { return Bit(OptionBits2, 2); }
    bool DeleteFromHistory() const { return Bit(OptionBits2, 3); }
    bool ConnectToInternet() const { return Bit(OptionBits2, 4); }
    bool DialNumber() const { return Bit(OptionBits2, 5); }
    bool ShowHints() const { return Bit(OptionBits2, 6); }
    bool ListenToMessages() const { return Bit(OptionBits2, 7); }
    void SetMinimizeToSysTray(bool on) { SetBit(OptionBits2, 1, on); }
    void SetStopListening(bool on) { SetBit(OptionBits2, 2, on); }
    void SetDeleteFromHistory(bool on) { SetBit(OptionBits2, 3, on); }
    void SetConnectToInternet(bool on) { SetBit(OptionBits2, 4, on); }
    void SetDialNumber(bool on) { SetBit(OptionBits2, 5, on); }
    void SetShowHints(bool on) { SetBit(OptionBits2, 6, on); }
    void SetListenToMessages(bool on) { SetBit(OptionBits2, 7, on); }
    // MainViewBits.
    bool ShowOutgoingCallsButton() const { return Bit(MainViewBits, 0); }
    bool UseSpeakerPhoneButton() const { return Bit(MainViewBits, 1); }
    // Callers the phone book does not know must press a key before they may leave a message
    // (a bit older copies leave alone).
    bool ScreenUnknownCallers() const { return Bit(MainViewBits, 2); }
    void SetScreenUnknownCallers(bool on) { SetBit(MainViewBits, 2, on); }
    void SetShowOutgoingCallsButton(bool on) { SetBit(MainViewBits, 0, on); }
    void SetUseSpeakerPhoneButton(bool on) { SetBit(MainViewBits, 1, on); }

    // MaxItems as the program uses it: 5..200.
    int ClampedMaxItems() const;
    // Values read from a file that size, count or index something are brought into their
    // range: a damaged file must not be able to size a buffer or index past a list.
    void ClampLoaded();

private:
    static bool Bit(quint8 bits, int n) { return (bits >> n) & 1; }
    static void SetBit(quint8& bits, int n, bool on) {
        bits = quint8(on ? bits | (1 << n) : bits & ~(1 << n));
    }
};

// "RINGVALE.CNF" in the start-up folder.
class TConfigFile {
public:
    static QString FileName();

    // True when a valid file was read; otherwise the defaults (or the bytes read, restamped)
    // are written and false is returned.
    bool LoadConfig(TConfig& config);
    // False when the file could not be written; the old file then stays whole.
    bool SaveConfig(TConfig& config);
};

// The two remembered folders (LastPhoneBkDir, LastWaveDir) in the per-user settings store.
QString RegistrySetting(const QString& name, const QString& value, bool write);
// Whether callers and new messages are also sent as desktop notifications (per user; on
// unless turned off).
bool DesktopNotificationsOn();
void SetDesktopNotifications(bool on);
