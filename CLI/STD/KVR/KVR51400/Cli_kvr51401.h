#pragma once

#include "CLI/STD/KVR/KVR51400/CstRoutines.h"
#include "CLI/STD/KVR/KVR51400/ModuleEntries.h"
#include "CLI/STD/KVR/KVR51400/TaxPanel.h"
#include "kit/forms/TfrmRotiGeral.h"

#include <QString>
#include <QtGlobal>

#include <memory>

namespace Ui {
class TfrmCadAutoForm;
}

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class TBtnPesquisa;
class TClientDataSet;
class TDataSource;
class TField;
class TNetConnection;

// The automatic registration screen "KVR51401": changes or creates many
// rules of one tax in one server call. A modal dialog created once per run
// (criaCadAuto); closing only hides it, so it keeps its values. It has no
// connection of its own: every call goes through the maintenance screen's.
// Its controls are declared in Cli_kvr51401.ui.
class TfrmCadAuto final : public TfrmRotiGeral
{
    Q_OBJECT
public:
    // Use TfrmRotiGeral::Create<TfrmCadAuto>() so FormCreate runs.
    explicit TfrmCadAuto(QWidget *parent = nullptr);
    ~TfrmCadAuto() override;

    // Tax panel.
    TaxPanel *Panel2;
    QLineEdit *edtCdImposto;
    TBtnPesquisa *btpImposto;
    QLineEdit *edtNmImposto;
    // Edit mode.
    QRadioButton *chkEdtConsiste;
    QGroupBox *grbEdtConsiste;
    QRadioButton *rbtPeriodoConsiste;
    QGroupBox *grbPeriodoConsiste;
    QLineEdit *edtiniConsiste;
    TBtnPesquisa *btpPesqConsistIni;
    QLineEdit *edtfinConsiste;
    TBtnPesquisa *btpPesqConsistFin;
    QRadioButton *rbtListaConsiste;
    TBtnPesquisa *btpListaConsiste;
    QCheckBox *chkCST;
    QComboBox *cmbCST;
    QCheckBox *chkCFOP;
    QLineEdit *edtCdCFOP;
    TBtnPesquisa *btpCFOP;
    QLineEdit *edtNmCFOP;
    // Include mode.
    QRadioButton *chkIncluiConsiste;
    QGroupBox *grbIncluiConsiste;
    QGroupBox *rdgAdmiBloq; // items "Admitidos" (0) and "Bloqueados" (1)
    QGroupBox *grbCFOP;
    QLineEdit *edtInsIniCdCFOP;
    TBtnPesquisa *btpInsIniCFOP;
    QLineEdit *edtInsIniCFOP;
    QLineEdit *edtInsFinCdCFOP;
    TBtnPesquisa *btpInsFinCFOP;
    QLineEdit *edtInsFinCFOP;
    QGroupBox *grbCST;
    QComboBox *cmbInsIniCST;
    QComboBox *cmbInsFinCST;
    // Attribute options, shared by both modes.
    QFrame *Panel1;
    QCheckBox *chkCdFiscal;
    QComboBox *cmbCdFiscal;
    QCheckBox *chkImposto;
    QComboBox *cmbImposto;
    QCheckBox *chkBaseCalc;
    QComboBox *cmbBaseCalc;
    QCheckBox *chkAliquota;
    QComboBox *cmbAliquota;
    QCheckBox *chkVerifica;
    QGroupBox *grbVerifica;
    QCheckBox *chkLancamento;
    QCheckBox *chkAprovacao;

    TClientDataSet *cdsImposto;
    TDataSource *dtsImposto;
    TClientDataSet *cdsConsistencias;
    TDataSource *dtsConsistencias;
    TClientDataSet *cdsCFOP;
    TDataSource *dtsCFOP;
    TClientDataSet *cdsvdConsistencia;
    TMessages *msgCST;

    // Selected item of rdgAdmiBloq (0 "Admitidos", 1 "Bloqueados").
    int rdgAdmiBloqItemIndex() const;

    // CST family, text, list and validity for the chosen tax (cdsImposto).
    const CstRoutines &Cst() const { return m_cst; }

