// Client dataset with a large rule packet: load, filter on/off, post an edit,
// memory per row, and the load time against parsing the same packet into
// plain structs (target: at most 1.5 times); from the wire text, also as the
// connection hands a packet over (parsed by the strict parser).
#include "fiscal/RuleRecord.h"
#include "kit/data/TClientDataSet.h"
#include "protocol/PacketData.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>

#include <malloc.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRows = 100000;

const QList<kvr::protocol::PacketField> &kFields = kvr::fiscal::RuleRecord::fields();

QVariantMap makePacket()
{
    QVariantList fields;
    for (const auto &f : kFields)
        fields.append(QVariantMap{{"name", f.name}, {"size", f.size}});
    QVariantList rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        const QString n = QString::number(i + 1).rightJustified(10, u'0');
        rows.append(QVariant(QVariantList{
            QString(), QStringLiteral("01"), i % 7 ? QStringLiteral("S") : QStringLiteral("N"), n,
            QStringLiteral("E"), QString::number(5101 + i % 900), QString::number(i % 9),
            QStringLiteral("00"), QString::number(i % 3 + 1), QStringLiteral("0"),
            QStringLiteral("1"), QStringLiteral("2"), QString(),
            QString(QStringLiteral("Consistência gerada número ") + n), QStringLiteral("S"),
            QStringLiteral("N"), i % 3 ? QStringLiteral("B") : QStringLiteral("A"),
            i % 11 ? QStringLiteral("N") : QStringLiteral("S")}));
    }
    return {{"fields", fields}, {"rows", rows}};
}

// The baseline: the same packet into plain structs, with the same checks.
struct RuleRow
{
    QString IDMARCADO, CDIMPOSTO, IDCONSATIVA, NRSEQCONSISTE, IDENTRSAIDOP, CDFISCOPER, CDCST1DIGT,
        CDSITUTRIB, CDFISCAL, IDTPBASECALC, IDTPALIQUOTA, IDTPVRIMPOSTO, CDTPCREDPICOITE,
        DSCONSISTENCIA, IDCONSISTELANC, IDCONSISTEAPRO, IDBLOQADMI, IDCONSPREDEFI;
};

std::vector<RuleRow> parseStructs(const QVariantMap &packet)
{
    const QVariantList fields = packet.value("fields").toList();
    std::array<int, 18> column{};
    for (qsizetype f = 0; f < kFields.size(); ++f)
        for (int c = 0; c < fields.size(); ++c)
            if (fields[c].toMap().value("name").toString() == kFields[f].name)
                column[f] = c;
    const QVariantList rows = packet.value("rows").toList();
    std::vector<RuleRow> out;
    out.reserve(size_t(rows.size()));
    for (const QVariant &item : rows) {
        const QVariantList values = item.toList();
        if (values.size() != fields.size())
            std::abort();
        QString v[18];
        for (size_t f = 0; f < 18; ++f) {
            v[f] = values[column[f]].toString();
            if (v[f].size() > kFields[f].size)
                std::abort();
        }
        out.push_back(RuleRow{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10],
                              v[11], v[12], v[13], v[14], v[15], v[16], v[17]});
    }
    return out;
}

void declare(TClientDataSet &ds)
{
    for (const auto &f : kFields)
        ds.AddField(f.name, f.size);
}

double ms(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e6;
}

