#pragma once

#include <QString>
#include <QStringList>

namespace kvr::server {

class Catalog;
struct TaxInfo;

// Checks rule values against the code domains the screens offer. Each
// problem*() returns an empty text for a valid value, otherwise a Portuguese
// explanation; check() throws the first problem of a whole row.
class RuleValidator final
{
public:
    explicit RuleValidator(Catalog &catalog) : m_catalog(catalog) {}

    // Normalises a row (an empty fiscal code or sign becomes "0") and throws
    // a validation error for the first faulty value. A row written by a user
    // must not be predefined.
    void check(QStringList &row, bool userRule = true);

    QString problemCfop(const QString &cfop);
    static QString problemCst(const TaxInfo &tax, const QString &cst);
    static QString problemFiscal(const QString &value);
    static QString problemSign(const QString &label, const QString &value);
    static QString problemYesNo(const QString &label, const QString &value);
    static QString problemBlocked(const QString &value);
    static QString problemDirection(const QString &value);
    static QString problemFirstDigit(const QString &value);

    // "" and "0" both stand for any value of the fiscal code and the signs.
    static QString anyAsZero(const QString &value);
    // A rule that restricts nothing: no CFOP, CST or first digit, and fiscal
    // code and signs all any.
    static bool isEmptyRule(const QStringList &row);
    static QString emptyRuleMessage();

private:
    Catalog &m_catalog;
};

} // namespace kvr::server
