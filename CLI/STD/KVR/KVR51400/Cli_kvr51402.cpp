#include "CLI/STD/KVR/KVR51400/Cli_kvr51402.h"

#include "CLI/STD/KVR/KVR51400/CstRoutines.h"
#include "CLI/STD/KVR/KVR51400/FieldColour.h"
#include "CLI/STD/KVR/KVR51400/MaintenanceDisplay.h"
#include "CLI/STD/KVR/KVR51400/MaintenanceScreenLink.h"
#include "CLI/STD/KVR/KVR51400/ModuleEntries.h"
#include "CLI/STD/KVR/KVR51400/RdmConsisteFiscal.h"
#include "CLI/STD/KVR/KVR51400/RuleMapModel.h"
#include "CLI/STD/KVR/KVR51400/RuleRecords.h"
#include "CLI/STD/KVR/KVR51400/ServerCalls.h"
#include "fiscal/FindingRecord.h"
#include "fiscal/RuleRecord.h"
#include "kit/core/Consiste.h"
#include "kit/core/MainForm.h"
#include "kit/core/ScreenCursor.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/widgets/TBtnPesquisa.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

TfrmSimulacao *frmSimulacao = nullptr;

using kvr::fiscal::RuleMatch;
using R = kvr::fiscal::RuleRecord;

namespace {

template <typename W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QComboBox *combo(const char *name, const QStringList &items)
{
    auto *box = named(new QComboBox, name);
    box->addItems(items);
    setFieldColour(box, QPalette::ToolTipBase);
    return box;
}

// The code a pick-list item stands for: what comes before " - ".
QString codeOf(const QComboBox *box)
{
    return box->currentText().section(QStringLiteral(" - "), 0, 0).trimmed();
}

QList<QStringList> rowsOf(const QJsonObject &packet)
{
    QList<QStringList> rows;
    for (const QJsonValue &row : packet[u"rows"].toArray()) {
        QStringList values;
        for (const QJsonValue &value : row.toArray())
            values.append(value.toString());
        rows.append(values);
    }
    return rows;
}

QTableWidget *table(const char *name, const QStringList &titles)
{
    auto *grid = named(new QTableWidget, name);
    grid->setColumnCount(int(titles.size()));
    grid->setHorizontalHeaderLabels(titles);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->verticalHeader()->setVisible(false);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Empty, each column is as wide as its title: the first one is in view.
    grid->resizeColumnsToContents();
    return grid;
}

void setRow(QTableWidget *grid, int row, const QStringList &texts)
{
    for (int column = 0; column < texts.size(); ++column)
        grid->setItem(row, column, new QTableWidgetItem(texts.at(column)));
}

const QStringList &signItems()
{
    static const QStringList items{QStringLiteral("1 - Menor que Zero"),
                                   QStringLiteral("2 - Igual a Zero"),
                                   QStringLiteral("3 - Maior que Zero")};
    return items;
}

const QStringList &stageItems()
{
    static const QStringList items{QStringLiteral("L - Lançamento"),
                                   QStringLiteral("A - Aprovação")};
    return items;
}

const QStringList &directionItems()
{
    static const QStringList items{QStringLiteral("E - Entrada"), QStringLiteral("S - Saída")};
    return items;
}

QLabel *legend(const QString &text, const QColor &colour)
{
    auto *label = new QLabel(text);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::WindowText, colour.lightness() < 200 ? Qt::white : Qt::black);
    label->setPalette(palette);
    label->setMargin(4);
    return label;
}

// The maintenance screen's connection: the screen has none of its own.
RdmConsisteFiscal server()
{
    MaintenanceScreenLink *maintenance = MaintenanceScreenLink::Current();
    return RdmConsisteFiscal(maintenance ? maintenance->Connection() : nullptr);
}

} // namespace

