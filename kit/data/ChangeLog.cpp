#include "kit/data/ChangeLog.h"

void ChangeLog::clear()
{
    m_changes.clear();
    m_count = 0;
}

void ChangeLog::posted(int &change, bool inserted, const QString &held, const QString &posted)
{
    if (change < 0) {
        if (inserted)
            add(change, Op::Insert, QString());
        else if (posted != held)
            add(change, Op::Update, held);
        return;
    }
    const Change &c = m_changes[size_t(change)];
    if (c.op == Op::Update && c.old == posted)
        drop(change);
}

void ChangeLog::deleted(int &change, const QString &held)
{
    if (change < 0)
        add(change, Op::Delete, held);
    else if (m_changes[size_t(change)].op == Op::Insert)
        drop(change);
    else
        m_changes[size_t(change)].op = Op::Delete; // old stays as loaded
}

void ChangeLog::add(int &change, Op op, const QString &old)
{
    m_changes.push_back(Change{op, old});
    change = int(m_changes.size()) - 1;
    ++m_count;
}

void ChangeLog::drop(int &change)
{
    m_changes[size_t(change)].op = Op::None;
    change = -1;
    --m_count;
}
