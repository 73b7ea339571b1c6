#include "CLI/STD/KVR/KVR51400/RuleSpreadsheetTransfer.h"

#include "CLI/STD/KVR/KVR51400/Cli_kvr51400.h"
#include "CLI/STD/KVR/KVR51400/MaintenanceDisplay.h"
#include "CLI/STD/KVR/KVR51400/RdmConsisteFiscal.h"
#include "CLI/STD/KVR/KVR51400/RuleRecords.h"
#include "CLI/STD/KVR/KVR51400/RuleSpreadsheet.h"
#include "CLI/STD/KVR/KVR51400/ServerCalls.h"
#include "kit/core/Consiste.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TField.h"
#include "kit/net/TNetConnection.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QSaveFile>

namespace {

const QString Filter = QStringLiteral("Planilha CSV (*.csv);;Todos os arquivos (*)");
// Refused lines shown in the message itself; all of them under the details.
constexpr int ShownLines = 20;

bool rulesLoaded(const TfrmConsisteFiscal *screen)
{
    return screen->cdsConsistencias->Active() &&
           screen->cdsConsistencias->state() == TClientDataSet::State::Browse;
}

QString describe(const TfrmConsisteFiscal *screen, const QString &field,
                 const RuleSpreadsheet::Rule &rule)
{
    const QString code = rule.value(field);
    return MaintenanceDisplay::OfField(*screen->msgPadrao, screen->Cst(), field, code,
                                       rule.value(QStringLiteral("CDIMPOSTO")))
        .value_or(code);
}

void inform(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    box.exec();
}

// The server's refusal of an import: every refused line, the first ones in
// the message, all of them under its details.
[[noreturn]] void showRefusal(QWidget *parent, const QString &message)
{
    QStringList lines = message.split(QLatin1Char('\n'));
    const QString summary = lines.takeFirst();
    QStringList shown = lines.mid(0, ShownLines);
    if (lines.size() > ShownLines)
        shown.append(QStringLiteral("... e mais %1 linhas; veja todas nos detalhes.")
                         .arg(lines.size() - ShownLines));
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Importar consistências"),
                    summary + QStringLiteral("\n\n") + shown.join(QLatin1Char('\n')),
                    QMessageBox::Ok, parent);
    if (lines.size() > ShownLines)
        box.setDetailedText(lines.join(QLatin1Char('\n')));
    box.exec();
    Abort();
}

} // namespace

QString RuleSpreadsheetTransfer::ChooseFile(QWidget *parent, bool save, const QString &suggested)
{
    QFileDialog dialog(parent,
                       save ? QStringLiteral("Exportar consistências para planilha")
                            : QStringLiteral("Importar consistências de planilha"),
                       QDir::homePath(), Filter);
    dialog.setObjectName(save ? QStringLiteral("dlgExportar") : QStringLiteral("dlgImportar"));
    // Qt's own dialog, so that every text below is the one the user reads.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Pasta:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Nome do arquivo:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Tipo:"));
    dialog.setLabelText(QFileDialog::Accept,
                        save ? QStringLiteral("&Salvar") : QStringLiteral("&Abrir"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("&Cancelar"));
    if (!suggested.isEmpty())
        dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void RuleSpreadsheetTransfer::Export(TfrmConsisteFiscal *screen)
{
    if (!rulesLoaded(screen))
        Abort();
    const QString tax = Ajusta(screen->edtCdImposto->text(), 2);
    const QString file = ChooseFile(screen, true, QStringLiteral("consistencias-%1.csv").arg(tax));
    if (file.isEmpty())
        Abort();
    // Every rule of the tax, admitted ones too, as the server holds them now.
    TClientDataSet rules;
    RuleRecords::DeclareMaintenanceRules(&rules);
    {
        TBusyScope busy;
        rules.SetData(RdmConsisteFiscal(screen->netConsistencia).getConsistencias(tax));
    }
    QList<RuleSpreadsheet::Rule> out;
    for (int row = 0; row < rules.RecordCount(); ++row) {
        RuleSpreadsheet::Rule rule;
        for (int f = 0; f < rules.FieldCount(); ++f)
            rule.insert(rules.Fields(f)->FieldName(), rules.Value(row, f));
        out.append(rule);
    }
    QSaveFile target(file);
    if (!target.open(QIODevice::WriteOnly) ||
        target.write(RuleSpreadsheet::Write(
            out,
            [screen](const QString &field, const RuleSpreadsheet::Rule &rule) {
                return describe(screen, field, rule);
            })) < 0 ||
        !target.commit())
        MensErro(QStringLiteral("Não foi possível gravar o arquivo %1: %2.")
                     .arg(QDir::toNativeSeparators(file), target.errorString()),
                 true);
    inform(screen, QStringLiteral("Exportar consistências"),
           QStringLiteral("%1 consistências do imposto %2 exportadas para %3.")
               .arg(out.size())
               .arg(tax, QDir::toNativeSeparators(file)));
}

void RuleSpreadsheetTransfer::Import(TfrmConsisteFiscal *screen)
{
    if (!rulesLoaded(screen))
        Abort();
    const QString tax = Ajusta(screen->edtCdImposto->text(), 2);
    const QString file = ChooseFile(screen, false, QString());
    if (file.isEmpty())
        Abort();
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly))
        MensErro(QStringLiteral("Não foi possível ler o arquivo %1: %2.")
                     .arg(QDir::toNativeSeparators(file), source.errorString()),
                 true);
    QJsonObject packet;
    QString problem;
    if (!RuleSpreadsheet::Read(source.readAll(), packet, problem))
        MensErro(problem, true);
    using Import = kvr::fiscal::ImportaConsistencias;
    QVariant result;
    {
        TBusyScope busy;
        result = RdmConsisteFiscal(screen->netConsistencia).send(Import{tax, {packet}});
    }
    // A refusal lists every faulty line: more than a plain message holds.
    if (result.metaType() == QMetaType::fromType<TServerError>() &&
        result.value<TServerError>().message.contains(QLatin1Char('\n')))
        showRefusal(screen, result.value<TServerError>().message);
    const qint64 imported = RdmConsisteFiscal::Decode<Import>(result);
    screen->getConsistencias();
    screen->habilitaBotao();
    inform(screen, QStringLiteral("Importar consistências"),
           QStringLiteral("%1 consistências importadas para o imposto %2.").arg(imported).arg(tax));
}
