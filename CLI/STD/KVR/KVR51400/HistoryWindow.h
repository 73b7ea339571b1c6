#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QTableWidget;
class TClientDataSet;
class TNetConnection;

// The history of changes of one rule or of every rule of a tax, read-only:
// when (local time), who, from where, the operation and each changed field
// as "old → new" in the texts the rule grid shows.
class THistoryWindow final : public QDialog
{
    Q_OBJECT
public:
    // The text the grid shows for a field's value, and the field's title.
    using DisplayText = std::function<QString(const QString &field, const QString &value)>;
    using FieldLabel = std::function<QString(const QString &field)>;

    THistoryWindow(QWidget *parent, DisplayText displayText, FieldLabel fieldLabel);

    // Asks the server (busy animation; a failure is shown and ends the
    // action) and fills the window; `number` "" for every rule of the tax.
    void Load(TNetConnection *connection, const QString &tax, const QString &taxName,
              const QString &number);

    QLabel *lblTitulo;
    QTableWidget *grdHistorico;
    TClientDataSet *cdsHistorico;

private:
    QString changesOf() const;

    DisplayText m_displayText;
    FieldLabel m_fieldLabel;
};
