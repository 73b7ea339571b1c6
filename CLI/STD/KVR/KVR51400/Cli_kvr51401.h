#pragma once

#include "CLI/STD/KVR/KVR51400/CstRoutines.h"
#include "kit/forms/TfrmRotiGeral.h"

#include <QString>
#include <QtGlobal>

class QLineEdit;
class TClientDataSet;
class TDataSource;
class TField;

// The automatic registration screen "KVR51401": changes or creates many
// rules of one tax in one server call. A modal dialog created once per run
// (criaCadAuto); closing only hides it, so it keeps its values.
class TfrmCadAuto final : public TfrmRotiGeral
{
    Q_OBJECT
public:
    // Use TfrmRotiGeral::Create<TfrmCadAuto>() so FormCreate runs.
    explicit TfrmCadAuto(QWidget *parent = nullptr);
    ~TfrmCadAuto() override;

    QLineEdit *edtCdImposto;
    QLineEdit *edtNmImposto;
    TClientDataSet *cdsImposto;
    TDataSource *dtsImposto;
    TClientDataSet *cdsConsistencias;
    TDataSource *dtsConsistencias;
    TClientDataSet *cdsCFOP;
    TDataSource *dtsCFOP;
    TMessages *msgCST;

    // CST family, text, list and validity for the chosen tax (cdsImposto).
    const CstRoutines &Cst() const { return m_cst; }

    // Display texts of the rule's coded fields (OnGetText of the fields).
    void cdsConsistenciasCDSITUTRIBGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasCDFISCALGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasIDTPALIQUOTAGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasIDTPVRIMPOSTOGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasIDTPBASECALCGetText(TField *Sender, QString &Text, bool DisplayText);

protected:
    void FormCreate() override;
    void FormShow() override;
    void FormClose(TCloseAction &Action) override;

private:
    void createRecords();
    void createTaxPanel();

    CstRoutines m_cst;
};

extern "C" {
Q_DECL_EXPORT extern TfrmCadAuto *frmCadAuto;
// Rules picked in list mode, "0000000003,0000000007"; kept until unload.
Q_DECL_EXPORT extern QString stListaConsiste;
// Shows the automatic registration screen modally; needs frmConsisteFiscal.
Q_DECL_EXPORT void criaCadAuto();
}

// Unit start and end, run by the package's Initialize and Finalize.
namespace Cli_kvr51401 {
void Initialization();
void Finalization();
} // namespace Cli_kvr51401