TfrmSimulacao::TfrmSimulacao(QWidget *parent)
    : TfrmRotiGeral(parent), cdsCFOP(new TClientDataSet(this)), dtsCFOP(new TDataSource(this)),
      m_map(new RuleMapModel(this))
{
    setObjectName(QStringLiteral("frmSimulacao"));
    setWindowTitle(QStringLiteral("Simulação de Consistências"));
    lblCodTela->setText(QStringLiteral("KVR51402"));
    setModal(false);
    sbtConfirma->SetHint(QStringLiteral("Executar"));
    resize(1240, 740);

    cdsCFOP->setObjectName(QStringLiteral("cdsCFOP"));
    RuleRecords::DeclareCfops(cdsCFOP);
    dtsCFOP->setObjectName(QStringLiteral("dtsCFOP"));
    dtsCFOP->SetDataSet(cdsCFOP);

    auto *layout = new QVBoxLayout(grbDadosRel);
    auto *taxRow = new QHBoxLayout;
    taxRow->addWidget(new QLabel(QStringLiteral("Imposto")));
    edtCdImposto = named(new QLineEdit, "edtCdImposto");
    edtCdImposto->setReadOnly(true);
    edtCdImposto->setMaximumWidth(40);
    setFieldColour(edtCdImposto, QPalette::Button);
    taxRow->addWidget(edtCdImposto);
    edtNmImposto = named(new QLineEdit, "edtNmImposto");
    edtNmImposto->setReadOnly(true);
    edtNmImposto->setMinimumWidth(300);
    setFieldColour(edtNmImposto, QPalette::Button);
    taxRow->addWidget(edtNmImposto);
    taxRow->addStretch(1);
    layout->addLayout(taxRow);

    pgcSimulacao = named(new QTabWidget, "pgcSimulacao");
    layout->addWidget(pgcSimulacao, 1);
    createLinePage();
    createMapPage();
    createFindingsPage();
    // The map and the findings come the first time their page is shown.
    connect(pgcSimulacao, &QTabWidget::currentChanged, this, [this](int) {
        kvrGuard([this]() {
            if (pgcSimulacao->currentWidget() == tshMapa && m_map->rowCount() == 0)
                btnMapaClick();
            else if (pgcSimulacao->currentWidget() == tshConflitos &&
                     dbgConflitos->rowCount() == 0 && lblConflitos->text().isEmpty())
                btnConflitosClick();
        });
    });
}

TfrmSimulacao::~TfrmSimulacao()
{
    if (frmSimulacao == this)
        frmSimulacao = nullptr;
}

