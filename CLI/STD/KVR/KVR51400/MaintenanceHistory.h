#pragma once

#include <QObject>

class QAction;
class TfrmConsisteFiscal;

// "Histórico" on the maintenance screen: the tool button sbtHistorico and the
// record menu's mnuHistorico (the current rule) and mnuHistoricoImposto
// (every rule of the tax), each opening a THistoryWindow.
class MaintenanceHistory final : public QObject
{
    Q_OBJECT
public:
    // Adds the button and the menu items to the screen, which owns them.
    static MaintenanceHistory *Attach(TfrmConsisteFiscal *screen);

    void sbtHistoricoClick(QObject *Sender);
    void mnuHistoricoClick();
    void mnuHistoricoImpostoClick();

private:
    explicit MaintenanceHistory(TfrmConsisteFiscal *screen);
    void mostraHistorico(bool wholeTax);
    QString displayText(const QString &field, const QString &value) const;

    TfrmConsisteFiscal *m_screen;
};
