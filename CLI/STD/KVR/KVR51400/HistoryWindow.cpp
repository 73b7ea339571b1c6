#include "CLI/STD/KVR/KVR51400/HistoryWindow.h"

#include "CLI/STD/KVR/KVR51400/RdmConsisteFiscal.h"
#include "CLI/STD/KVR/KVR51400/ServerCalls.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TField.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString Before = QStringLiteral("_ANTES");

QString operationText(const QString &code)
{
    if (code == QLatin1String("I"))
        return QStringLiteral("Inclusão");
    if (code == QLatin1String("A"))
        return QStringLiteral("Alteração");
    if (code == QLatin1String("E"))
        return QStringLiteral("Exclusão");
    return code;
}

} // namespace

THistoryWindow::THistoryWindow(QWidget *parent, DisplayText displayText, FieldLabel fieldLabel)
    : QDialog(parent), lblTitulo(new QLabel(this)), grdHistorico(new QTableWidget(this)),
      cdsHistorico(new TClientDataSet(this)), m_displayText(std::move(displayText)),
      m_fieldLabel(std::move(fieldLabel))
{
    setObjectName(QStringLiteral("frmHistorico"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(900, 420);
    lblTitulo->setObjectName(QStringLiteral("lblTitulo"));
    cdsHistorico->setObjectName(QStringLiteral("cdsHistorico"));
    grdHistorico->setObjectName(QStringLiteral("grdHistorico"));
    grdHistorico->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdHistorico->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdHistorico->setWordWrap(true);
    grdHistorico->verticalHeader()->hide();
    grdHistorico->setColumnCount(6);
    grdHistorico->setHorizontalHeaderLabels(
        {QStringLiteral("Data e hora"), QStringLiteral("Usuário"), QStringLiteral("Origem"),
         QStringLiteral("Operação"), QStringLiteral("Consistência"), QStringLiteral("Alterações")});
    grdHistorico->horizontalHeader()->setStretchLastSection(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *close = buttons->button(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("btnFechar"));
    close->setText(QStringLiteral("&Fechar"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblTitulo);
    layout->addWidget(grdHistorico);
    layout->addWidget(buttons);
}

void THistoryWindow::Load(TNetConnection *connection, const QString &tax, const QString &taxName,
                          const QString &number)
{
    {
        TBusyScope busy;
        cdsHistorico->SetData(RdmConsisteFiscal(connection).getHistorico(tax, number));
    }
    const QString subject =
        number.isEmpty()
            ? QStringLiteral("das consistências do imposto %1 - %2").arg(tax, taxName)
            : QStringLiteral("da consistência %1 (imposto %2 - %3)").arg(number, tax, taxName);
    setWindowTitle(QStringLiteral("Histórico de alterações"));
    lblTitulo->setText(
        cdsHistorico->IsEmpty()
            ? QStringLiteral("Nenhuma alteração registrada %1.").arg(subject)
            : QStringLiteral("Alterações %1, da mais recente à mais antiga.").arg(subject));
    grdHistorico->setRowCount(cdsHistorico->RecordCount());
    int row = 0;
    for (cdsHistorico->First(); !cdsHistorico->Eof(); cdsHistorico->Next(), ++row) {
        const auto text = [this](const char *name) {
            return cdsHistorico->FieldByName(QString::fromLatin1(name))->AsString();
        };
        const QDateTime when = QDateTime::fromString(text("DTALTERACAO"), Qt::ISODateWithMs);
        const QString user = text("NMUSUARIO");
        const QStringList cells = {
            when.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")),
            user.isEmpty() ? QStringLiteral("(sem login)") : user,
            text("DSORIGEM"),
            operationText(text("IDOPERACAO")),
            text("NRSEQCONSISTE"),
            changesOf()};
        for (int column = 0; column < cells.size(); ++column)
            grdHistorico->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    grdHistorico->resizeColumnsToContents();
    grdHistorico->resizeRowsToContents();
    cdsHistorico->First();
}

// The current history row's changed fields, one a line: "Title: old → new".
QString THistoryWindow::changesOf() const
{
    const QString names = cdsHistorico->FieldByName(QStringLiteral("DSCAMPOS"))->AsString();
    QStringList lines;
    for (const QString &name : names.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const TField *before = cdsHistorico->FindField(name + Before);
        const TField *after = cdsHistorico->FindField(name + QStringLiteral("_DEPOIS"));
        if (!before || !after)
            continue;
        const auto shown = [&](const QString &value) {
            return value.isEmpty() ? QStringLiteral("(vazio)") : m_displayText(name, value);
        };
        lines.append(
            QStringLiteral("%1: %2 → %3")
                .arg(m_fieldLabel(name), shown(before->AsString()), shown(after->AsString())));
    }
    return lines.join(QLatin1Char('\n'));
}