void TfrmSimulacao::createLinePage()
{
    tshSimulacao = named(new QWidget, "tshSimulacao");
    pgcSimulacao->addTab(tshSimulacao, QStringLiteral("Simulação"));
    auto *page = new QVBoxLayout(tshSimulacao);

    auto *fields = new QGridLayout;
    cmbEtapa = combo("cmbEtapa", stageItems());
    cmbOperacao = combo("cmbOperacao", directionItems());
    cmbOperacao->setCurrentIndex(1);
    edtCdCFOP = named(new QLineEdit, "edtCdCFOP");
    edtCdCFOP->setMaxLength(4);
    edtCdCFOP->setMaximumWidth(60);
    setFieldColour(edtCdCFOP, QPalette::ToolTipBase);
    btpCFOP = named(new TBtnPesquisa, "btpCFOP");
    btpCFOP->SetAssociate(edtCdCFOP);
    btpCFOP->SetDataSource(dtsCFOP);
    btpCFOP->OnBeforePesq = [this](QObject *sender, bool &allow) {
        btpCFOPBeforePesq(sender, allow);
    };
    btpCFOP->OnAfterPesq = [this](QObject *sender) { btpCFOPAfterPesq(sender); };
    edtNmCFOP = named(new QLineEdit, "edtNmCFOP");
    edtNmCFOP->setEnabled(false);
    setFieldColour(edtNmCFOP, QPalette::Button);
    connect(edtCdCFOP, &QLineEdit::editingFinished, this,
            [this]() { kvrGuard([this]() { vdCfop(); }); });
    cmbCST1 = combo("cmbCST1", {});
    cmbCST = combo("cmbCST", {});
    cmbCdFiscal = combo("cmbCdFiscal", {});
    cmbBaseCalc = combo("cmbBaseCalc", signItems());
    cmbAliquota = combo("cmbAliquota", signItems());
    cmbImposto = combo("cmbImposto", signItems());
    for (QComboBox *sign : {cmbBaseCalc, cmbAliquota, cmbImposto})
        sign->setCurrentIndex(2);
    edtCredito = named(new QLineEdit, "edtCredito");
    edtCredito->setMaxLength(3);
    edtCredito->setMaximumWidth(60);
    setFieldColour(edtCredito, QPalette::ToolTipBase);

    const auto label = [](const char *text) { return new QLabel(QString::fromUtf8(text)); };
    auto *cfopRow = new QHBoxLayout;
    cfopRow->addWidget(edtCdCFOP);
    cfopRow->addWidget(btpCFOP);
    cfopRow->addWidget(edtNmCFOP, 1);
    fields->addWidget(label("Etapa"), 0, 0);
    fields->addWidget(cmbEtapa, 0, 1);
    fields->addWidget(label("E/S"), 0, 2);
    fields->addWidget(cmbOperacao, 0, 3);
    fields->addWidget(label("CFOP"), 1, 0);
    fields->addLayout(cfopRow, 1, 1, 1, 3);
    fields->addWidget(label("1° Dig. CST"), 2, 0);
    fields->addWidget(cmbCST1, 2, 1, 1, 3);
    fields->addWidget(label("CST"), 3, 0);
    fields->addWidget(cmbCST, 3, 1, 1, 3);
    fields->addWidget(label("Código Fiscal"), 4, 0);
    fields->addWidget(cmbCdFiscal, 4, 1);
    fields->addWidget(label("Tp. Crédito"), 4, 2);
    fields->addWidget(edtCredito, 4, 3);
    fields->addWidget(label("TP. Vr. BC"), 5, 0);
    fields->addWidget(cmbBaseCalc, 5, 1);
    fields->addWidget(label("Tipo Aliquota"), 5, 2);
    fields->addWidget(cmbAliquota, 5, 3);
    fields->addWidget(label("TP. Vr. Imposto"), 6, 0);
    fields->addWidget(cmbImposto, 6, 1);
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(3, 1);

    auto *top = new QHBoxLayout;
    top->addLayout(fields, 3);
    auto *verdict = new QVBoxLayout;
    lblVeredito = named(new QLabel, "lblVeredito");
    lblVeredito->setAlignment(Qt::AlignCenter);
    lblVeredito->setWordWrap(true);
    lblVeredito->setMinimumSize(320, 120);
    lblVeredito->setAutoFillBackground(true);
    QFont big = lblVeredito->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    lblVeredito->setFont(big);
    verdict->addWidget(lblVeredito, 1);
    btnSimular = named(new QPushButton(QStringLiteral("Simular")), "btnSimular");
    connect(btnSimular, &QPushButton::clicked, this,
            [this]() { kvrGuard([this]() { btnSimularClick(); }); });
    verdict->addWidget(btnSimular);
    top->addLayout(verdict, 2);
    page->addLayout(top);

    page->addWidget(new QLabel(QStringLiteral(
        "Consistências que se aplicam (duplo clique abre a consistência na manutenção)")));
    dbgRegras =
        table("dbgRegras",
              {QStringLiteral("Cód. Consistência"), QStringLiteral("Bloq./Adm."),
               QStringLiteral("E/S"), QStringLiteral("CFOP"), QStringLiteral("1° Dig. CST"),
               QStringLiteral("CST"), QStringLiteral("Código Fiscal"), QStringLiteral("TP. Vr. BC"),
               QStringLiteral("Tipo Aliquota"), QStringLiteral("TP. Vr. Imposto"),
               QStringLiteral("Tp. Crédito"), QStringLiteral("Descrição")});
    connect(dbgRegras, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        kvrGuard([this, row]() { irParaConsistencia(dbgRegras->item(row, 0)->text()); });
    });
    page->addWidget(dbgRegras, 1);
}