// Best of a few runs, so that a busy machine distorts less.
double best(int runs, const std::function<void()> &work)
{
    double m = 1e300;
    for (int i = 0; i < runs; ++i)
        m = std::min(m, ms(work));
    return m;
}

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QVariantMap packet = makePacket();
    const QByteArray wire =
        QJsonDocument(QJsonObject::fromVariantMap(packet)).toJson(QJsonDocument::Compact);
    std::printf("packet: %d rows x %lld fields, %.1f MiB on the wire\n", kRows,
                static_cast<long long>(kFields.size()), double(wire.size()) / (1024.0 * 1024.0));

    const int runs = 5;
    const double structMs = best(runs, [&] {
        const auto rows = parseStructs(packet);
        if (rows.size() != size_t(kRows))
            std::abort();
    });
    const double loadMs = best(runs, [&] {
        TClientDataSet ds;
        declare(ds);
        ds.SetData(packet);
        if (ds.RecordCount() != kRows)
            std::abort();
    });

    // From the wire text, as a screen receives it.
    const double structWireMs = best(3, [&] {
        const QVariantMap p = QJsonDocument::fromJson(wire).object().toVariantMap();
        const auto rows = parseStructs(p);
    });
    const double loadWireMs = best(3, [&] {
        const QVariantMap p = QJsonDocument::fromJson(wire).object().toVariantMap();
        TClientDataSet ds;
        declare(ds);
        ds.SetData(p);
    });

    // The same text handed over as a JSON object, without the variant map.
    const double loadJsonMs = best(3, [&] {
        TClientDataSet ds;
        declare(ds);
        ds.SetData(QJsonDocument::fromJson(wire).object());
    });

    // The same text as the connection hands it over: parsed by the strict
    // parser, read by the dataset with no Qt JSON in between.
    const double loadParsedMs = best(3, [&] {
        const auto parsed = kvr::protocol::PacketData::fromJson(wire);
        TClientDataSet ds;
        declare(ds);
        ds.SetData(QVariant::fromValue(parsed));
        if (ds.RecordCount() != kRows)
            std::abort();
    });

    // Memory: heap taken by the loaded rows (the packet itself stays alive).
    size_t before = heapInUse();
    size_t structBytes = 0;
    {
        const auto rows = parseStructs(packet);
        structBytes = heapInUse() - before;
    }
    before = heapInUse();
    TClientDataSet ds;
    declare(ds);
    ds.SetData(packet);
    const size_t dataSetBytes = heapInUse() - before;

    ds.SetFilter("IDBLOQADMI = 'B'");
    const double filterOnMs = ms([&] { ds.SetFiltered(true); });
    const int visible = ds.RecordCount();
    const double filterOffMs = ms([&] { ds.SetFiltered(false); });

    ds.SetRecNo(kRows / 2);
    const double postMs = ms([&] {
        ds.Edit();
        ds.FieldByName("DSCONSISTENCIA")->SetAsString("alterada");
        ds.FieldByName("CDFISCAL")->SetAsString("2");
        ds.Post();
    });
    const double deltaMs = ms([&] {
        if (ds.Delta().toMap().value("changes").toList().size() != 1)
            std::abort();
    });

    std::printf("parse into structs:      %8.1f ms\n", structMs);
    std::printf("load into the dataset:   %8.1f ms   ratio %.2f (target <= 1.50)\n", loadMs,
                loadMs / structMs);
    std::printf("from wire text, structs: %8.1f ms\n", structWireMs);
    std::printf("from wire text, dataset: %8.1f ms   ratio %.2f\n", loadWireMs,
                loadWireMs / structWireMs);
    std::printf("from wire text, dataset fed the JSON object: %6.1f ms   ratio %.2f\n", loadJsonMs,
                loadJsonMs / structWireMs);
    std::printf("from wire text, dataset fed the parsed packet: %6.1f ms   ratio %.2f\n",
                loadParsedMs, loadParsedMs / structWireMs);
    std::printf("filter IDBLOQADMI = 'B' on: %6.2f ms (%d of %d rows visible)\n", filterOnMs,
                visible, kRows);
    std::printf("filter off:              %8.2f ms\n", filterOffMs);
    std::printf("post an edit:            %8.3f ms\n", postMs);
    std::printf("delta of one change:     %8.3f ms\n", deltaMs);
    std::printf("memory per row: dataset %.0f bytes, plain structs %.0f bytes (sharing the "
                "packet's strings)\n",
                double(dataSetBytes) / kRows, double(structBytes) / kRows);
    return 0;
}
