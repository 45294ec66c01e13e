#pragma once
// The history of placed calls: a tree of the root "Calls", one node per called name and one
// node per call owning its record, stored as TOCALL records in "Outgoing call history.och".

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "store/tocall.h"

struct TOutgoingNode {
    QString Text;
    std::unique_ptr<TOCALL> Call;  // call nodes only
    TOutgoingNode* Parent = nullptr;
    std::vector<std::unique_ptr<TOutgoingNode>> Children;
};

class TOutgoingHistory {
public:
    static QString FileName();
    static constexpr qint64 kMaxRecords = 100000;
    TOutgoingHistory();

    TOutgoingNode* Root() const { return m_root.get(); }
    // Changes whenever a call or a node is added or removed: the window redraws the tree then.
    quint64 Revision() const { return m_revision; }
    int LoadOutgoingHistory();
    void AddPlacedCall(const TOCALL& record);
    bool SaveOutgoingHistory() const;
    // Removes the node and all below it; returns the node to select afterwards.
    TOutgoingNode* Delete(TOutgoingNode* node);

    // The calls a node lists: every call below it in tree order, or its own.
    static QList<TOCALL*> CallsUnder(TOutgoingNode* node);
    // "Name", "Number Dialed", "To Pager", "Date", "Length", "Cost".
    static QStringList RowTexts(const TOCALL& call);
    // Sorts by a column; Length and Cost keep the order.
    static void Sort(QList<TOCALL*>& calls, int column, bool ascending);

private:
    void Reset();
    TOutgoingNode* FindNode(const QString& text) const;
    TOutgoingNode* Place(const TOCALL& record, bool createNameNode);
    std::unique_ptr<TOutgoingNode> m_root;
    QHash<QString, TOutgoingNode*> m_names;  // the root and the name nodes by their text
    bool m_writable = true;
    quint64 m_revision = 0;
};
