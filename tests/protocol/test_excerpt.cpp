#include "protocol/Excerpt.h"

#include <gtest/gtest.h>

using kvr::protocol::excerpt;

TEST(Excerpt, QuotesShortTextsWholeAndCutsLongOnesOnACharacter)
{
    const QString emoji = QString::fromUtf8("\xf0\x9f\x98\x80"); // two UTF-16 units
    const QString ellipsis(QChar(0x2026));
    const struct
    {
        QString text;
        qsizetype limit;
        QString expected;
    } cases[] = {
        {QString(), 4, QString()},
        {QStringLiteral("abcd"), 4, QStringLiteral("abcd")},
        {QStringLiteral("abcde"), 4, QStringLiteral("abcd") + ellipsis},
        {QStringLiteral("abc") + emoji, 4, QStringLiteral("abc") + emoji},
        {QStringLiteral("abc") + emoji + emoji, 4, QStringLiteral("abc") + emoji + ellipsis},
        {QStringLiteral("ab") + emoji + QStringLiteral("c"), 4,
         QStringLiteral("ab") + emoji + QStringLiteral("c")},
        {QStringLiteral("ab") + emoji + QStringLiteral("cd"), 4,
         QStringLiteral("ab") + emoji + QStringLiteral("c") + ellipsis},
        {QStringLiteral("x").repeated(1000000), kvr::protocol::ExcerptLimit,
         QStringLiteral("x").repeated(kvr::protocol::ExcerptLimit) + ellipsis},
    };
    for (const auto &c : cases)
        EXPECT_EQ(excerpt(c.text, c.limit), c.expected) << c.text.left(10).toStdString();
}
