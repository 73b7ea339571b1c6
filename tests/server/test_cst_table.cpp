#include "fiscal/CstTable.h"

#include <QMap>
#include <QSet>

#include <gtest/gtest.h>

using kvr::fiscal::CstTable;

namespace {

QMap<QString, QString> textsOf(const QString &family)
{
    QMap<QString, QString> texts;
    for (const CstTable::Entry &e : CstTable::entries())
        if (e.family == family)
            texts.insert(e.code, e.text);
    return texts;
}

struct FamilyCase
{
    const char *nfeCode;
    const char *prefix;
    int count;
    const char *first;
    const char *last;
};

class Families : public ::testing::TestWithParam<FamilyCase>
{
};

} // namespace

TEST_P(Families, EachFamilyHoldsItsCsts)
{
    const FamilyCase &c = GetParam();
    bool found = false;
    for (const CstTable::Family &f : CstTable::families())
        if (f.nfeCode == QLatin1String(c.nfeCode)) {
            EXPECT_EQ(f.prefix, QLatin1String(c.prefix));
            found = true;
        }
    EXPECT_TRUE(found);
    const QMap<QString, QString> texts = textsOf(QString::fromLatin1(c.prefix));
    EXPECT_EQ(texts.size(), c.count);
    EXPECT_EQ(texts.firstKey(), QLatin1String(c.first));
    EXPECT_EQ(texts.lastKey(), QLatin1String(c.last));
    for (auto it = texts.cbegin(); it != texts.cend(); ++it)
        EXPECT_TRUE(it.value().startsWith(it.key() + QStringLiteral(" - ")))
            << it.value().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, Families,
                         ::testing::Values(FamilyCase{"00", "ICMS", 11, "00", "90"},
                                           FamilyCase{"10", "IPI", 14, "00", "99"},
                                           FamilyCase{"50", "PIS", 33, "01", "99"},
                                           FamilyCase{"60", "COF", 33, "01", "99"}));

TEST(CstTable, NinetyOneCstsWithoutRepeats)
{
    QSet<QString> keys;
    for (const CstTable::Entry &e : CstTable::entries())
        keys.insert(e.family + e.code);
    EXPECT_EQ(CstTable::entries().size(), 91);
    EXPECT_EQ(keys.size(), 91);
}

TEST(CstTable, CofinsDiffersFromPisInFourTexts)
{
    const QMap<QString, QString> pis = textsOf(QStringLiteral("PIS"));
    const QMap<QString, QString> cof = textsOf(QStringLiteral("COF"));
    ASSERT_EQ(pis.keys(), cof.keys());
    QStringList different;
    for (const QString &code : pis.keys())
        if (pis.value(code) != cof.value(code))
            different.append(code);
    EXPECT_EQ(different, (QStringList{QStringLiteral("02"), QStringLiteral("04"),
                                      QStringLiteral("05"), QStringLiteral("09")}));
    EXPECT_TRUE(cof.value(QStringLiteral("05")).endsWith(QLatin1Char(' ')));
    EXPECT_EQ(cof.value(QStringLiteral("05")).trimmed(), pis.value(QStringLiteral("05")));
}

TEST(CstTable, TextsKeepTheirExactSpelling)
{
    const QMap<QString, QString> icms = textsOf(QStringLiteral("ICMS"));
    EXPECT_TRUE(
        icms.value(QStringLiteral("60")).contains(QStringLiteral("substituição  tributária.")));
    EXPECT_TRUE(icms.value(QStringLiteral("51")).contains(QStringLiteral("`a critério")));
    EXPECT_EQ(textsOf(QStringLiteral("IPI")).value(QStringLiteral("99")),
              QStringLiteral("99 - Outras saídas"));
}
