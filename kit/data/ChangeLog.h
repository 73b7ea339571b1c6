#pragma once

#include <QString>

#include <vector>

// The changes made to a dataset's rows since they were loaded, at most one
// per row: an update or a delete keeps the row as loaded, an insert keeps
// nothing. A row refers to its change by index, -1 when it has none. Rows are
// opaque texts here; the dataset turns the log into a delta.
class ChangeLog final
{
public:
    enum class Op { None, Update, Delete, Insert };
    struct Change
    {
        Op op = Op::None;
        QString old; // the row as loaded (update, delete)
    };

    int count() const { return m_count; }
    void clear();

    // A row was posted: `held` is its text before the post, `posted` after.
    // A loaded row posted back to what was loaded has no change left.
    void posted(int &change, bool inserted, const QString &held, const QString &posted);
    // A row was deleted: an insert is forgotten, an update becomes a delete
    // of the row as loaded.
    void deleted(int &change, const QString &held);

    // In the order first made; dropped ones stay as Op::None.
    const std::vector<Change> &changes() const { return m_changes; }

private:
    void add(int &change, Op op, const QString &old);
    void drop(int &change);

    std::vector<Change> m_changes;
    int m_count = 0;
};