void TfrmSimulacao::createMapPage()
{
    tshMapa = named(new QWidget, "tshMapa");
    pgcSimulacao->addTab(tshMapa, QStringLiteral("Mapa"));
    auto *page = new QVBoxLayout(tshMapa);
    auto *options = new QHBoxLayout;
    cmbMapaEtapa = combo("cmbMapaEtapa", stageItems());
    cmbMapaOperacao = combo("cmbMapaOperacao", directionItems());
    cmbMapaOperacao->setCurrentIndex(1);
    btnMapa = named(new QPushButton(QStringLiteral("Mostrar mapa")), "btnMapa");
    connect(btnMapa, &QPushButton::clicked, this,
            [this]() { kvrGuard([this]() { btnMapaClick(); }); });
    options->addWidget(new QLabel(QStringLiteral("Etapa")));
    options->addWidget(cmbMapaEtapa);
    options->addWidget(new QLabel(QStringLiteral("E/S")));
    options->addWidget(cmbMapaOperacao);
    options->addWidget(btnMapa);
    options->addSpacing(16);
    options->addWidget(legend(QStringLiteral("Só bloqueadas"), QColor(0xe5, 0x39, 0x35)));
    options->addWidget(legend(QStringLiteral("Só admitidas"), QColor(0x43, 0xa0, 0x47)));
    options->addWidget(legend(QStringLiteral("Bloqueadas e admitidas"), QColor(0xfb, 0x8c, 0x00)));
    options->addWidget(legend(QStringLiteral("Nenhuma"), QColor(0xf2, 0xf2, 0xf2)));
    options->addWidget(new QLabel(QStringLiteral("Célula: bloqueadas/admitidas")));
    options->addStretch(1);
    page->addLayout(options);

    auto *body = new QHBoxLayout;
    dbgMapa = named(new QTableView, "dbgMapa");
    dbgMapa->setModel(m_map);
    dbgMapa->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgMapa->setSelectionMode(QAbstractItemView::SingleSelection);
    dbgMapa->horizontalHeader()->setDefaultSectionSize(32);
    dbgMapa->horizontalHeader()->setMinimumSectionSize(20);
    dbgMapa->verticalHeader()->setDefaultSectionSize(20);
    dbgMapa->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QFont small = dbgMapa->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    dbgMapa->setFont(small);
    m_map->SetRulesOfCell(
        [this](const QString &cfop, const QString &cst) { return rulesOfCell(cfop, cst, 12); });
    connect(dbgMapa, &QTableView::clicked, this, [this](const QModelIndex &index) {
        kvrGuard([this, index]() { dbgMapaClick(index.row(), index.column()); });
    });
    body->addWidget(dbgMapa, 1);
    auto *side = new QVBoxLayout;
    lblCelula = named(new QLabel(QStringLiteral("Clique numa célula para ver as consistências.")),
                      "lblCelula");
    lblCelula->setWordWrap(true);
    side->addWidget(lblCelula);
    lstCelula = named(new QListWidget, "lstCelula");
    connect(lstCelula, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        kvrGuard([this, item]() { irParaConsistencia(item->data(Qt::UserRole).toString()); });
    });
    side->addWidget(lstCelula, 1);
    auto *sideWidget = new QWidget;
    sideWidget->setLayout(side);
    sideWidget->setFixedWidth(240);
    body->addWidget(sideWidget);
    page->addLayout(body, 1);
}

