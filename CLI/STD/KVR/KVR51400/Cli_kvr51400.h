#pragma once

#include "CLI/STD/KVR/KVR51400/CstRoutines.h"
#include "kit/forms/TfrmPadraoGrid.h"

#include <QtGlobal>

class QCheckBox;
class QLineEdit;
class QMenu;
class TBtnPesquisa;
class TField;
class TNetConnection;

// The consistency maintenance screen "KVR51400": the blocked rules of one
// tax, edited in place and saved to the application server at once.
// Created once per run through CriaConsistencia; an MDI child of the host.
class TfrmConsisteFiscal final : public TfrmPadraoGrid
{
    Q_OBJECT
public:
    // Use TfrmPadraoGrid::Create<TfrmConsisteFiscal>() so FormCreate runs.
    explicit TfrmConsisteFiscal(QWidget *parent = nullptr);
    ~TfrmConsisteFiscal() override;

    TButtonFlat *btnCadFiscal;
    TButtonFlat *sbtAutomatico;
    QFrame *panImposto;
    QLineEdit *edtCdImposto;
    TBtnPesquisa *btpImposto;
    QLineEdit *edtNmImposto;
    QLabel *imgCheck;
    QLabel *imgUncheck;
    QWidget *tshBloqueados;
    TDBGrid *dbgBloqueados;
    QFrame *panVerificaBloq;
    QCheckBox *dbcLancamentoBloq;
    QCheckBox *dbcAprovacaoBloq;
    TClientDataSet *cdsConsistencias;
    TDataSource *dtsConsistencias;
    TClientDataSet *cdsImposto;
    TDataSource *dtsimposto;
    TClientDataSet *cdsCFOP;
    TDataSource *dtsCFOP;
    TMessages *msgCST;
    TNetConnection *netConsistencia;
    QMenu *pmnOpcaoCadFiscal;
    QAction *mnuOpcaoAliqCSTImp;
    QAction *mnuOpcaoDadosFiscCSTImposto;

    // CST family, text, list and validity for the chosen tax (cdsImposto).
    const CstRoutines &Cst() const { return m_cst; }

    // Display texts of the rule's coded fields (OnGetText of the fields).
    void cdsConsistenciasIDENTRSAIDOPGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasCDFISCOPERGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasCDCST1DIGTGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasCDSITUTRIBGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasCDFISCALGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasIDTPBASECALCGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasIDTPALIQUOTAGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasIDTPVRIMPOSTOGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasCDTPCREDPICOITEGetText(TField *Sender, QString &Text, bool DisplayText);

    void netConsistenciaBeforeConnect(TNetConnection *Sender);
    void sbtAutomaticoClick(QObject *Sender);
    void btnCadFiscalClick(QObject *Sender);
    void mnuOpcaoAliqCSTImpClick();
    void mnuOpcaoDadosFiscCSTImpostoClick();

protected:
    void FormCreate() override;
    void FormClose(TCloseAction &Action) override;

private:
    void createTaxPanel();
    void createRulePage();
    void createCheckPanel();
    void createRecords();

    CstRoutines m_cst;
};

extern "C" {
Q_DECL_EXPORT extern TfrmConsisteFiscal *frmConsisteFiscal;
// Start entry of the module: opens the maintenance screen.
Q_DECL_EXPORT void IniProc();
Q_DECL_EXPORT void CriaConsistencia();
}

// Unit start and end, run by the package's Initialize and Finalize.
namespace Cli_kvr51400 {
void Initialization();
void Finalization();
} // namespace Cli_kvr51400
