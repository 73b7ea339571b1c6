#include "CLI/STD/KVR/KVR51400/RuleSpreadsheet.h"
#include "kit/widgets/TButtonFlat.h"
#include "tests/module/ScreenFixture.h"

#include <QFileDialog>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>

namespace {

// "CFOP|CST|description@line" of each row a file reads as.
QStringList readRows(const QByteArray &bytes, QString &problem)
{
    QJsonObject packet;
    if (!RuleSpreadsheet::Read(bytes, packet, problem))
        return {};
    QStringList names;
    for (const QJsonValue &field : packet.value("fields").toArray())
        names.append(field.toObject().value("name").toString());
    QStringList rows;
    for (const QJsonValue &value : packet.value("rows").toArray()) {
        const QJsonArray row = value.toArray();
        const auto at = [&](const char *name) {
            const qsizetype i = names.indexOf(QString::fromLatin1(name));
            return i < 0 ? QStringLiteral("-") : row.at(i).toString();
        };
        rows.append(at("CDFISCOPER") + '|' + at("CDSITUTRIB") + '|' + at("DSCONSISTENCIA") + '@' +
                    at("NRLINHA"));
    }
    return rows;
}

// A spreadsheet written with the screen's columns, then read back: every
// field a user can set survives, quotes, separators and line breaks too.
TEST(RuleSpreadsheet, WhatIsWrittenReadsBackAndOpensInASpreadsheet)
{
    RuleSpreadsheet::Rule rule;
    for (const RuleSpreadsheet::Column &column : RuleSpreadsheet::Columns())
        rule.insert(column.field, column.field.left(1));
    rule["CDFISCOPER"] = "5102";
    rule["CDSITUTRIB"] = "00";
    rule["DSCONSISTENCIA"] = "Venda; \"isenta\"\nsegunda linha ";
    const QByteArray file = RuleSpreadsheet::Write(
        {rule, rule}, [](const QString &field, const RuleSpreadsheet::Rule &) -> QString {
            return QStringLiteral("texto de ") + field;
        });
    EXPECT_TRUE(file.startsWith("\xEF\xBB\xBF"
                                "Ativo;Cód. Consistência;E/S;E/S (descrição);CFOP;"
                                "1° Dig. CST;1° Dig. CST (descrição);CST;CST (descrição);"));
    EXPECT_TRUE(file.contains(";CST (descrição);Código Fiscal;Código Fiscal (descrição);"));
    EXPECT_TRUE(file.contains(";00;texto de CDSITUTRIB;"));
    EXPECT_TRUE(file.contains(";\"Venda; \"\"isenta\"\"\nsegunda linha \";"));
    QString problem;
    EXPECT_EQ(readRows(file, problem), QStringList({"5102|00|Venda; \"isenta\"\nsegunda linha@2",
                                                    "5102|00|Venda; \"isenta\"\nsegunda linha@4"}))
        << problem.toStdString();
    QJsonObject packet;
    ASSERT_TRUE(RuleSpreadsheet::Read(file, packet, problem));
    const QJsonArray row = packet.value("rows").toArray().at(0).toArray();
    const QJsonArray fields = packet.value("fields").toArray();
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QString name = fields.at(i).toObject().value("name").toString();
        if (name != "NRLINHA" && name != "DSCONSISTENCIA") {
            EXPECT_EQ(row.at(i).toString(), rule.value(name)) << name.toStdString();
        }
    }
    EXPECT_FALSE(fields.contains(QJsonObject{{"name", "NRSEQCONSISTE"}, {"size", 250}}));
}