void TfrmSimulacao::createFindingsPage()
{
    tshConflitos = named(new QWidget, "tshConflitos");
    pgcSimulacao->addTab(tshConflitos, QStringLiteral("Conflitos"));
    auto *page = new QVBoxLayout(tshConflitos);
    auto *options = new QHBoxLayout;
    btnConflitos =
        named(new QPushButton(QStringLiteral("Procurar conflitos e redundâncias")), "btnConflitos");
    connect(btnConflitos, &QPushButton::clicked, this,
            [this]() { kvrGuard([this]() { btnConflitosClick(); }); });
    options->addWidget(btnConflitos);
    lblConflitos = named(new QLabel, "lblConflitos");
    options->addWidget(lblConflitos, 1);
    page->addLayout(options);
    const QStringList side{QStringLiteral("Bloq./Adm."),  QStringLiteral("E/S"),
                           QStringLiteral("CFOP"),        QStringLiteral("CST"),
                           QStringLiteral("Cód. Fiscal"), QStringLiteral("Etapas (L/A)"),
                           QStringLiteral("Descrição")};
    dbgConflitos =
        table("dbgConflitos", QStringList{QStringLiteral("Tipo"), QStringLiteral("Consistência")} +
                                  side + QStringList{QStringLiteral("Outra")} + side);
    dbgConflitos->horizontalHeader()->setStretchLastSection(false);
    connect(dbgConflitos, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
        kvrGuard([this, row, column]() {
            irParaConsistencia(dbgConflitos->item(row, column < 9 ? 1 : 9)->text());
        });
    });
    page->addWidget(new QLabel(
        QStringLiteral("Duplo clique à esquerda abre a consistência; à direita, a outra.")));
    page->addWidget(dbgConflitos, 1);
}

void TfrmSimulacao::SetImposto(const QString &code, const QString &name)
{
    const bool changed = code != edtCdImposto->text();
    edtCdImposto->setText(code);
    edtNmImposto->setText(name);
    if (!changed)
        return;
    dbgRegras->setRowCount(0);
    dbgConflitos->setRowCount(0);
    lblConflitos->clear();
    lstCelula->clear();
    m_map->SetCells({});
    lblVeredito->clear();
    lblVeredito->setPalette(palette());
    m_rows.clear();
    m_rules.clear();
    // The lists come from the maintenance screen, which holds the tax.
    const MaintenanceScreenLink *maintenance = MaintenanceScreenLink::Current();
    if (!maintenance)
        return;
    const TMessages &messages = maintenance->Messages();
    cmbCST1->clear();
    cmbCST1->addItem(QString());
    for (int digit = 0; digit <= 8; ++digit)
        cmbCST1->addItem(messages.Msg(QStringLiteral("1CST%1").arg(digit)));
    cmbCST->clear();
    cmbCST->addItem(QString());
    cmbCST->addItems(maintenance->CstOfTax().List());
    cmbCdFiscal->clear();
    for (const char *fiscal : {"1", "2", "3"})
        cmbCdFiscal->addItem(messages.Msg(QString::fromLatin1(fiscal)));
}

void TfrmSimulacao::sbtConfirmaClick()
{
    if (pgcSimulacao->currentWidget() == tshMapa)
        btnMapaClick();
    else if (pgcSimulacao->currentWidget() == tshConflitos)
        btnConflitosClick();
    else
        btnSimularClick();
}

void TfrmSimulacao::btpCFOPBeforePesq(QObject *, bool &)
{
    TBusyScope busy;
    cdsCFOP->SetData(server().getCFOP());
}

void TfrmSimulacao::btpCFOPAfterPesq(QObject *)
{
    edtCdCFOP->setText(cdsCFOP->FieldByName(QStringLiteral("CDCFOPPADRAO"))->AsString());
    edtNmCFOP->setText(cdsCFOP->FieldByName(QStringLiteral("DSCFOPPADRAO"))->AsString());
}

