#pragma once

#include <functional>

class QLineEdit;
class TClientDataSet;
class TMessages;
class TNetConnection;

// The tax choice both screens share: the tax code edit, its lookup and the
// check against the server. The screens' handlers (btpImpostoBeforePesq,
// btpImpostoAfterPesq, vdImposto) delegate here.
class TaxPanel final
{
public:
    // The connection is asked for at every call: the automatic screen
    // borrows the maintenance screen's, which may be gone.
    using ConnectionSource = std::function<TNetConnection *()>;

    TaxPanel(QLineEdit *edtCdImposto, QLineEdit *edtNmImposto, TClientDataSet *cdsImposto,
             const TMessages *msgPadrao, ConnectionSource connection);

    // Loads every tax for the lookup (an empty code and the filter "T").
    void LoadTaxes() const;
    // Copies the picked tax's code and name into the two edits.
    void CopyPicked() const;
    // The tax code must be given and registered: the edit is filled to two
    // digits first, and the tax row becomes cdsImposto's current row.
    // Failures put the focus on the code and end the action (MensErro).
    void Check() const;

private:
    QLineEdit *m_edtCdImposto;
    QLineEdit *m_edtNmImposto;
    TClientDataSet *m_cdsImposto;
    const TMessages *m_msgPadrao;
    ConnectionSource m_connection;
};
