// TfrmConsisteFiscal: the guards, checks and saving of rule changes, and the
// rule grid's drawing, key filter, lookups and column exit.
#include "CLI/STD/KVR/KVR51400/Cli_kvr51400.h"

#include "CLI/STD/KVR/KVR51400/CheckImage.h"
#include "CLI/STD/KVR/KVR51400/MaintenanceDisplay.h"
#include "CLI/STD/KVR/KVR51400/RdmConsisteFiscal.h"
#include "CLI/STD/KVR/KVR51400/ServerCalls.h"
#include "kit/core/Consiste.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/grid/TDBGrid.h"
#include "kit/host/HostServices.h"
#include "kit/search/TfrmPesquisa.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

namespace {

bool isEditing(const TClientDataSet *dataSet)
{
    return dataSet->state() == TClientDataSet::State::Edit ||
           dataSet->state() == TClientDataSet::State::Insert;
}

} // namespace

QString TfrmConsisteFiscal::ruleValue(const char *fieldName) const
{
    // No current row (closed or empty) reads as empty.
    if (!cdsConsistencias->Active() || cdsConsistencias->IsEmpty())
        return QString();
    return cdsConsistencias->FieldByName(QString::fromLatin1(fieldName))->AsString();
}

void TfrmConsisteFiscal::cdsConsistenciasBeforeInsert(TClientDataSet *DataSet)
{
    Q_UNUSED(DataSet)
    // Rules are created only by the automatic registration.
    Abort();
}

void TfrmConsisteFiscal::cdsConsistenciasBeforeEdit(TClientDataSet *DataSet)
{
    if (DataSet->FieldByName(QStringLiteral("IDCONSPREDEFI"))->AsString() == QLatin1String("S"))
        Abort();
}

void TfrmConsisteFiscal::cdsConsistenciasBeforeDelete(TClientDataSet *DataSet)
{
    if (DataSet->FieldByName(QStringLiteral("IDCONSPREDEFI"))->AsString() == QLatin1String("S"))
        Abort();
}

void TfrmConsisteFiscal::cdsConsistenciasBeforePost(TClientDataSet *DataSet)
{
    auto field = [DataSet](const char *name) {
        return DataSet->FieldByName(QString::fromLatin1(name));
    };
    for (const char *name : {"CDFISCAL", "IDTPBASECALC", "IDTPALIQUOTA", "IDTPVRIMPOSTO"}) {
        if (EmptyString(field(name)->AsString()))
            field(name)->SetAsString(QStringLiteral("0"));
    }
    if (EmptyString(field("CDFISCOPER")->AsString()) &&
        EmptyString(field("CDCST1DIGT")->AsString()) &&
        EmptyString(field("CDSITUTRIB")->AsString())) {
        const QString cons = field("CDFISCAL")->AsString() + field("IDTPALIQUOTA")->AsString() +
                             field("IDTPVRIMPOSTO")->AsString() + field("IDTPBASECALC")->AsString();
        if (cons == QLatin1String("0000")) {
            field("CDFISCOPER")->FocusControl();
            MensErro(msgPadrao->Msg(QStringLiteral("CONSIST_NULA")), true);
        }
    }
    vdSubtrib();
    // A CFOP typed and posted without leaving its column is filled and
    // checked here as well, so none is stored unchecked.
    vdCfop();
    field("CDIMPOSTO")->SetAsString(edtCdImposto->text());
    field("IDCONSPREDEFI")->SetAsString(QStringLiteral("N"));
    field("IDBLOQADMI")
        ->SetAsString(pgcPadrao->currentWidget() == tshBloqueados ? QStringLiteral("B")
                                                                  : QStringLiteral("A"));
    field("IDCONSISTELANC")
        ->SetAsString(dbcLancamentoBloq->isChecked() ? QStringLiteral("S") : QStringLiteral("N"));
    field("IDCONSISTEAPRO")
        ->SetAsString(dbcAprovacaoBloq->isChecked() ? QStringLiteral("S") : QStringLiteral("N"));
    validaConsistencias();
}

void TfrmConsisteFiscal::vdSubtrib()
{
    TField *cst = cdsConsistencias->FieldByName(QStringLiteral("CDSITUTRIB"));
    if (EmptyString(cst->AsString()))
        return;
    if (m_cst.Text(cst->AsString()).isEmpty()) {
        cst->Clear();
        cst->FocusControl();
        MensErro(msgPadrao->Msg(QStringLiteral("CST_INV")), true);
    }
}

void TfrmConsisteFiscal::vdCfop()
{
    TField *cfop = cdsConsistencias->FieldByName(QStringLiteral("CDFISCOPER"));
    if (EmptyString(cfop->AsString()))
        return;
    cfop->SetAsString(Ajusta(cfop->AsString(), 4));
    if (!cdsCFOP->Active())
        cdsCFOP->CreateDataSet();
    cdsCFOP->EmptyDataSet();
    cdsCFOP->SetData(RdmConsisteFiscal(netConsistencia).getVdCFOP(cfop->AsString()));
    if (cdsCFOP->IsEmpty()) {
        cfop->FocusControl();
        MensErro(msgPadrao->Msg(QStringLiteral("CFOP_INV")), true);
    }
}

void TfrmConsisteFiscal::validaConsistencias()
{
    kvr::fiscal::VdConsistencias query;
    query.tax = edtCdImposto->text();
    query.cfop = ruleValue("CDFISCOPER");
    query.cst = ruleValue("CDSITUTRIB");
    query.fiscal = ruleValue("CDFISCAL");
    query.blocked = ruleValue("IDBLOQADMI");
    query.number = ruleValue("NRSEQCONSISTE");
    bool registered = false;
    {
        TBusyScope busy;
        registered = RdmConsisteFiscal(netConsistencia).vdConsistencias(query);
    }
    if (registered)
        MensErro(msgPadrao->Msg(QStringLiteral("CONSISTENCIA_JA_CAD")), true);
}

