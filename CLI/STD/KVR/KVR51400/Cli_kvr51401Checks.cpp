// TfrmCadAuto: the lookups, the field checks and the confirm action.
#include "CLI/STD/KVR/KVR51400/Cli_kvr51401.h"

#include "CLI/STD/KVR/KVR51400/MaintenanceScreenLink.h"
#include "CLI/STD/KVR/KVR51400/RdmConsisteFiscal.h"
#include "CLI/STD/KVR/KVR51400/ServerCalls.h"
#include "CLI/STD/KVR/KVR51400/TaxPanel.h"
#include "kit/core/Consiste.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/host/HostServices.h"
#include "kit/search/TfrmPesquisa.h"
#include "kit/widgets/TBtnPesquisa.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>

namespace {

// The text of a combo box as the confirm sends it: its first `width`
// characters, or "0" for an option left empty.
QString leading(const QComboBox *box, int width)
{
    return box->currentText().left(width);
}

QString orAny(const QString &code)
{
    return EmptyString(code) ? QStringLiteral("0") : code;
}

QString yesNo(const QCheckBox *box)
{
    return box->isChecked() ? QStringLiteral("S") : QStringLiteral("N");
}

} // namespace

// ---- Lookups ----------------------------------------------------------------

void TfrmCadAuto::loadRules()
{
    cdsConsistencias->SetData(
        RdmConsisteFiscal(connection()).getConsistencias(edtCdImposto->text()));
}

void TfrmCadAuto::loadCfops()
{
    cdsCFOP->SetData(RdmConsisteFiscal(connection()).getCFOP());
}

void TfrmCadAuto::btpImpostoBeforePesq(QObject *, bool &)
{
    TBusyScope busy;
    Panel2->LoadTaxes();
}

void TfrmCadAuto::btpImpostoAfterPesq(QObject *)
{
    Panel2->CopyPicked();
}

void TfrmCadAuto::btpPesqConsistIniBeforePesq(QObject *, bool &)
{
    {
        TBusyScope busy;
        loadRules();
    }
    cdsConsistencias->FieldByName(QStringLiteral("IDMARCADO"))->SetVisible(false);
}

void TfrmCadAuto::btpPesqConsistIniAfterPesq(QObject *)
{
    edtiniConsiste->setText(
        cdsConsistencias->FieldByName(QStringLiteral("NRSEQCONSISTE"))->AsString());
}

void TfrmCadAuto::btpPesqConsistFinBeforePesq(QObject *Sender, bool &AllowPesq)
{
    btpPesqConsistIniBeforePesq(Sender, AllowPesq);
}

void TfrmCadAuto::btpPesqConsistFinAfterPesq(QObject *)
{
    edtfinConsiste->setText(
        cdsConsistencias->FieldByName(QStringLiteral("NRSEQCONSISTE"))->AsString());
}

void TfrmCadAuto::btpCFOPBeforePesq(QObject *, bool &)
{
    TBusyScope busy;
    loadCfops();
}

void TfrmCadAuto::btpCFOPAfterPesq(QObject *)
{
    edtCdCFOP->setText(cdsCFOP->FieldByName(QStringLiteral("CDCFOPPADRAO"))->AsString());
    edtNmCFOP->setText(cdsCFOP->FieldByName(QStringLiteral("DSCFOPPADRAO"))->AsString());
}

void TfrmCadAuto::btpInsIniCFOPBeforePesq(QObject *, bool &)
{
    TBusyScope busy;
    loadCfops();
}

void TfrmCadAuto::btpInsIniCFOPAfterPesq(QObject *)
{
    edtInsIniCdCFOP->setText(cdsCFOP->FieldByName(QStringLiteral("CDCFOPPADRAO"))->AsString());
    edtInsIniCFOP->setText(cdsCFOP->FieldByName(QStringLiteral("DSCFOPPADRAO"))->AsString());
}

void TfrmCadAuto::btpInsFinCFOPBeforePesq(QObject *, bool &)
{
    TBusyScope busy;
    loadCfops();
}

