#pragma once
// The message manager: questions and notices named by a number. An answer the user asked to
// remember is kept in "MESSAGES.MSG" (12-byte records: id, show again, response) and given
// back without showing anything; otherwise the message dialog asks. Texts come from the
// caller or from the string table.

#include <QString>

// The messages, by the ids that name them in the string table and in "MESSAGES.MSG".
enum MessageId : int {
    MSG_PAGER_NUMBER_TIP = 100,
    MSG_AFTER_NUMBER_TIP = 101,
    MSG_AREA_CODE_TIP = 102,
    MSG_REMOVE_MESSAGES = 205,
    MSG_DELETE_CALLERS = 206,
    MSG_NO_VOICE = 207,
    MSG_DUPLICATE_ENTRIES = 208,
    MSG_KEYED_BY_NAME = 209,
    MSG_NO_AREA_CODE = 210,
    MSG_SWITCHED_MODEMS = 212,
    MSG_ABOUT_MESSAGES = 213,
    MSG_CANT_OPEN_PHONE_BOOK = 300,
    MSG_BACKUP_SAVED = 303,
    MSG_DELETE_ENTRY = 304,
    MSG_CANT_OPEN_HISTORY = 306,
    MSG_CANT_OPEN_EXPORT = 308,
    MSG_NOT_A_VOICE_MODEM = 311,
    MSG_NO_MODEMS = 312,
};

// The string table text of an id, empty when there is none. "%s" in a text is filled by the
// caller with FormatText, never by a printf-style format.
QString StringTableText(int id);
// Fills each "%s" in turn with the next argument; arguments are never read as formats.
QString FormatText(const QString& text, const QStringList& arguments);

class TMessageStore {
public:
    static QString FileName();
    // The remembered response, or -1 (no record, "show again" set, or no file).
    static int LookUpResponse(int id);
    // Writes the record in place of an earlier one for the id, else at the end.
    static bool StoreResponse(int id, int showAgain, int response);
    // Forgets every answer.
    static bool Reset();
};

enum : int { MSG_OK_ONLY = 0, MSG_OK_CANCEL = 1 };

// Returns the remembered response, or shows the dialog and returns 1 (OK) or 2 (Cancel).
// An empty text shows the string table text of the id.
int ShowManagedMessage(int id, const QString& text = QString(), int buttons = MSG_OK_ONLY);
// A plain notice: never looked up, never remembered.
int ShowPlainMessage(int id, const QString& text = QString());
