#include "CLI/STD/KVR/KVR51400/MaintenanceHistory.h"

#include "CLI/STD/KVR/KVR51400/Cli_kvr51400.h"
#include "CLI/STD/KVR/KVR51400/HistoryWindow.h"
#include "CLI/STD/KVR/KVR51400/MaintenanceDisplay.h"
#include "kit/core/Consiste.h"
#include "kit/core/Guarded.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TField.h"
#include "kit/widgets/TButtonFlat.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>

MaintenanceHistory::MaintenanceHistory(TfrmConsisteFiscal *screen)
    : QObject(screen), m_screen(screen)
{
}

MaintenanceHistory *MaintenanceHistory::Attach(TfrmConsisteFiscal *screen)
{
    auto *history = new MaintenanceHistory(screen);
    // The tool bar keeps its places: the button comes after close.
    auto *button = new TButtonFlat(screen->panMenu);
    button->setObjectName(QStringLiteral("sbtHistorico"));
    button->SetHint(QStringLiteral("Histórico de alterações da consistência"));
    button->setIcon(screen->style()->standardIcon(QStyle::SP_FileDialogContentsView));
    button->move(screen->sbtFechar->x() + 33, screen->sbtFechar->y());
    button->OnClick = [history](QObject *sender) { history->sbtHistoricoClick(sender); };

    QMenu *records = screen->mnuPrincipal->actions().value(0)->menu();
    if (records) {
        records->addSeparator();
        QAction *rule = records->addAction(QStringLiteral("&Histórico da consistência"));
        rule->setObjectName(QStringLiteral("mnuHistorico"));
        connect(rule, &QAction::triggered, history,
                [history] { kvrGuard([history] { history->mnuHistoricoClick(); }); });
        QAction *tax = records->addAction(QStringLiteral("Histórico do &imposto"));
        tax->setObjectName(QStringLiteral("mnuHistoricoImposto"));
        connect(tax, &QAction::triggered, history,
                [history] { kvrGuard([history] { history->mnuHistoricoImpostoClick(); }); });
    }
    return history;
}

void MaintenanceHistory::sbtHistoricoClick(QObject *Sender)
{
    Q_UNUSED(Sender)
    mostraHistorico(false);
}

void MaintenanceHistory::mnuHistoricoClick()
{
    mostraHistorico(false);
}

void MaintenanceHistory::mnuHistoricoImpostoClick()
{
    mostraHistorico(true);
}

void MaintenanceHistory::mostraHistorico(bool wholeTax)
{
    TClientDataSet *rules = m_screen->cdsConsistencias;
    if (!rules->Active())
        MensErro(QStringLiteral("Informe o imposto para ver o histórico de alterações."), true);
    QString number;
    if (!wholeTax) {
        if (rules->IsEmpty())
            MensErro(QStringLiteral("Não há consistência selecionada para ver o histórico."), true);
        number = rules->FieldByName(QStringLiteral("NRSEQCONSISTE"))->AsString();
    }
    auto *window = new THistoryWindow(
        m_screen->FrameWindow(),
        [this](const QString &field, const QString &value) { return displayText(field, value); },
        [rules](const QString &field) {
            const TField *column = rules->FindField(field);
            return column ? column->DisplayLabel() : field;
        });
    // The window is not shown until it holds the history; a failure drops it.
    try {
        window->Load(m_screen->netConsistencia, m_screen->edtCdImposto->text(),
                     m_screen->edtNmImposto->text(), number);
    } catch (...) {
        delete window;
        throw;
    }
    window->show();
}

// The rule grid's own texts for the coded fields.
QString MaintenanceHistory::displayText(const QString &field, const QString &value) const
{
    if (const std::optional<QString> text = MaintenanceDisplay::OfField(
            *m_screen->msgPadrao, m_screen->Cst(), field, value, m_screen->edtCdImposto->text()))
        return *text;
    if (value == QLatin1String("S"))
        return QStringLiteral("Sim");
    if (value == QLatin1String("N"))
        return QStringLiteral("Não");
    return value;
}