void TfrmCadAuto::btpInsFinCFOPAfterPesq(QObject *)
{
    edtInsFinCdCFOP->setText(cdsCFOP->FieldByName(QStringLiteral("CDCFOPPADRAO"))->AsString());
    edtInsFinCFOP->setText(cdsCFOP->FieldByName(QStringLiteral("DSCFOPPADRAO"))->AsString());
}

void TfrmCadAuto::btpListaConsisteClick(QObject *)
{
    {
        TBusyScope busy;
        loadRules();
    }
    cdsConsistencias->FieldByName(QStringLiteral("IDMARCADO"))->SetVisible(true);
    PesquisaLista(dtsConsistencias, QStringLiteral("NRSEQCONSISTE"),
                  msgPadrao->Msg(QStringLiteral("CONSISTE")) + QLatin1Char('|') +
                      msgPadrao->Msg(QStringLiteral("CONSISTE_N_CAD")),
                  false, stListaConsiste);
}

// ---- Field checks -----------------------------------------------------------

void TfrmCadAuto::vdImposto()
{
    Panel2->Check();
}

void TfrmCadAuto::vdConsistencias(QLineEdit *consiste, bool boTestaVazio)
{
    if (EmptyString(consiste->text())) {
        if (boTestaVazio) {
            consiste->setFocus();
            MensErro(msgPadrao->Msg(QStringLiteral("CONSIST_N_INF")), true);
        }
        return;
    }
    consiste->setText(Ajusta(consiste->text(), 10));
    cdsvdConsistencia->SetData(
        RdmConsisteFiscal(connection()).vdCon(edtCdImposto->text(), consiste->text()));
    if (cdsvdConsistencia->IsEmpty()) {
        consiste->setFocus();
        MensErro(msgPadrao->Msg(QStringLiteral("CONSIST_INV")), true);
    }
}

void TfrmCadAuto::vdCfop(QLineEdit *cfop)
{
    if (EmptyString(cfop->text()))
        return;
    cfop->setText(Ajusta(cfop->text(), 4));
    if (!cdsCFOP->Active())
        cdsCFOP->CreateDataSet();
    cdsCFOP->EmptyDataSet();
    cdsCFOP->SetData(RdmConsisteFiscal(connection()).getVdCFOP(cfop->text()));
    if (cdsCFOP->IsEmpty()) {
        cfop->setFocus();
        MensErro(msgPadrao->Msg(QStringLiteral("CFOP_INV")), true);
    }
}

void TfrmCadAuto::edtiniConsisteExit(QObject *)
{
    vdConsistencias(edtiniConsiste, false);
}

void TfrmCadAuto::edtfinConsisteExit(QObject *)
{
    vdConsistencias(edtfinConsiste, false);
}

void TfrmCadAuto::edtCdCFOPExit(QObject *)
{
    vdCfop(edtCdCFOP);
}

void TfrmCadAuto::edtInsIniCdCFOPExit(QObject *)
{
    vdCfop(edtInsIniCdCFOP);
}

void TfrmCadAuto::edtInsFinCdCFOPExit(QObject *)
{
    vdCfop(edtInsFinCdCFOP);
}

// ---- Confirm ----------------------------------------------------------------

