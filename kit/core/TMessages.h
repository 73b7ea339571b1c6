#pragma once

#include "kit/KvrKitExport.h"

#include <QHash>
#include <QObject>
#include <QStringList>

// Keyed message table: lines "KEY|text". Msg() of a key the table does not
// hold is an empty text, never an error (callers probe keys).
class KVRKIT_EXPORT TMessages : public QObject
{
    Q_OBJECT
public:
    explicit TMessages(QObject *parent = nullptr) : QObject(parent) {}

    QStringList Messages() const { return m_lines; }
    void SetMessages(const QStringList &lines);
    QString Msg(const QString &key) const { return m_texts.value(key); }
    int Count() const { return m_texts.size(); }

private:
    QStringList m_lines;
    QHash<QString, QString> m_texts;
};