// Files as spreadsheets save them back, and files that are no rule spreadsheet.
TEST(RuleSpreadsheet, ReadsWhatSpreadsheetsSaveAndRefusesTheRest)
{
    const struct
    {
        const char *file;
        QStringList rows;
        const char *problem;
    } cases[] = {
        {"CFOP;CST;Descrição\r\n5102;00;a\r\n", {"5102|00|a@2"}, ""},
        {"CFOP,CST,Descrição\n510,0,\"b, c\"\n", {"0510|00|b, c@2"}, ""},
        {"CFOP\tCST\n5102\t5\n", {"5102|05|-@2"}, ""},
        {"\xEF\xBB\xBF"
         "Descrição;CFOP;Outra coluna\n\nx;1102;?\n;;\n y ; 5102 ;\n",
         {"1102|-|x@3", "5102|-|y@5"},
         ""},
        {"CFOP;CST\n5102\n", {"5102||-@2"}, ""},
        {"", {}, "O arquivo está vazio"},
        {"Código;Nome\n1;2\n", {}, "O arquivo não é uma planilha de consistências"},
        {"CFOP;CST\r\n", {}, "O arquivo não tem consistências: há só a linha de títulos."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        QString problem;
        EXPECT_EQ(readRows(c.file, problem), c.rows);
        EXPECT_EQ(problem.isEmpty(), !*c.problem) << problem.toStdString();
        if (*c.problem) {
            EXPECT_TRUE(problem.startsWith(QString::fromUtf8(c.problem))) << problem.toStdString();
        }
    }
}

class SpreadsheetScreen : public ScreenFixture
{
protected:
    // Clicks a tool button whose action asks for a file: the dialog gets
    // `file` and is accepted; message boxes are answered and recorded.
    QStringList clickWithFile(TButtonFlat *button, const QString &file)
    {
        OnNextModal<QFileDialog>([file](QFileDialog *dialog) {
            EXPECT_TRUE(dialog->objectName() == "dlgExportar" ||
                        dialog->objectName() == "dlgImportar");
            EXPECT_EQ(dialog->labelText(QFileDialog::Reject), "&Cancelar");
            // Typed, as the name box has the focus.
            auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            name->setText(file);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        ModalAnswer answer;
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
        button->click();
        QTest::qWait(50);
        return answer.Texts();
    }

    void sql(const QString &statement)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "direct");
            db.setDatabaseName(m_server.DatabasePath());
            ASSERT_TRUE(db.open());
            QSqlQuery query(db);
            EXPECT_TRUE(query.exec(statement)) << statement.toStdString();
        }
        QSqlDatabase::removeDatabase("direct");
    }

    // A tax's rules without number and tax, in a stable order.
    QStringList comparable(const QString &tax)
    {
        QStringList rules;
        for (QVariantMap rule : ServerRules(tax)) {
            rule.remove("NRSEQCONSISTE");
            rule.remove("CDIMPOSTO");
            QStringList values;
            for (auto it = rule.cbegin(); it != rule.cend(); ++it)
                values.append(it.key() + '=' + it.value().toString());
            rules.append(values.join(';'));
        }
        std::sort(rules.begin(), rules.end());
        return rules;
    }
};

// PIS rules go out to a spreadsheet and into an emptied COFINS (the same CST
// codes); a second import of the same file is refused whole, line by line.
TEST_F(SpreadsheetScreen, RulesGoOutAndBackIntoAnEmptyTaxOfTheSameFamily)
{
    sql("UPDATE consistencia SET idconspredefi = 'N'");
    sql("DELETE FROM consistencia WHERE cdimposto = '60'");
    Call("cadAutoInsere", {"50", "70", "75", "1102", "1102", "1", "2", "3", "S", "N", "2", "A"});
    const QStringList pis = comparable("50");
    ASSERT_GT(pis.size(), 5);

    QTemporaryDir dir;
    const QString file = dir.filePath("pis.csv");
    ChooseTax("50");
    EXPECT_EQ(clickWithFile(screen->sbtExportar, file),
              QStringList{QStringLiteral("%1 consistências do imposto 50 exportadas para %2.")
                              .arg(pis.size())
                              .arg(file)});
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"
                                 "Ativo;"));
    EXPECT_TRUE(bytes.contains(";73;73 - Operação de Aquisição a Alíquota Zero;"));

    ChooseTax("60");
    EXPECT_FALSE(screen->sbtExportar->isEnabled()) << "an empty tax has nothing to export";
    EXPECT_EQ(
        clickWithFile(screen->sbtImportar, file),
        QStringList{
            QStringLiteral("%1 consistências importadas para o imposto 60.").arg(pis.size())});
    EXPECT_EQ(comparable("60"), pis);
    EXPECT_EQ(screen->cdsConsistencias->TotalRecordCount(), pis.size()) << "the screen reloaded";

    const QStringList refused = clickWithFile(screen->sbtImportar, file);
    ASSERT_EQ(refused.size(), 1);
    EXPECT_TRUE(refused.first().startsWith(
        QStringLiteral("Nenhuma consistência foi importada: %1 linhas foram recusadas.\n\n"
                       "Linha 2: Consistência Fiscal já cadastrada: a consistência ")
            .arg(pis.size())))
        << refused.first().toStdString();
    EXPECT_EQ(comparable("60"), pis);
}

} // namespace
