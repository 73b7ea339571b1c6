#include "server/seed/Seeder.h"

#include "fiscal/CstTable.h"
#include "server/common/AppError.h"
#include "server/rdm/RuleRecord.h"
#include "server/rdm/RuleRepository.h"
#include "server/storage/Storage.h"
#include "server/storage/WriteTransaction.h"

#include <QFile>

#include <algorithm>

// The embedded CFOP table lives in this static library; make sure it is linked in.
static void initSeedResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace kvr::server {

namespace {

struct Tax
{
    const char *code;
    const char *abbreviation;
    const char *name;
    const char *nfeCode;
};

// ISS has an NF-e code outside the four CST families: its rules have no CST.
const Tax taxes[] = {
    {"01", "ICMS", "Imposto s/ Circ. Mercadorias", "00"},
    {"02", "IPI", "Imposto s/ Prod. Industrializ.", "10"},
    {"03", "ISS", "Imposto sobre Serviços", "99"},
    {"50", "PIS", "Programa de Integração Social", "50"},
    {"60", "COFINS", "Contrib. Financ. Seg. Social", "60"},
};

// Tax, direction, CFOP, CST, fiscal code, base sign, rate sign, value sign,
// credit type, description, at entry, at approval, blocked/admitted, predefined.
struct ExampleRule
{
    const char *values[14];
};

const ExampleRule examples[] = {
    {{"01", "S", "5102", "40", "1", "0", "0", "3", "", "Venda isenta não gera crédito de ICMS", "S",
      "S", "B", "S"}},
    {{"01", "E", "1102", "00", "2", "0", "2", "0", "", "Compra tributada com alíquota zero", "S",
      "N", "B", "N"}},
    {{"01", "S", "5405", "60", "0", "0", "0", "0", "", "Venda de mercadoria com ST retida", "S",
      "S", "A", "N"}},
    {{"01", "T", "", "90", "3", "1", "0", "0", "", "Outras operações com base negativa", "N", "S",
      "B", "N"}},
    {{"02", "S", "5101", "50", "1", "0", "2", "0", "", "Saída tributada sem alíquota", "S", "S",
      "B", "S"}},
    {{"02", "E", "1101", "00", "2", "0", "0", "0", "", "Entrada com crédito sem direito", "S", "N",
      "B", "N"}},
    {{"02", "S", "5102", "53", "0", "0", "0", "0", "", "Saída não tributada de revenda", "N", "S",
      "A", "N"}},
    {{"03", "S", "5933", "", "1", "0", "2", "0", "", "Serviço tributado sem alíquota", "S", "S",
      "B", "S"}},
    {{"03", "E", "1933", "", "0", "0", "0", "1", "", "Serviço tomado com imposto negativo", "S",
      "N", "B", "N"}},
    {{"03", "T", "", "", "2", "0", "3", "0", "", "Isento com alíquota informada", "N", "S", "A",
      "N"}},
    {{"50", "S", "5102", "01", "0", "0", "2", "0", "", "Operação tributável sem alíquota", "S", "S",
      "B", "S"}},
    {{"50", "E", "1102", "50", "0", "0", "0", "0", "101", "Crédito vinculado à receita tributada",
      "S", "N", "B", "N"}},
    {{"50", "S", "5949", "49", "3", "0", "0", "0", "", "Outras saídas", "N", "S", "A", "N"}},
    {{"60", "S", "5102", "01", "0", "0", "2", "0", "", "Operação tributável sem alíquota", "S", "S",
      "B", "S"}},
    {{"60", "E", "1102", "50", "0", "0", "0", "0", "101", "Crédito vinculado à receita tributada",
      "S", "N", "B", "N"}},
    {{"60", "S", "5949", "49", "3", "0", "0", "0", "", "Outras saídas", "N", "S", "A", "N"}},
};

QString text(const char *value)
{
    return QString::fromUtf8(value);
}

void seedTaxes(Storage &storage)
{
    QSqlQuery &insert = storage.prepared(QStringLiteral(
        "INSERT INTO imposto (cdimposto, sgimposto, nmimposto, cdimpostonfe) VALUES (?, ?, ?, ?)"));
    for (const Tax &tax : taxes) {
        insert.bindValue(0, text(tax.code));
        insert.bindValue(1, text(tax.abbreviation));
        insert.bindValue(2, text(tax.name));
        insert.bindValue(3, text(tax.nfeCode));
        storage.run(insert);
    }
}

void seedCsts(Storage &storage)
{
    QSqlQuery &family = storage.prepared(
        QStringLiteral("INSERT INTO cst_familia (cdimpostonfe, familia) VALUES (?, ?)"));
    for (const fiscal::CstTable::Family &f : fiscal::CstTable::families()) {
        family.bindValue(0, Storage::text(f.nfeCode));
        family.bindValue(1, Storage::text(f.prefix));
        storage.run(family);
    }
    QSqlQuery &cst = storage.prepared(
        QStringLiteral("INSERT INTO cst (familia, cdsitutrib, dscst) VALUES (?, ?, ?)"));
    for (const fiscal::CstTable::Entry &e : fiscal::CstTable::entries()) {
        cst.bindValue(0, Storage::text(e.family));
        cst.bindValue(1, Storage::text(e.code));
        cst.bindValue(2, Storage::text(e.text));
        storage.run(cst);
    }
}

void seedCfops(Storage &storage, const QString &table)
{
    initSeedResources();
    QFile file(table.isEmpty() ? QStringLiteral(":/kvr/cfop.csv") : table);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(protocol::RpcError::Database,
                       table.isEmpty()
                           ? QStringLiteral("Tabela de CFOP embutida não encontrada.")
                           : QStringLiteral("Não foi possível ler a tabela de CFOP %1: %2.")
                                 .arg(table, file.errorString()));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QList<QPair<QString, QString>> cfops;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        const qsizetype sep = line.indexOf(QLatin1Char(';'));
        if (line.isEmpty())
            continue;
        const QString code = line.left(sep);
        if (sep != 4 ||
            !std::all_of(code.cbegin(), code.cend(), [](QChar c) { return c.isDigit(); }))
            throw AppError(protocol::RpcError::Database,
                           QStringLiteral("Tabela de CFOP %1, linha %2: esperado "
                                          "CÓDIGO;DESCRIÇÃO com o código de 4 dígitos.")
                               .arg(file.fileName())
                               .arg(i + 1));
        cfops.append({code, line.mid(sep + 1).left(500)});
    }
    if (cfops.isEmpty())
        throw AppError(
            protocol::RpcError::Database,
            QStringLiteral("A tabela de CFOP %1 não tem nenhum CFOP.").arg(file.fileName()));
    // Many rows per statement: one round trip per batch on a remote database.
    constexpr qsizetype Batch = 100;
    for (qsizetype first = 0; first < cfops.size(); first += Batch) {
        const qsizetype count = std::min(Batch, cfops.size() - first);
        QStringList rows;
        for (qsizetype i = 0; i < count; ++i)
            rows.append(QStringLiteral("(?, ?)"));
        QSqlQuery &insert = storage.prepared(
            QStringLiteral("INSERT INTO cfop (cdcfoppadrao, dscfoppadrao) VALUES %1")
                .arg(rows.join(QStringLiteral(", "))));
        for (qsizetype i = 0; i < count; ++i) {
            insert.bindValue(static_cast<int>(2 * i), cfops.at(first + i).first);
            insert.bindValue(static_cast<int>(2 * i + 1), cfops.at(first + i).second);
        }
        storage.run(insert);
    }
}

void seedRules(Storage &storage)
{
    RuleRepository rules(storage);
    qint64 number = rules.reserveNumbers(static_cast<qint64>(std::size(examples)));
    for (const ExampleRule &example : examples) {
        using R = RuleRecord;
        QStringList row = R::blankRow();
        const int order[] = {R::CDIMPOSTO,      R::IDENTRSAIDOP,   R::CDFISCOPER,
                             R::CDSITUTRIB,     R::CDFISCAL,       R::IDTPBASECALC,
                             R::IDTPALIQUOTA,   R::IDTPVRIMPOSTO,  R::CDTPCREDPICOITE,
                             R::DSCONSISTENCIA, R::IDCONSISTELANC, R::IDCONSISTEAPRO,
                             R::IDBLOQADMI,     R::IDCONSPREDEFI};
        for (int i = 0; i < 14; ++i)
            row[order[i]] = text(example.values[i]);
        row[R::IDCONSATIVA] = QStringLiteral("S");
        row[R::NRSEQCONSISTE] = RuleRepository::formatNumber(number++);
        rules.insert(row);
    }
}

} // namespace

Seeder::Outcome Seeder::seed(Storage &storage, const QString &cfopTable)
{
    WriteTransaction transaction(storage);
    QSqlQuery &count = storage.prepared(
        QStringLiteral("SELECT (SELECT COUNT(*) FROM imposto) + (SELECT COUNT(*) FROM cfop) + "
                       "(SELECT COUNT(*) FROM consistencia)"));
    storage.run(count);
    const bool hasData = count.next() && count.value(0).toLongLong() > 0;
    count.finish();
    if (hasData)
        return Outcome::AlreadyHasData;
    seedTaxes(storage);
    seedCsts(storage);
    seedCfops(storage, cfopTable);
    seedRules(storage);
    transaction.commit();
    return Outcome::Seeded;
}

} // namespace kvr::server
