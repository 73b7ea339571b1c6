#pragma once

#include "fiscal/ConsisteFiscalContract.h"
#include "protocol/DeltaData.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kvr::server {

class Catalog;
struct TaxInfo;

// Checks the calls' arguments and rule values against the code domains the
// screens offer and the rules of changing stored rules. Each problem*()
// returns an empty text for a valid value, otherwise a Portuguese
// explanation; each check*() throws its first problem as a validation error
// (a conflict error for a rule changed by another user).
class RuleValidator final
{
public:
    // Most rules a cadAutoAtualiza list may name and most changes a delta may
    // carry: each call is one writer transaction that every other writer
    // waits for (server/README.md says why these figures).
    static constexpr qsizetype MaxListRules = 20000;
    static constexpr qsizetype MaxDeltaChanges = 20000;

    explicit RuleValidator(Catalog &catalog) : m_catalog(catalog) {}

    // Normalises a row (an empty fiscal code or sign becomes "0") and throws
    // a validation error for the first faulty value. A row written by a user
    // must not be predefined.
    void check(QStringList &row, bool userRule = true);

    QString problemCfop(const QString &cfop);
    static QString problemCfopCode(const QString &cfop);
    static QString problemCst(const TaxInfo &tax, const QString &cst);
    static QString problemFiscal(const QString &value);
    static QString problemSign(const QString &label, const QString &value);
    static QString problemYesNo(const QString &label, const QString &value);
    static QString problemBlocked(const QString &value);
    static QString problemDirection(const QString &value);
    static QString problemFirstDigit(const QString &value);
    static QString problemRuleNumber(const QString &number);

    // "" and "0" both stand for any value of the fiscal code and the signs.
    static QString anyAsZero(const QString &value);
    // A rule that restricts nothing: no CFOP, CST or first digit, and fiscal
    // code and signs all any.
    static bool isEmptyRule(const QStringList &row);
    static QString emptyRuleMessage();

    static void checkRuleNumber(const QString &number);
    static void checkCfopCode(const QString &cfop);
    // "T" asks for every tax; "" for the tax given, which must be well formed.
    static void checkTaxFilter(const QString &tax, const QString &filter);
    static void checkDuplicateQuery(const fiscal::VdConsistencias &args);
    // `other` is the number of a rule with the same duplicate key, or "".
    static void checkNoDuplicate(const QString &number, const QString &other);

    // Size and operations of a delta, before it is read in full.
    static void checkDelta(const protocol::DeltaData &delta);
    // The stored rule an update or delete names must still be as loaded
    // (`old`) and may not be predefined.
    static void checkUnchanged(const QStringList &old, const std::optional<QStringList> &current);
    // An updated row keeps its number and tax, then passes check().
    void checkUpdate(const QStringList &old, QStringList &row);

    // The range or list a cadAutoAtualiza picks; returns the list's rule
    // numbers, each once, in the order given (empty for a range).
    static QStringList checkPicked(const fiscal::CadAutoAtualiza &args);
    void checkChanges(const TaxInfo &tax, const fiscal::CadAutoAtualiza &args);
    // A picked rule must be one of the call's tax.
    static void checkFound(const QString &number, const QString &tax, bool found);

    // The ranges and values of a cadAutoInsere; `blueprint` is the rule it
    // would create for every combination, which must restrict something when
    // no range is given.
    void checkGeneration(const TaxInfo &tax, const fiscal::CadAutoInsere &args,
                         const QStringList &blueprint);

private:
    Catalog &m_catalog;
};

} // namespace kvr::server
