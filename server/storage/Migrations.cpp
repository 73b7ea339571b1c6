#include "server/storage/Migrations.h"

#include "server/storage/Storage.h"
#include "server/storage/WriteTransaction.h"

#include <QDateTime>
#include <QStringList>

#include <vector>

namespace kvr::server {

namespace {

using Kind = DatabaseUrl::Kind;

// A step's statements, the same on every backend, and those that differ.
struct Step
{
    QStringList sql;
    QStringList (*dialect)(Kind kind) = nullptr;
};

// A change counter per tax, bumped by the database itself in the transaction
// of every write to the rules, whoever writes them: an app server's rule
// index is current while the counter it was built at is. It starts at
// random, so a database emptied and filled again does not repeat the
// counters an index was built at.
QStringList ruleVersionCounter(Kind kind)
{
    const QString table = QStringLiteral("CREATE TABLE consistencia_versao ("
                                         "cdimposto VARCHAR(2) PRIMARY KEY,"
                                         "versao BIGINT NOT NULL)");
    if (kind == Kind::Sqlite) {
        const auto bump = [](const char *row) {
            return QStringLiteral("INSERT OR IGNORE INTO consistencia_versao (cdimposto, versao) "
                                  "VALUES (%1.cdimposto, abs(random() % 1000000000000)); UPDATE "
                                  "consistencia_versao SET "
                                  "versao = versao + 1 WHERE cdimposto = %1.cdimposto;")
                .arg(QLatin1String(row));
        };
        return {table,
                QStringLiteral("CREATE TRIGGER consistencia_versao_i AFTER INSERT ON "
                               "consistencia BEGIN %1 END")
                    .arg(bump("NEW")),
                QStringLiteral("CREATE TRIGGER consistencia_versao_u AFTER UPDATE ON "
                               "consistencia BEGIN %1 %2 END")
                    .arg(bump("OLD"), bump("NEW")),
                QStringLiteral("CREATE TRIGGER consistencia_versao_d AFTER DELETE ON "
                               "consistencia BEGIN %1 END")
                    .arg(bump("OLD"))};
    }
    // Once a statement, not once a row: a bulk insert bumps each tax once.
    const auto bump = [](const char *rows) {
        return QStringLiteral("INSERT INTO consistencia_versao (cdimposto, versao) "
                              "SELECT cdimposto, (random() * 1e12)::bigint FROM (SELECT "
                              "DISTINCT cdimposto FROM %1) AS impostos ON CONFLICT (cdimposto) "
                              "DO UPDATE SET versao = consistencia_versao.versao + 1;")
            .arg(QLatin1String(rows));
    };
    const auto trigger = [](const char *name, const char *event, const char *tables) {
        return QStringLiteral("CREATE TRIGGER %1 AFTER %2 ON consistencia REFERENCING %3 FOR "
                              "EACH STATEMENT EXECUTE FUNCTION kvr_conta_versao()")
            .arg(QLatin1String(name), QLatin1String(event), QLatin1String(tables));
    };
    return {table,
            QStringLiteral("CREATE FUNCTION kvr_conta_versao() RETURNS trigger LANGUAGE plpgsql "
                           "AS $$ BEGIN IF TG_OP <> 'DELETE' THEN %1 END IF; IF TG_OP <> "
                           "'INSERT' THEN %2 END IF; RETURN NULL; END $$")
                .arg(bump("novas"), bump("antigas")),
            trigger("consistencia_versao_i", "INSERT", "NEW TABLE AS novas"),
            trigger("consistencia_versao_u", "UPDATE", "OLD TABLE AS antigas NEW TABLE AS novas"),
            trigger("consistencia_versao_d", "DELETE", "OLD TABLE AS antigas")};
}

// Step n of the list is migration version n + 1. Never edit a released step:
// append a new one.
const std::vector<Step> &steps()
{
    static const std::vector<Step> list = {
        {{
            QStringLiteral("CREATE TABLE imposto ("
                           "cdimposto VARCHAR(2) PRIMARY KEY,"
                           "sgimposto VARCHAR(10) NOT NULL,"
                           "nmimposto VARCHAR(30) NOT NULL,"
                           "cdimpostonfe VARCHAR(2) NOT NULL)"),
            QStringLiteral("CREATE TABLE cfop ("
                           "cdcfoppadrao VARCHAR(10) PRIMARY KEY,"
                           "dscfoppadrao VARCHAR(500) NOT NULL)"),
            QStringLiteral("CREATE TABLE cst_familia ("
                           "cdimpostonfe VARCHAR(2) PRIMARY KEY,"
                           "familia VARCHAR(4) NOT NULL)"),
            QStringLiteral("CREATE TABLE cst ("
                           "familia VARCHAR(4) NOT NULL,"
                           "cdsitutrib VARCHAR(2) NOT NULL,"
                           "dscst VARCHAR(250) NOT NULL,"
                           "PRIMARY KEY (familia, cdsitutrib))"),
            QStringLiteral("CREATE TABLE consistencia ("
                           "nrseqconsiste VARCHAR(10) PRIMARY KEY,"
                           "cdimposto VARCHAR(2) NOT NULL REFERENCES imposto (cdimposto),"
                           "idconsativa VARCHAR(1) NOT NULL,"
                           "identrsaidop VARCHAR(1) NOT NULL,"
                           "cdfiscoper VARCHAR(4) NOT NULL,"
                           "cdcst1digt VARCHAR(1) NOT NULL,"
                           "cdsitutrib VARCHAR(2) NOT NULL,"
                           "cdfiscal VARCHAR(1) NOT NULL,"
                           "idtpbasecalc VARCHAR(1) NOT NULL,"
                           "idtpaliquota VARCHAR(1) NOT NULL,"
                           "idtpvrimposto VARCHAR(1) NOT NULL,"
                           "cdtpcredpicoite VARCHAR(3) NOT NULL,"
                           "dsconsistencia VARCHAR(250) NOT NULL,"
                           "idconsistelanc VARCHAR(1) NOT NULL,"
                           "idconsisteapro VARCHAR(1) NOT NULL,"
                           "idbloqadmi VARCHAR(1) NOT NULL,"
                           "idconspredefi VARCHAR(1) NOT NULL)"),
            QStringLiteral("CREATE INDEX consistencia_imposto ON consistencia "
                           "(cdimposto, nrseqconsiste)"),
            // The duplicate key of a rule: at most one rule per combination.
            QStringLiteral("CREATE UNIQUE INDEX consistencia_chave ON consistencia "
                           "(cdimposto, idbloqadmi, cdfiscal, cdfiscoper, cdsitutrib)"),
            QStringLiteral("CREATE TABLE contador ("
                           "nome VARCHAR(30) PRIMARY KEY,"
                           "valor BIGINT NOT NULL)"),
            QStringLiteral("INSERT INTO contador (nome, valor) VALUES ('consistencia', 0)"),
        }},
        {{
            // Accounts: only a salted memory-hard hash of each password.
            QStringLiteral("CREATE TABLE usuario ("
                           "nmusuario VARCHAR(64) PRIMARY KEY,"
                           "dshash VARCHAR(255) NOT NULL,"
                           "dtcriacao VARCHAR(30) NOT NULL)"),
            // The history of rule changes; numbered by the writer's counter,
            // so their order is the order of the commits of every app server.
            QStringLiteral("CREATE TABLE historico ("
                           "nrseqhistorico %ROWKEY%,"
                           "dtalteracao VARCHAR(24) NOT NULL,"
                           "nmusuario VARCHAR(64) NOT NULL,"
                           "dsorigem VARCHAR(64) NOT NULL,"
                           "nmmetodo VARCHAR(30) NOT NULL,"
                           "cdimposto VARCHAR(2) NOT NULL,"
                           "nrseqconsiste VARCHAR(10) NOT NULL,"
                           "idoperacao VARCHAR(1) NOT NULL,"
                           "dsalteracoes TEXT NOT NULL)"),
            QStringLiteral("CREATE INDEX historico_regra ON historico "
                           "(cdimposto, nrseqconsiste)"),
            QStringLiteral("INSERT INTO contador (nome, valor) VALUES ('historico', 0)"),
        }},
        {{}, ruleVersionCounter},
    };
    return list;
}

} // namespace

int Migrations::latestVersion()
{
    return static_cast<int>(steps().size());
}

int Migrations::apply(Storage &storage)
{
    WriteTransaction transaction(storage);
    storage.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS kvr_migracao ("
                                   "versao INTEGER PRIMARY KEY,"
                                   "aplicada_em VARCHAR(30) NOT NULL)"));
    QSqlQuery &current = storage.prepared(QStringLiteral("SELECT MAX(versao) FROM kvr_migracao"));
    storage.run(current);
    const int before = current.next() ? current.value(0).toInt() : 0;
    current.finish();
    for (int version = before + 1; version <= latestVersion(); ++version) {
        const Step &step = steps().at(static_cast<size_t>(version - 1));
        QStringList statements = step.sql;
        if (step.dialect)
            statements += step.dialect(storage.kind());
        for (QString sql : std::as_const(statements)) {
            // A 64-bit key that on SQLite is the row id itself, so a table
            // written in bulk keeps one b-tree fewer.
            sql.replace(QLatin1String("%ROWKEY%"), storage.kind() == DatabaseUrl::Kind::Sqlite
                                                       ? QLatin1String("INTEGER PRIMARY KEY")
                                                       : QLatin1String("BIGINT PRIMARY KEY"));
            storage.execute(sql);
        }
        QSqlQuery &record = storage.prepared(
            QStringLiteral("INSERT INTO kvr_migracao (versao, aplicada_em) VALUES (?, ?)"));
        record.addBindValue(version);
        record.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
        storage.run(record);
    }
    transaction.commit();
    return before;
}

} // namespace kvr::server
