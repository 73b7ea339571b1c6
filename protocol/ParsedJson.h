#pragma once

// Internal to protocol/: the strict parser's document, shared by the packet
// and delta handles and the request and reply readers. Included only by
// protocol's own sources, so that nobody else compiles the parser's large
// header.
#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <simdjson.h>

#include <memory>

namespace kvr::protocol::detail {

// A text parsed once; elements taken from `root` stay valid while it lives.
// Only the document is kept: the parser's own buffers, nearly a third of
// the memory a parse takes, go once the text is read.
struct ParsedJson
{
    simdjson::dom::document document;
    simdjson::dom::element root;
};

// A value inside a parsed text, keeping the parse alive: a reply's packet, a
// request's arguments or delta argument, or the whole text.
struct PacketPart
{
    std::shared_ptr<ParsedJson> document;
    simdjson::dom::element element;
};

// Parses `text` strictly (RFC 8259, UTF-8, at most `maxDepth` nested arrays
// and objects); nullptr and `problem` when it is not JSON.
std::shared_ptr<ParsedJson> parseJson(const QByteArray &text, QString &problem,
                                      std::size_t maxDepth = simdjson::DEFAULT_MAX_DEPTH);

// The whole of `text` as a part, when it is strict JSON and an object;
// nullptr and `problem` (`notObject` for another value) otherwise.
std::shared_ptr<const PacketPart> parseObject(const QByteArray &text, QString &problem,
                                              const QString &notObject);

QString toQString(std::string_view utf8);
// Characters (code points) of a valid UTF-8 text.
qsizetype utf8Characters(std::string_view utf8);
// Writes valid UTF-8 as UTF-16 at `out`; returns the end. `out` must hold
// utf8.size() units.
char16_t *utf8ToUtf16(std::string_view utf8, char16_t *out);
QJsonValue toQJsonValue(simdjson::dom::element element);

} // namespace kvr::protocol::detail