void TfrmSimulacao::vdCfop()
{
    if (EmptyString(edtCdCFOP->text())) {
        edtNmCFOP->clear();
        return;
    }
    const QString code = Ajusta(edtCdCFOP->text(), 4);
    edtCdCFOP->setText(code);
    // Leaving the field and then Simular both ask: a code already checked
    // (or picked) and shown is not asked for again.
    if (cdsCFOP->Active() && !cdsCFOP->IsEmpty() && !edtNmCFOP->text().isEmpty() &&
        cdsCFOP->FieldByName(QStringLiteral("CDCFOPPADRAO"))->AsString() == code)
        return;
    if (!cdsCFOP->Active())
        cdsCFOP->CreateDataSet();
    cdsCFOP->EmptyDataSet();
    cdsCFOP->SetData(server().getVdCFOP(edtCdCFOP->text()));
    if (cdsCFOP->IsEmpty()) {
        edtNmCFOP->clear();
        edtCdCFOP->setFocus();
        MensErro(QStringLiteral("CFOP não cadastrado"), true);
    }
    edtNmCFOP->setText(cdsCFOP->FieldByName(QStringLiteral("DSCFOPPADRAO"))->AsString());
}

void TfrmSimulacao::btnSimularClick()
{
    if (EmptyString(edtCdCFOP->text())) {
        edtCdCFOP->setFocus();
        MensErro(QStringLiteral("CFOP deve ser informado"), true);
    }
    vdCfop();
    kvr::fiscal::SimulaConsistencia line;
    line.tax = edtCdImposto->text();
    line.stage = codeOf(cmbEtapa);
    line.direction = codeOf(cmbOperacao);
    line.cfop = edtCdCFOP->text();
    line.cst1 = codeOf(cmbCST1);
    line.cst = codeOf(cmbCST);
    line.fiscal = codeOf(cmbCdFiscal);
    line.baseSign = codeOf(cmbBaseCalc);
    line.rateSign = codeOf(cmbAliquota);
    line.valueSign = codeOf(cmbImposto);
    line.credit = edtCredito->text();
    QJsonObject result;
    {
        TBusyScope busy;
        result = server().simulaConsistencia(line);
    }
    const QString verdict = result[u"verdict"].toString();
    struct Look
    {
        const char *code;
        const char *text;
        QColor colour;
    };
    const Look looks[] = {
        {"B", "BLOQUEADA\nSó consistências bloqueadas se aplicam", QColor(0xe5, 0x39, 0x35)},
        {"A", "ADMITIDA\nSó consistências admitidas se aplicam", QColor(0x43, 0xa0, 0x47)},
        {"C", "CONFLITO\nConsistências bloqueadas e admitidas se aplicam",
         QColor(0xfb, 0x8c, 0x00)},
        {"", "NENHUMA\nNenhuma consistência se aplica a esta linha", QColor(0x9e, 0x9e, 0x9e)},
    };
    for (const Look &look : looks) {
        if (verdict != QLatin1String(look.code))
            continue;
        lblVeredito->setText(QString::fromUtf8(look.text));
        QPalette colours = lblVeredito->palette();
        colours.setColor(QPalette::Window, look.colour);
        colours.setColor(QPalette::WindowText, Qt::white);
        lblVeredito->setPalette(colours);
    }
    const QList<QStringList> rows = rowsOf(result[u"rules"].toObject());
    dbgRegras->setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i)
        setRow(dbgRegras, i, ruleTexts(rows.at(i)));
    dbgRegras->resizeColumnsToContents();
}

