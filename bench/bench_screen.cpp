// The maintenance screen's cost for a user, against a real kvr-appserver:
// leaving the tax panel until the grid shows the rules, and posting an edited
// rule until the grid shows the reloaded rules, each as a ratio to a bare
// getConsistencias call for the same tax over the same connection.
#include "CLI/STD/KVR/KVR51400/Cli_kvr51400.h"
#include "CLI/STD/KVR/KVR51400/MessageTables.h"
#include "bench/BenchRules.h"
#include "kit/core/Consiste.h"
#include "kit/data/TClientDataSet.h"
#include "kit/grid/TDBGrid.h"
#include "kit/host/HostServices.h"
#include "kit/net/TNetConnection.h"
#include "server/rdm/RuleRecord.h"
#include "server/rdm/RuleRepository.h"
#include "server/seed/Seeder.h"
#include "server/storage/Migrations.h"
#include "server/storage/Storage.h"
#include "server/storage/WriteTransaction.h"
#include "tests/common/ServerProcess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace kvr::server;

namespace {

struct Load
{
    const char *tax;
    const char *family; // CST family prefix in the CST table
    int rules;
};

const Load loads[] = {{"01", "ICMS", 1000}, {"02", "IPI", 10000}, {"50", "PIS", 100000}};

// The CSTs of a family, read from the screens' own CST table.
QStringList cstsOf(const QString &family)
{
    QStringList csts;
    for (const QString &line : MessageTables::Cst()) {
        const QString key = line.section(QLatin1Char('|'), 0, 0);
        if (key.size() == family.size() + 2 && key.startsWith(family) &&
            key != QLatin1String("IMP"))
            csts.append(key.right(2));
    }
    return csts;
}

// Seeded reference data plus the blocked user rules of each measured tax
// (up to 1000 CFOPs x the family's CSTs x 4 fiscal codes).
void buildDatabase(const QString &path)
{
    DatabaseUrl url;
    url.path = path;
    std::unique_ptr<Storage> storage = Storage::open(url);
    Migrations::apply(*storage);
    Seeder::seed(*storage);
    WriteTransaction transaction(*storage);
    // CFOPs of their own, so no generated rule meets a seeded one.
    QStringList cfops;
    QSqlQuery &cfop = storage->prepared(
        QStringLiteral("INSERT INTO cfop (cdcfoppadrao, dscfoppadrao) VALUES (?, ?)"));
    for (int code = 8000; code <= 8999; ++code) {
        cfops.append(QString::number(code));
        cfop.bindValue(0, cfops.last());
        cfop.bindValue(1, QStringLiteral("CFOP de teste de desempenho"));
        storage->run(cfop);
    }

    RuleRepository rules(*storage);
    for (const Load &load : loads) {
        insertBenchRules(
            rules, QString::fromLatin1(load.tax),
            {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")},
            cfops, cstsOf(QString::fromLatin1(load.family)), load.rules);
    }
    transaction.commit();
}

double ms(qint64 ns)
{
    return static_cast<double>(ns) / 1e6;
}

// Until the grid has painted what it now shows.
void settle(TfrmConsisteFiscal *screen)
{
    QApplication::processEvents();
    screen->dbgBloqueados->viewport()->repaint();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("bench.sqlite"));
    std::printf("building the database...\n");
    std::fflush(stdout);
    buildDatabase(db);
    kvr::test::ServerProcess server;
    if (!server.start(QStringLiteral("sqlite:") + db)) {
        std::fprintf(stderr, "kvr-appserver did not start: %s\n", qPrintable(server.errorText()));
        return 1;
    }
    SetWebAddress(QStringLiteral("127.0.0.1"), server.port());
    CriaConsistencia();
    TfrmConsisteFiscal *screen = frmConsisteFiscal;
    screen->FrameWindow()->resize(1112, 700);
    QApplication::setActiveWindow(screen->FrameWindow());
    TClientDataSet *rules = screen->cdsConsistencias;

    // A second client's copy of the rules, to time a bare save of one change.
    TClientDataSet probe;
    constexpr int Rounds = 3;
    bool met = true;
    std::printf("%5s %7s | %9s %9s %9s | %9s %7s %7s | %9s %7s %7s\n", "tax", "rules", "get ms",
                "calls(p)", "calls(s)", "panel ms", "/get", "/calls", "post ms", "/get", "/calls");
    for (const Load &load : loads) {
        const QString tax = QString::fromLatin1(load.tax);
        auto best = [](qint64 &slot, qint64 value) {
            slot = slot < 0 ? value : std::min(slot, value);
        };
        qint64 bare = -1, panelCalls = -1, postCalls = -1, panel = -1, post = -1;
        for (int round = 0; round < Rounds; ++round) {
            // The bare calls each action makes, over the screen's own connection.
            QElapsedTimer timer;
            timer.start();
            screen->netConsistencia->Call(QStringLiteral("getImposto"), {tax, QString()});
            const qint64 taxNs = timer.nsecsElapsed();
            timer.restart();
            const QVariant packet =
                screen->netConsistencia->Call(QStringLiteral("getConsistencias"), {tax});
            const qint64 getNs = timer.nsecsElapsed();
            if (!packet.isValid() || packet.metaType() == QMetaType::fromType<TServerError>()) {
                std::fprintf(stderr, "getConsistencias failed\n");
                return 1;
            }
            best(bare, getNs);
            best(panelCalls, taxNs + getNs);
            probe.Close();
            probe.SetData(packet);
            probe.SetRecNo(probe.RecordCount() - 2);
            probe.Edit();
            probe.FieldByName(QStringLiteral("DSCONSISTENCIA"))
                ->SetAsString(QStringLiteral("Chamada direta %1").arg(round));
            probe.Post();
            timer.restart();
            screen->netConsistencia->Call(
                QStringLiteral("vdConsistencias"),
                {tax, probe.FieldByName(QStringLiteral("CDFISCOPER"))->AsString(),
                 probe.FieldByName(QStringLiteral("CDSITUTRIB"))->AsString(),
                 probe.FieldByName(QStringLiteral("CDFISCAL"))->AsString(), QStringLiteral("B"),
                 probe.FieldByName(QStringLiteral("NRSEQCONSISTE"))->AsString()});
            const QVariant saved =
                screen->netConsistencia->Call(QStringLiteral("setConsistencia"), {probe.Delta()});
            const qint64 saveNs = timer.nsecsElapsed();
            if (saved.metaType() == QMetaType::fromType<TServerError>()) {
                std::fprintf(stderr, "setConsistencia failed: %s\n",
                             qPrintable(saved.value<TServerError>().message));
                return 1;
            }
            best(postCalls, saveNs + getNs);

            // Leaving the tax panel until the grid shows the rules.
            screen->edtCdImposto->setFocus(); // entering the panel closes the rules
            screen->edtCdImposto->setText(tax);
            timer.restart();
            screen->dbgBloqueados->setFocus();
            settle(screen);
            best(panel, timer.nsecsElapsed());
            if (rules->RecordCount() < load.rules) {
                std::fprintf(stderr, "tax %s: %d rules shown\n", load.tax, rules->RecordCount());
                return 1;
            }

            // Posting an edited rule until the grid shows the reloaded rules.
            rules->SetRecNo(rules->RecordCount() - 1);
            rules->Edit();
            rules->FieldByName(QStringLiteral("DSCONSISTENCIA"))
                ->SetAsString(QStringLiteral("Medição %1").arg(round));
            timer.restart();
            rules->Post();
            settle(screen);
            best(post, timer.nsecsElapsed());
            if (rules->ChangeCount() != 0) {
                std::fprintf(stderr, "tax %s: the post was not saved\n", load.tax);
                return 1;
            }
        }
        const double panelRatio = double(panel) / double(bare);
        const double postRatio = double(post) / double(bare);
        met = met && panelRatio <= 1.5 && postRatio <= 1.5;
        std::printf("%5s %7d | %9.1f %9.1f %9.1f | %9.1f %7.2f %7.2f | %9.1f %7.2f %7.2f\n",
                    load.tax, load.rules, ms(bare), ms(panelCalls), ms(postCalls), ms(panel),
                    panelRatio, double(panel) / double(panelCalls), ms(post), postRatio,
                    double(post) / double(postCalls));
        std::fflush(stdout);
    }
    std::printf("get: a bare getConsistencias; calls(p)/(s): the bare calls leaving the panel "
                "(getImposto, getConsistencias) and saving (vdConsistencias, setConsistencia, "
                "getConsistencias) make\n");
    std::printf("target: panel/get and post/get <= 1.5: %s\n", met ? "met" : "NOT met");
    delete screen;
    return 0;
}