void TfrmConsisteFiscal::cdsConsistenciasAfterPost(TClientDataSet *DataSet)
{
    if (DataSet->ChangeCount() > 0) {
        TBusyScope busy;
        RdmConsisteFiscal(netConsistencia).setConsistencia(DataSet->Delta().toJsonObject());
        getConsistencias();
    }
    showVerificationFlags();
}

void TfrmConsisteFiscal::cdsConsistenciasAfterDelete(TClientDataSet *DataSet)
{
    TBusyScope busy;
    RdmConsisteFiscal(netConsistencia).setConsistencia(DataSet->Delta().toJsonObject());
    getConsistencias();
}

void TfrmConsisteFiscal::cdsConsistenciasAfterCancel(TClientDataSet *DataSet)
{
    Q_UNUSED(DataSet)
    showVerificationFlags();
}

void TfrmConsisteFiscal::cdsConsistenciasAfterScroll(TClientDataSet *DataSet)
{
    Q_UNUSED(DataSet)
    showVerificationFlags();
}

void TfrmConsisteFiscal::showVerificationFlags()
{
    dbcLancamentoBloq->setChecked(ruleValue("IDCONSISTELANC") == QLatin1String("S"));
    dbcAprovacaoBloq->setChecked(ruleValue("IDCONSISTEAPRO") == QLatin1String("S"));
}

void TfrmConsisteFiscal::dbgBloqueadosDrawColumnCell(TDBGrid *Sender, const QRect &Rect,
                                                     int DataCol, TColumn *Column,
                                                     TDBGrid::DrawState State)
{
    Q_UNUSED(DataCol)
    Q_UNUSED(State)
    if (cdsConsistencias->IsEmpty())
        return;
    if (Column->FieldName() != QLatin1String("IDCONSATIVA"))
        return;
    QPixmap bmPict;
    const QString value = Column->Field() ? Column->Field()->AsString() : QString();
    if (value == QLatin1String("S"))
        bmPict = imgCheck->pixmap();
    else if (value == QLatin1String("N"))
        bmPict = imgUncheck->pixmap();
    TCanvas *canvas = Sender->Canvas();
    canvas->FillRect(Rect);
    const int w = bmPict.width();
    const int h = Rect.height();
    canvas->BrushCopy(QRect(Rect.left() + 5, Rect.top(), w, h), bmPict, QRect(0, 0, w, h),
                      CheckImageBackground());
}

void TfrmConsisteFiscal::dbgBloqueadosKeyPress(TDBGrid *Sender, QChar &Key)
{
    const TField *field = Sender->SelectedField();
    if (!field)
        return;
    const QString &name = field->FieldName();
    const ushort code = Key.unicode();
    const bool backspace = code == 8;
    auto keepOnly = [&Key, backspace](const QString &allowed) {
        if (!backspace && !allowed.contains(Key))
            Key = QChar();
    };
    if (name == QLatin1String("IDTPALIQUOTA") || name == QLatin1String("IDTPVRIMPOSTO") ||
        name == QLatin1String("IDTPBASECALC") || name == QLatin1String("CDFISCAL")) {
        keepOnly(QStringLiteral("123"));
    } else if (name == QLatin1String("CDSITUTRIB") || name == QLatin1String("CDFISCOPER")) {
        keepOnly(QStringLiteral("0123456789"));
    } else if (name == QLatin1String("NRSEQCONSISTE")) {
        Key = QChar();
    } else if (name == QLatin1String("IDENTRSAIDOP")) {
        // Only the codes the display knows: entry, exit, both.
        Key = Key.toUpper();
        keepOnly(QStringLiteral("EST"));
    } else if (name == QLatin1String("IDCONSATIVA")) {
        // Only values that draw a box.
        Key = Key.toUpper();
        keepOnly(QStringLiteral("SN"));
    }
}

void TfrmConsisteFiscal::dbgBloqueadosEditButtonClick(TDBGrid *Sender)
{
    if (!isEditing(cdsConsistencias))
        return;
    const TField *selected = Sender->SelectedField();
    if (!selected || selected->FieldName() != QLatin1String("CDFISCOPER"))
        return;
    // Fetched on every press: the CFOP table may have changed meanwhile.
    cdsCFOP->SetData(RdmConsisteFiscal(netConsistencia).getCFOP());
    const QString title = msgPadrao->Msg(QStringLiteral("CFOP")) + QLatin1Char('|') +
                          msgPadrao->Msg(QStringLiteral("CFOP_N_CAD"));
    if (Pesquisar(dtsCFOP, title, false, true))
        cdsConsistencias->FieldByName(QStringLiteral("CDFISCOPER"))
            ->SetAsString(cdsCFOP->FieldByName(QStringLiteral("CDCFOPPADRAO"))->AsString());
}

void TfrmConsisteFiscal::dbgBloqueadosColExit(TDBGrid *Sender)
{
    if (!isEditing(cdsConsistencias))
        return;
    const TField *selected = Sender->SelectedField();
    if (!selected)
        return;
    if (selected->FieldName() == QLatin1String("CDFISCOPER"))
        vdCfop();
    if (selected->FieldName() == QLatin1String("CDSITUTRIB"))
        vdSubtrib();
}

void TfrmConsisteFiscal::preenchePickList()
{
    dbgBloqueados->ColumnByFieldName(QStringLiteral("CDSITUTRIB"))->SetPickList(m_cst.List());
}