QStringList TfrmSimulacao::ruleTexts(const QStringList &row) const
{
    const MaintenanceScreenLink *maintenance = MaintenanceScreenLink::Current();
    if (!maintenance)
        return row;
    const TMessages &messages = maintenance->Messages();
    const CstRoutines &cst = maintenance->CstOfTax();
    return {
        row.at(R::NRSEQCONSISTE),
        row.at(R::IDBLOQADMI) == QLatin1String("B") ? QStringLiteral("Bloqueada")
                                                    : QStringLiteral("Admitida"),
        MaintenanceDisplay::Direction(messages, row.at(R::IDENTRSAIDOP)),
        MaintenanceDisplay::Cfop(messages, row.at(R::CDFISCOPER)),
        MaintenanceDisplay::FirstCstDigit(messages, row.at(R::CDCST1DIGT)),
        MaintenanceDisplay::Cst(messages, cst, row.at(R::CDSITUTRIB)),
        MaintenanceDisplay::FiscalCode(messages, row.at(R::CDFISCAL)),
        MaintenanceDisplay::Sign(messages, row.at(R::IDTPBASECALC)),
        MaintenanceDisplay::Sign(messages, row.at(R::IDTPALIQUOTA)),
        MaintenanceDisplay::Sign(messages, row.at(R::IDTPVRIMPOSTO)),
        MaintenanceDisplay::CreditType(messages, row.at(R::CDTPCREDPICOITE), row.at(R::CDIMPOSTO)),
        row.at(R::DSCONSISTENCIA)};
}

void TfrmSimulacao::getConsistencias()
{
    TBusyScope busy;
    const QVariant packet = server().getConsistencias(edtCdImposto->text());
    m_rows.clear();
    m_rules.clear();
    for (const QStringList &row : rowsOf(packet.value<QJsonObject>())) {
        if (row.size() != R::FieldCount)
            continue;
        m_rows.insert(row.at(R::NRSEQCONSISTE), row);
        m_rules.append(RuleMatch::fromRow(row));
    }
}

QString TfrmSimulacao::rulesOfCell(const QString &cfop, const QString &cst, int limit) const
{
    const RuleMatch::Stage stage =
        m_mapStage == QLatin1String("A") ? RuleMatch::Stage::Approval : RuleMatch::Stage::Entry;
    QStringList lines;
    int count = 0;
    for (const RuleMatch::Rule &rule : m_rules) {
        if (!rule.active || !RuleMatch::verifiedAt(rule, stage) ||
            !RuleMatch::fieldMatches(RuleMatch::Direction, rule.codes[RuleMatch::Direction],
                                     m_mapDirection) ||
            !RuleMatch::fieldMatches(RuleMatch::Cfop, rule.codes[RuleMatch::Cfop], cfop) ||
            !RuleMatch::fieldMatches(RuleMatch::Cst, rule.codes[RuleMatch::Cst], cst))
            continue;
        if (++count > limit && limit >= 0)
            continue;
        QString line = rule.number +
                       (rule.blocked ? QStringLiteral(" Bloqueada") : QStringLiteral(" Admitida"));
        const QString description = m_rows.value(rule.number).value(R::DSCONSISTENCIA);
        if (!description.isEmpty())
            line += QStringLiteral(" - ") + description;
        lines.append(line);
    }
    if (limit >= 0 && count > limit)
        lines.append(QStringLiteral("... e mais %1").arg(count - limit));
    return lines.join(QLatin1Char('\n'));
}

void TfrmSimulacao::btnMapaClick()
{
    m_mapStage = codeOf(cmbMapaEtapa);
    m_mapDirection = codeOf(cmbMapaOperacao);
    getConsistencias();
    TBusyScope busy;
    const QVariant packet = server().getMapa(edtCdImposto->text(), m_mapStage, m_mapDirection);
    m_map->SetCells(rowsOf(packet.value<QJsonObject>()));
    lstCelula->clear();
    lblCelula->setText(QStringLiteral("Clique numa célula para ver as consistências."));
}

void TfrmSimulacao::dbgMapaClick(int row, int column)
{
    const QString cfop = m_map->Cfop(row);
    const QString cst = m_map->Cst(column);
    lblCelula->setText(QStringLiteral("CFOP %1, CST %2 (duplo clique abre a consistência):")
                           .arg(cfop, cst.isEmpty() ? QStringLiteral("Todos") : cst));
    lstCelula->clear();
    const QStringList lines =
        rulesOfCell(cfop, cst, -1).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        auto *item = new QListWidgetItem(line, lstCelula);
        item->setData(Qt::UserRole, line.section(QLatin1Char(' '), 0, 0));
        item->setForeground(line.section(QLatin1Char(' '), 1, 1) == QLatin1String("Bloqueada")
                                ? QColor(0xc6, 0x28, 0x28)
                                : QColor(0x2e, 0x7d, 0x32));
    }
}

