#include "protocol/LineFramer.h"

#include <gtest/gtest.h>

using kvr::protocol::LineFramer;

namespace {

QList<QByteArray> drain(LineFramer &framer)
{
    QList<QByteArray> out;
    while (framer.hasMessage())
        out.append(framer.takeMessage());
    return out;
}

// Feeds `stream` in chunks of `chunk` bytes and collects every message.
QList<QByteArray> feedInChunks(const QByteArray &stream, qsizetype chunk)
{
    LineFramer framer;
    QList<QByteArray> out;
    for (qsizetype at = 0; at < stream.size(); at += chunk) {
        EXPECT_TRUE(framer.feed(stream.mid(at, chunk)));
        out += drain(framer);
    }
    return out;
}

} // namespace

class SplitChunks : public ::testing::TestWithParam<qsizetype>
{
};

TEST_P(SplitChunks, MessagesComeOutWholeWhateverTheChunking)
{
    const QList<QByteArray> messages = {R"({"a":1})", R"({"texto":"linha\nquebrada"})",
                                        QByteArray(1000, 'x'), R"([])"};
    QByteArray stream;
    for (const QByteArray &m : messages)
        stream += LineFramer::frame(m);
    EXPECT_EQ(feedInChunks(stream, GetParam()), messages);
}

INSTANTIATE_TEST_SUITE_P(ChunkSizes, SplitChunks,
                         ::testing::Values(1, 2, 3, 7, 64, 999, 1000, 1001, 100000));

TEST(LineFramer, JoinedMessagesInOneChunkAreSeparated)
{
    LineFramer framer;
    EXPECT_TRUE(framer.feed("one\ntwo\nthr"));
    EXPECT_EQ(drain(framer), (QList<QByteArray>{"one", "two"}));
    EXPECT_EQ(framer.pendingBytes(), 3);
    EXPECT_TRUE(framer.feed("ee\n"));
    EXPECT_EQ(drain(framer), QList<QByteArray>{"three"});
    EXPECT_EQ(framer.pendingBytes(), 0);
}

TEST(LineFramer, CarriageReturnsAndBlankLinesAreDropped)
{
    LineFramer framer;
    EXPECT_TRUE(framer.feed("a\r\n\n   \nb\n"));
    EXPECT_EQ(drain(framer), (QList<QByteArray>{"a", "b"}));
}

TEST(LineFramer, TakeFromAnEmptyFramerGivesNothing)
{
    LineFramer framer;
    EXPECT_FALSE(framer.hasMessage());
    EXPECT_TRUE(framer.takeMessage().isEmpty());
}

struct LimitCase
{
    qsizetype limit;
    QList<QByteArray> chunks;
    bool accepted;
};

class Limits : public ::testing::TestWithParam<LimitCase>
{
};

TEST_P(Limits, MessagesOverTheLimitAreRefused)
{
    const LimitCase &c = GetParam();
    LineFramer framer(c.limit);
    bool ok = true;
    for (const QByteArray &chunk : c.chunks)
        ok = framer.feed(chunk) && ok;
    EXPECT_EQ(ok, c.accepted);
    EXPECT_EQ(framer.oversized(), !c.accepted);
    if (!c.accepted) {
        EXPECT_FALSE(framer.feed("{}\n")) << "an oversized stream stays refused";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Limits,
    ::testing::Values(LimitCase{10, {QByteArray(10, 'x') + '\n'}, true},
                      LimitCase{10, {QByteArray(11, 'x') + '\n'}, false},
                      LimitCase{10, {QByteArray(11, 'x')}, false},
                      LimitCase{10, {QByteArray(6, 'x'), QByteArray(6, 'x')}, false},
                      LimitCase{10, {QByteArray(6, 'x'), QByteArray(4, 'x') + '\n'}, true},
                      LimitCase{10, {"short\n" + QByteArray(11, 'x') + "\n"}, false},
                      LimitCase{10, {"a\nb\nc\nd\ne\nf\ng\nh\n"}, true}));

TEST(LineFramer, FrameAppendsOneNewline)
{
    EXPECT_EQ(LineFramer::frame("{}"), QByteArray("{}\n"));
}
