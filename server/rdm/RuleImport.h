#pragma once

#include <QJsonObject>
#include <QString>

namespace kvr::server {

class Storage;

// importaConsistencias: rules read from a spreadsheet become new rules of one
// tax, all of them or none. Every row passes the checks of a single change
// (RuleValidator: code domains, CFOP known, CST of the tax's family, not
// predefined) and may not repeat a stored rule or another row; the refusal
// names every faulty row ("Linha N: motivo") so the user can mend the file in
// one go. The packet holds rule record fields by name, in any order, and
// optionally NRLINHA, the file line each row came from (else its position
// from 1); CDIMPOSTO and NRSEQCONSISTE are not read: the rules join the tax
// named by the call, with new numbers.
class RuleImport final
{
public:
    // Most rows one import may carry: one writer transaction, as a delta.
    static constexpr qsizetype MaxRows = 20000;
    static QString lineField() { return QStringLiteral("NRLINHA"); }

    explicit RuleImport(Storage &storage) : m_storage(storage) {}

    // Stores the rules and returns how many; throws AppError otherwise.
    qint64 run(const QString &tax, const QJsonObject &packet);

private:
    Storage &m_storage;
};

} // namespace kvr::server
