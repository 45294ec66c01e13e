#include "store/outgoinghistory.h"

#include <algorithm>
#include <functional>

#include "platform/atomicfile.h"
#include "platform/profile.h"
#include "platform/records.h"
#include "platform/tfile.h"
#include "store/datafile.h"

namespace {
std::unique_ptr<TOutgoingNode> NewRoot() {
    auto root = std::make_unique<TOutgoingNode>();
    root->Text = QStringLiteral("Calls");
    return root;
}

TOutgoingNode* AddChild(TOutgoingNode* parent, const QString& text) {
    auto node = std::make_unique<TOutgoingNode>();
    node->Text = text;
    node->Parent = parent;
    parent->Children.push_back(std::move(node));
    return parent->Children.back().get();
}

// Every node in tree order, the root first.
void Walk(TOutgoingNode* node, const std::function<bool(TOutgoingNode*)>& visit) {
    std::vector<TOutgoingNode*> stack{node};
    while (!stack.empty()) {
        TOutgoingNode* current = stack.back();
        stack.pop_back();
        if (!visit(current)) return;
        for (auto it = current->Children.rbegin(); it != current->Children.rend(); ++it)
            stack.push_back(it->get());
    }
}
}  // namespace

QString TOutgoingHistory::FileName() {
    return TProfile::Path(QStringLiteral("Outgoing call history.och"));
}

TOutgoingHistory::TOutgoingHistory() {
    Reset();
}

void TOutgoingHistory::Reset() {
    ++m_revision;
    m_root = NewRoot();
    m_names.clear();
    m_names.insert(m_root->Text, m_root.get());
}

// The root and the name nodes are found by their text at once: loading no longer walks the
// whole tree for every record (a history of 30,000 calls took seconds).
TOutgoingNode* TOutgoingHistory::FindNode(const QString& text) const {
    return m_names.value(text, nullptr);
}

TOutgoingNode* TOutgoingHistory::Place(const TOCALL& record, bool createNameNode) {
    TOutgoingNode* parent = FindNode(record.Name);
    if (!parent) {
        if (!createNameNode) return nullptr;
        parent = AddChild(m_root.get(), record.Name);
        m_names.insert(record.Name, parent);
    }
    TOutgoingNode* node = AddChild(parent, DayCountText(record.When));
    node->Call = std::make_unique<TOCALL>(record);
    ++m_revision;
    return node;
}

int TOutgoingHistory::LoadOutgoingHistory() {
    Reset();
    int count = 0;
    const TDataFileLoad load =
        LoadDataFile(FileName(), TOCALL::kSize, kMaxRecords, &TOCALL::Plausible);
    m_writable = load.Writable;
    for (const QByteArray& bytes : load.Records) {
        const TOCALL record = TOCALL::FromBytes(bytes);
        Place(record, !record.Name.isEmpty());  // a nameless record matching no node is dropped
        ++count;
    }
    return count;
}

// A placed call is on disk at once, with its length and cost.
void TOutgoingHistory::AddPlacedCall(const TOCALL& record) {
    if (!Place(record, false)) {
        TOCALL named = record;
        if (named.Name.isEmpty()) named.Name = QStringLiteral("Unknown");
        Place(named, true);
    }
    SaveOutgoingHistory();
}

bool TOutgoingHistory::SaveOutgoingHistory() const {
    if (!m_writable) return false;  // the file there could not be read: it stays as it is
    QByteArray contents;
    Walk(m_root.get(), [&](TOutgoingNode* node) {
        if (node->Call) contents += node->Call->ToBytes();
        return true;
    });
    return RewriteFile(FileName(), contents);
}

TOutgoingNode* TOutgoingHistory::Delete(TOutgoingNode* node) {
    if (!node) return m_root.get();
    if (node == m_root.get() || !node->Parent) {
        Reset();
        return m_root.get();
    }
    TOutgoingNode* parent = node->Parent;
    ++m_revision;
    if (m_names.value(node->Text) == node) m_names.remove(node->Text);
    std::erase_if(parent->Children, [node](const auto& child) { return child.get() == node; });
    return m_root->Children.empty() ? m_root.get() : parent;
}

QList<TOCALL*> TOutgoingHistory::CallsUnder(TOutgoingNode* node) {
    QList<TOCALL*> calls;
    if (!node) return calls;
    Walk(node, [&](TOutgoingNode* current) {
        if (current->Call) calls << current->Call.get();
        return true;
    });
    return calls;
}

QStringList TOutgoingHistory::RowTexts(const TOCALL& call) {
    const bool timed = call.StartTime != 0 && call.EndTime != 0;
    return {call.Name,
            call.NumberToDial,
            call.ToPager,
            DayCountText(call.When),
            timed                 ? ElapsedText(call.EndTime - call.StartTime)
            : call.StartTime == 0 ? QStringLiteral("Not connected")
                                  : QStringLiteral("0"),
            DollarText(call.CostFirst + call.CostMore)};
}

void TOutgoingHistory::Sort(QList<TOCALL*>& calls, int column, bool ascending) {
    auto less = [column](const TOCALL* a, const TOCALL* b) {
        switch (column) {
            case 0:
                return QString::localeAwareCompare(a->Name, b->Name) < 0;
            case 1:
                return QString::localeAwareCompare(a->NumberToDial, b->NumberToDial) < 0;
            case 2:
                return QString::localeAwareCompare(a->ToPager, b->ToPager) < 0;
            case 3:
                return a->When < b->When;
            default:
                return false;  // Length and Cost compare as equal
        }
    };
    std::stable_sort(calls.begin(), calls.end(), [&](const TOCALL* a, const TOCALL* b) {
        return ascending ? less(a, b) : less(b, a);
    });
}
