#include "CLI/STD/KVR/KVR51400/RuleSpreadsheet.h"
#include "kit/widgets/TButtonFlat.h"
#include "tests/module/ScreenFixture.h"

#include <QFileDialog>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

// Files as spreadsheets save them back ("CFOP|CST|description@line" of each
// row read), and files that are no rule spreadsheet.
TEST(RuleSpreadsheet, ReadsWhatSpreadsheetsSaveAndRefusesTheRest)
{
    const struct
    {
        const char *file;
        QStringList rows;
        const char *problem;
    } cases[] = {
        {"CFOP;CST;Descrição\r\n5102;00;\"a; \"\"b\"\"\nc\"\r\n1102;;d\r\n",
         {"5102|00|a; \"b\"\nc@2", "1102||d@4"},
         ""},
        {"CFOP,CST,Descrição\n510,0,\"b, c\"\n5102,5,\n", {"0510|00|b, c@2", "5102|05|@3"}, ""},
        {"\xEF\xBB\xBF"
         "Descrição;CFOP;Outra\n\n'-x;1102;?\n;;\n 'y ; 5102 ;\n",
         {"1102|-|-x@3", "5102|-|'y@5"},
         ""},
        {"Descri\xe7\xe3o;CFOP\r\nA\x80\xe7\xe3o;1102\r\n", {"1102|-|A€ção@2"}, ""},
        {"", {}, "O arquivo está vazio"},
        {"Código;Nome\n1;2\n", {}, "O arquivo não é uma planilha de consistências"},
        {"CFOP;CST\r\n", {}, "O arquivo não tem consistências: há só a linha de títulos."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        QJsonObject packet;
        QString problem;
        QStringList rows;
        if (RuleSpreadsheet::Read(c.file, packet, problem)) {
            QStringList names;
            for (const QJsonValue &field : packet.value("fields").toArray())
                names.append(field.toObject().value("name").toString());
            for (const QJsonValue &value : packet.value("rows").toArray()) {
                const auto at = [&](const char *name) {
                    const qsizetype i = names.indexOf(QString::fromLatin1(name));
                    return i < 0 ? QStringLiteral("-") : value.toArray().at(i).toString();
                };
                rows.append(at("CDFISCOPER") + '|' + at("CDSITUTRIB") + '|' + at("DSCONSISTENCIA") +
                            '@' + at("NRLINHA"));
            }
        }
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(problem.isEmpty(), !*c.problem) << problem.toStdString();
        EXPECT_TRUE(problem.startsWith(QString::fromUtf8(c.problem)) || !*c.problem);
    }
}

class SpreadsheetScreen : public ScreenFixture
{
protected:
    // Clicks a tool button that asks for a file: `file` is typed into the
    // Portuguese dialog and accepted; the message boxes shown are returned.
    QStringList clickWithFile(TButtonFlat *button, const QString &file)
    {
        OnNextModal<QFileDialog>([file](QFileDialog *dialog) {
            EXPECT_EQ(dialog->labelText(QFileDialog::Reject), "&Cancelar");
            dialog->findChild<QLineEdit *>("fileNameEdit")->setText(file);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        ModalAnswer answer;
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
        button->click();
        return answer.Texts();
    }

    void sql(const QString &statement)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "direct");
            db.setDatabaseName(m_server.DatabasePath());
            ASSERT_TRUE(db.open());
            EXPECT_TRUE(QSqlQuery(db).exec(statement)) << statement.toStdString();
        }
        QSqlDatabase::removeDatabase("direct");
    }

    // A tax's rules without number and tax, by description (made unique).
    QMap<QString, QVariantMap> comparable(const QString &tax)
    {
        QMap<QString, QVariantMap> rules;
        for (QVariantMap rule : ServerRules(tax)) {
            rule.remove("NRSEQCONSISTE");
            rule.remove("CDIMPOSTO");
            rules.insert(rule.value("DSCONSISTENCIA").toString(), rule);
        }
        return rules;
    }
};

// PIS rules go out to a spreadsheet and into an emptied COFINS (the same CST
// codes); a second import of the same file is refused whole, line by line.
TEST_F(SpreadsheetScreen, RulesGoOutAndBackIntoAnEmptyTaxOfTheSameFamily)
{
    Call("cadAutoInsere", {"50", "70", "75", "1102", "1102", "1", "2", "3", "S", "N", "2", "A"});
    sql("UPDATE consistencia SET idconspredefi = 'N', "
        "dsconsistencia = '=Venda; \"isenta\" ' || nrseqconsiste");
    sql("DELETE FROM consistencia WHERE cdimposto = '60'");
    const QMap<QString, QVariantMap> pis = comparable("50");
    ASSERT_GT(pis.size(), 5);

    QTemporaryDir dir;
    const QString file = dir.filePath("pis.csv");
    ChooseTax("50");
    EXPECT_EQ(clickWithFile(screen->sbtExportar, file),
              QStringList{QStringLiteral("%1 consistências do imposto 50 exportadas para %2.")
                              .arg(pis.size())
                              .arg(file)});
    QFile written(file);
    const QByteArray bytes = written.open(QIODevice::ReadOnly) ? written.readAll() : "";
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"
                                 "Ativo;Cód. Consistência;E/S;E/S (descrição);CFOP;1° Dig. CST;"))
        << bytes.left(100).toStdString();
    EXPECT_TRUE(bytes.contains(";73;73 - Operação de Aquisição a Alíquota Zero;"));
    EXPECT_TRUE(bytes.contains(";\"'=Venda; \"\"isenta\"\" "));

    ChooseTax("60");
    EXPECT_FALSE(screen->sbtExportar->isEnabled()) << "an empty tax has nothing to export";
    EXPECT_EQ(
        clickWithFile(screen->sbtImportar, file),
        QStringList{
            QStringLiteral("%1 consistências importadas para o imposto 60.").arg(pis.size())});
    EXPECT_EQ(comparable("60"), pis);

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