void TfrmSimulacao::btnConflitosClick()
{
    getConsistencias();
    QJsonObject result;
    {
        TBusyScope busy;
        result = server().getConflitos(edtCdImposto->text());
    }
    const QList<QStringList> rows = rowsOf(result[u"findings"].toObject());
    const qint64 total = result[u"total"].toInteger();
    lblConflitos->setText(
        total == 0 ? QStringLiteral("Nenhum conflito ou redundância.")
        : total > rows.size()
            ? QStringLiteral("%1 achados; mostrando os primeiros %2.").arg(total).arg(rows.size())
            : QStringLiteral("%1 achado(s).").arg(total));
    const auto side = [this](const QString &number) {
        const QStringList row = m_rows.value(number);
        if (row.size() != R::FieldCount)
            return QStringList{number,    QString(), QString(), QString(),
                               QString(), QString(), QString(), QString()};
        // Codes rather than texts, so both rules fit side by side.
        const QStringList texts = ruleTexts(row);
        const auto code = [&row](int field) {
            const QString &value = row.at(field);
            return value.isEmpty() || (field == R::CDFISCAL && value == u"0")
                       ? QStringLiteral("Todos")
                       : value;
        };
        QStringList stages;
        if (row.at(R::IDCONSISTELANC) == QLatin1String("S"))
            stages.append(QStringLiteral("L"));
        if (row.at(R::IDCONSISTEAPRO) == QLatin1String("S"))
            stages.append(QStringLiteral("A"));
        return QStringList{number,
                           texts.at(1),
                           texts.at(2),
                           code(R::CDFISCOPER),
                           code(R::CDSITUTRIB),
                           code(R::CDFISCAL),
                           stages.join(QStringLiteral(" e ")),
                           texts.at(11)};
    };
    dbgConflitos->setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList &finding = rows.at(i);
        const bool conflict = finding.at(kvr::fiscal::FindingRecord::IDTIPOACHADO) == u"C";
        setRow(dbgConflitos, i,
               QStringList{conflict ? QStringLiteral("Conflito") : QStringLiteral("Redundante")} +
                   side(finding.at(kvr::fiscal::FindingRecord::NRSEQCONSISTE)) +
                   side(finding.at(kvr::fiscal::FindingRecord::NRSEQOUTRA)));
        dbgConflitos->item(i, 0)->setBackground(conflict ? QColor(0xfb, 0x8c, 0x00)
                                                         : QColor(0x90, 0xca, 0xf9));
    }
    dbgConflitos->resizeColumnsToContents();
    for (int column : {8, 16})
        dbgConflitos->setColumnWidth(column, std::min(dbgConflitos->columnWidth(column), 170));
}

void TfrmSimulacao::irParaConsistencia(const QString &number)
{
    MaintenanceScreenLink *maintenance = MaintenanceScreenLink::Current();
    if (!maintenance)
        return;
    maintenance->ShowRule(edtCdImposto->text(), number,
                          m_rows.value(number).value(R::IDBLOQADMI) == QLatin1String("A"));
    // This screen covers the main window: it steps aside, keeping its pages
    // for the next opening.
    hide();
}

void criaSimulacao()
{
    MaintenanceScreenLink *maintenance = MaintenanceScreenLink::Current();
    if (!maintenance)
        return;
    kvrGuard([maintenance]() {
        const TBusyCursor busy;
        if (!frmSimulacao)
            frmSimulacao = TfrmRotiGeral::Create<TfrmSimulacao>(MainForm());
        frmSimulacao->SetImposto(maintenance->TaxCode(), maintenance->TaxName());
        frmSimulacao->show();
        frmSimulacao->raise();
        frmSimulacao->activateWindow();
    });
}