    // Display texts of the rule's coded fields (OnGetText of the fields).
    void cdsConsistenciasCDSITUTRIBGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasCDFISCALGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasIDTPALIQUOTAGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasIDTPVRIMPOSTOGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasIDTPBASECALCGetText(TField *Sender, QString &Text, bool DisplayText);

    // Enables or disables the direct children of `Control`, except text
    // edits in the button-face colour; never descends, never recolours.
    void SetChildEnabledNovo(QWidget *Control, bool Enabled);

    // Mode and option state.
    void chkEdtConsisteClick(QObject *Sender);
    void chkincluiConsisteClick(QObject *Sender);
    void chkCdFiscalClick(QObject *Sender);
    void chkImpostoClick(QObject *Sender);
    void chkBaseCalcClick(QObject *Sender);
    void chkAliquotaClick(QObject *Sender);
    void chkCSTClick(QObject *Sender);
    void chkCFOPClick(QObject *Sender);
    void chkVerificaClick(QObject *Sender);
    void rbtPeriodoConsisteClick(QObject *Sender);
    void rbtListaConsisteClick(QObject *Sender);
    void Panel2Enter(QObject *Sender);
    void Panel2Exit(QObject *Sender);
    void preencheCST();
    // CST combo boxes take no typed character but Backspace (Key 0 = dropped).
    void cmbCSTKeyPress(QObject *Sender, QChar &Key);
    void cmbInsIniCSTKeyPress(QObject *Sender, QChar &Key);
    void cmbInsFinCSTKeyPress(QObject *Sender, QChar &Key);

    // Lookups.
    void btpImpostoBeforePesq(QObject *Sender, bool &AllowPesq);
    void btpImpostoAfterPesq(QObject *Sender);
    void btpPesqConsistIniBeforePesq(QObject *Sender, bool &AllowPesq);
    void btpPesqConsistIniAfterPesq(QObject *Sender);
    void btpPesqConsistFinBeforePesq(QObject *Sender, bool &AllowPesq);
    void btpPesqConsistFinAfterPesq(QObject *Sender);
    void btpCFOPBeforePesq(QObject *Sender, bool &AllowPesq);
    void btpCFOPAfterPesq(QObject *Sender);
    void btpInsIniCFOPBeforePesq(QObject *Sender, bool &AllowPesq);
    void btpInsIniCFOPAfterPesq(QObject *Sender);
    void btpInsFinCFOPBeforePesq(QObject *Sender, bool &AllowPesq);
    void btpInsFinCFOPAfterPesq(QObject *Sender);
    void btpListaConsisteClick(QObject *Sender);

    // Field checks: a failure focuses the field and ends the action.
    void vdImposto();
    void vdConsistencias(QLineEdit *consiste, bool boTestaVazio);
    void vdCfop(QLineEdit *cfop);
    void edtiniConsisteExit(QObject *Sender);
    void edtfinConsisteExit(QObject *Sender);
    void edtCdCFOPExit(QObject *Sender);
    void edtInsIniCdCFOPExit(QObject *Sender);
    void edtInsFinCdCFOPExit(QObject *Sender);

    // Checks the chosen mode, then updates (cadAutoAtualiza) or generates
    // (cadAutoInsere) the rules in one call; on success hands the focus back
    // to the maintenance screen and hides.
    void sbtConfirmaClick() override;

protected:
    void FormCreate() override;
    void FormShow() override;
    void FormClose(TCloseAction &Action) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createRecords();
    void takeControls();
    void prepareFields();
    void connectHandlers();
    void connectLookups();
    TNetConnection *connection() const;
    void loadRules();
    void loadCfops();
    void showDone();

    std::unique_ptr<Ui::TfrmCadAutoForm> m_ui;
    CstRoutines m_cst;
    QButtonGroup *m_modes;
    QButtonGroup *m_selection;
    QButtonGroup *m_admiBloq;
};

extern "C" {
Q_DECL_EXPORT extern TfrmCadAuto *frmCadAuto;
// Rules picked in list mode, "0000000003,0000000007"; kept until unload.
Q_DECL_EXPORT extern QString stListaConsiste;
}

// Unit start and end, run by the package's Initialize and Finalize.
namespace Cli_kvr51401 {
void Initialization();
void Finalization();
} // namespace Cli_kvr51401