void TfrmCadAuto::sbtConfirmaClick()
{
    {
        TBusyScope busy;
        const QString stBc = orAny(leading(cmbBaseCalc, 1));
        const QString stImpo = orAny(leading(cmbImposto, 1));
        const QString stAli = orAny(leading(cmbAliquota, 1));
        const QString stCdFiscal = orAny(cmbCdFiscal->currentText());
        const QString veriLanc = yesNo(chkLancamento);
        const QString veriAprov = yesNo(chkAprovacao);
        const auto error = [this](QWidget *focus, const char *key) {
            focus->setFocus();
            MensErro(msgPadrao->Msg(QString::fromLatin1(key)), true);
        };

        if (chkEdtConsiste->isChecked()) {
            const QString iniCst = leading(cmbCST, 2);
            QString stIniConsist;
            QString stFinConsist;
            if (rbtPeriodoConsiste->isChecked()) {
                vdConsistencias(edtiniConsiste, true);
                vdConsistencias(edtfinConsiste, true);
                stIniConsist = edtiniConsiste->text();
                stFinConsist = edtfinConsiste->text();
                if (stIniConsist > stFinConsist)
                    error(edtfinConsiste, "CONSISTE_MAIOR");
                stListaConsiste.clear();
            } else if (EmptyString(stListaConsiste)) {
                error(rbtListaConsiste, "CONSIST_N_INF");
            }
            using Update = kvr::fiscal::CadAutoAtualiza;
            Update update;
            update.tax = edtCdImposto->text();
            update.first = stIniConsist;
            update.last = stFinConsist;
            update.list = stListaConsiste;
            update.set(Update::Cst, iniCst, chkCST->isChecked());
            update.set(Update::Cfop, edtCdCFOP->text(), chkCFOP->isChecked());
            update.set(Update::Fiscal, stCdFiscal, chkCdFiscal->isChecked());
            update.set(Update::TaxValueSign, stImpo, chkImposto->isChecked());
            update.set(Update::BaseSign, stBc, chkBaseCalc->isChecked());
            update.set(Update::RateSign, stAli, chkAliquota->isChecked());
            update.set(Update::AtEntry, veriLanc, chkVerifica->isChecked());
            update.set(Update::AtApproval, veriAprov, chkVerifica->isChecked());
            RdmConsisteFiscal(connection()).cadAutoAtualiza(update);
        } else {
            vdCfop(edtInsIniCdCFOP);
            vdCfop(edtInsFinCdCFOP);
            const QString iniCst = leading(cmbInsIniCST, 2);
            const QString finCst = leading(cmbInsFinCST, 2);
            const QString iniCfop = edtInsIniCdCFOP->text();
            const QString finCfop = edtInsFinCdCFOP->text();
            if (!EmptyString(iniCfop) && EmptyString(finCfop))
                error(edtInsFinCdCFOP, "CFOP_N_INF");
            if (!EmptyString(finCfop) && EmptyString(iniCfop))
                error(edtInsIniCdCFOP, "CFOP_N_INF");
            if (!EmptyString(iniCfop) && !EmptyString(finCfop) && finCfop < iniCfop)
                error(edtInsFinCdCFOP, "CFOP_MAIOR");
            const bool iniGiven = !EmptyString(cmbInsIniCST->currentText());
            const bool finGiven = !EmptyString(cmbInsFinCST->currentText());
            if (iniGiven && !finGiven)
                error(cmbInsFinCST, "CST_N_INF");
            if (finGiven && !iniGiven)
                error(cmbInsIniCST, "CST_N_INF");
            if (iniGiven && finGiven && finCst < iniCst)
                error(cmbInsFinCST, "CST_MAIOR");
            const QString bloqAdmi =
                rdgAdmiBloqItemIndex() == 0 ? QStringLiteral("A") : QStringLiteral("B");
            kvr::fiscal::CadAutoInsere insert;
            insert.tax = edtCdImposto->text();
            insert.firstCst = iniCst;
            insert.lastCst = finCst;
            insert.firstCfop = iniCfop;
            insert.lastCfop = finCfop;
            insert.baseSign = stBc;
            insert.taxValueSign = stImpo;
            insert.rateSign = stAli;
            insert.atEntry = veriLanc;
            insert.atApproval = veriAprov;
            insert.fiscal = stCdFiscal;
            insert.blocked = bloqAdmi;
            RdmConsisteFiscal(connection()).cadAutoInsere(insert);
        }
        showDone();
    }
    if (MaintenanceScreenLink *maintenance = MaintenanceScreenLink::Current())
        maintenance->FocusTaxCode();
    close();
}

void TfrmCadAuto::showDone()
{
    QMessageBox box(QMessageBox::Question, windowTitle(), msgPadrao->Msg(QStringLiteral("CAD_OK")),
                    QMessageBox::Ok, this);
    // The busy pointer is still on: the user answers with a normal one.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    QApplication::restoreOverrideCursor();
}
