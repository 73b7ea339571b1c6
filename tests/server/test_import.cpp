#include "tests/server/ServerTest.h"

using namespace kvr::test;
using kvr::protocol::RpcError;
using kvr::protocol::RpcResponse;

namespace {

const QStringList Fields = {"NRLINHA",        "IDCONSATIVA",    "IDENTRSAIDOP",    "CDFISCOPER",
                            "CDCST1DIGT",     "CDSITUTRIB",     "CDFISCAL",        "IDTPBASECALC",
                            "IDTPALIQUOTA",   "IDTPVRIMPOSTO",  "CDTPCREDPICOITE", "DSCONSISTENCIA",
                            "IDCONSISTELANC", "IDCONSISTEAPRO", "IDBLOQADMI",      "IDCONSPREDEFI"};

// A spreadsheet row in Fields order: file line, CFOP, CST, fiscal code, and
// the flags a row may get wrong.
QStringList row(int line, const QString &cfop, const QString &cst, const QString &fiscal,
                const QString &blocked = QStringLiteral("B"),
                const QString &predefined = QStringLiteral("N"))
{
    return {QString::number(line), "S", "E", cfop,    "0",       cst, fiscal, "1", "0", "3", "",
            "Importada " + cfop,   "S", "N", blocked, predefined};
}

QJsonObject packet(const QList<QStringList> &rows)
{
    QJsonArray fields, values;
    for (const QString &name : Fields)
        fields.append(QJsonObject{{"name", name}, {"size", 250}});
    for (const QStringList &r : rows)
        values.append(QJsonArray::fromStringList(r));
    return {{"fields", fields}, {"rows", values}};
}

class Import : public ServerTest
{
};

} // namespace

// One faulty row refuses the whole file and every faulty row is named; the
// sound rows alone are stored as new rules of the tax.
TEST_P(Import, AFaultyRowRefusesTheWholeFileNamingEveryFaultyLine)
{
    const struct
    {
        QList<QStringList> rows;
        const char *says;
    } cases[] = {
        {{row(3, "9999", "00", "1")}, "Linha 3: CFOP não cadastrado: 9999."},
        {{row(3, "1102", "05", "1")}, "Linha 3: CST inválido: \"05\" não é um CST do imposto 01."},
        {{row(3, "5102", "40", "1")}, "Linha 3: Consistência Fiscal já cadastrada: a consistência"},
        {{row(3, "1102", "00", "3")},
         "Linha 3: Consistência Fiscal já cadastrada: a linha 2 tem o mesmo CFOP"},
        {{row(3, "1102", "10", "1", "B", "S")},
         "Linha 3: Uma consistência predefinida não pode ser gravada"},
        {{row(3, "1102", "10", "1", "X")}, "Linha 3: Indicador bloqueado/admitido inválido"},
        {{{"3", "S", "T", "", "", "", "0", "0", "0", "0", "", "", "S", "S", "B", "N"}},
         "Linha 3: A consistência deve ter no mínimo um campo preenchido"},
        {{row(3, "9999", "00", "1"), row(4, "5102", "99", "1")},
         "Nenhuma consistência foi importada: 2 linhas foram recusadas.\nLinha 3: CFOP não "
         "cadastrado: 9999.\nLinha 4: CST inválido"},
    };
    const auto import = [this](const QString &tax, const QList<QStringList> &rows) {
        return call(QStringLiteral("importaConsistencias"), {tax, packet(rows)});
    };
    const qint64 before = ruleCount();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.says);
        const auto response = import("01", QList<QStringList>{row(2, "1102", "00", "3")} + c.rows);
        ASSERT_FALSE(response.ok);
        EXPECT_EQ(response.fault.code, RpcError::Validation);
        EXPECT_TRUE(response.fault.message.contains(QString::fromUtf8(c.says)))
            << response.fault.message.toStdString();
        EXPECT_FALSE(response.fault.message.contains("Linha 2:"));
        EXPECT_EQ(ruleCount(), before);
    }
    EXPECT_FALSE(import(QStringLiteral("99"), {row(2, "1102", "00", "3")}).ok);
    const auto stored = import("01", {row(2, "1102", "00", "3"), row(3, "", "10", "0", "A")});
    ASSERT_TRUE(stored.ok) << stored.fault.message.toStdString();
    EXPECT_EQ(stored.result.toObject().value("affected").toInt(), 2);
    const QStringList last = rules(QStringLiteral("01")).rows.back();
    EXPECT_EQ(field(last, "CDIMPOSTO") + field(last, "CDSITUTRIB") + field(last, "IDBLOQADMI") +
                  field(last, "IDCONSISTEAPRO") + field(last, "DSCONSISTENCIA"),
              "0110ANImportada ");
    EXPECT_EQ(ruleCount(), before + 2);
}

KVR_ON_BOTH_BACKENDS(Import);
