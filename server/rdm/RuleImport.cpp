#include "server/rdm/RuleImport.h"

#include "fiscal/ConsisteFiscalContract.h"
#include "protocol/DataPacket.h"
#include "protocol/Excerpt.h"
#include "server/common/AppError.h"
#include "server/rdm/AuditTrail.h"
#include "server/rdm/Catalog.h"
#include "server/rdm/RuleRecord.h"
#include "server/rdm/RuleRepository.h"
#include "server/rdm/RuleValidator.h"
#include "server/storage/WriteTransaction.h"

#include <QHash>

namespace kvr::server {

using R = RuleRecord;

namespace {

// What a row leaves out takes the value a new rule gets on the screens.
QStringList defaults(const QString &tax)
{
    QStringList row = R::blankRow();
    row[R::CDIMPOSTO] = tax;
    row[R::IDCONSATIVA] = QStringLiteral("S");
    row[R::IDENTRSAIDOP] = QStringLiteral("T");
    row[R::IDCONSISTELANC] = QStringLiteral("S");
    row[R::IDCONSISTEAPRO] = QStringLiteral("S");
    row[R::IDBLOQADMI] = QStringLiteral("B");
    row[R::IDCONSPREDEFI] = QStringLiteral("N");
    return row;
}

// The validator speaks of a numbered rule; an imported one has no number yet.
const QString Placeholder = QStringLiteral("0000000000");

QString withoutPlaceholder(const QString &message)
{
    const QString prefix = QStringLiteral("Consistência %1: ").arg(Placeholder);
    if (!message.startsWith(prefix))
        return message;
    QString rest = message.mid(prefix.size());
    if (!rest.isEmpty())
        rest[0] = rest.at(0).toUpper();
    return rest;
}

} // namespace

qint64 RuleImport::run(const QString &tax, const QJsonObject &json)
{
    protocol::DataPacket packet;
    QString problem;
    if (!protocol::packetFromJson(json, packet, problem))
        throw AppError::params(problem);
    QList<int> target; // record field of each packet column, -1 for the line number
    for (const protocol::PacketField &field : packet.fields) {
        const int f = R::indexOf(field.name);
        if (f < 0 && field.name != lineField())
            throw AppError::params(
                QStringLiteral("Pacote de consistências inválido: campo desconhecido %1.")
                    .arg(protocol::excerpt(field.name)));
        target.append(f);
    }
    if (packet.rows.empty())
        throw AppError::validation(QStringLiteral("Não há consistências a importar."));
    if (qsizetype(packet.rows.size()) > MaxRows)
        throw AppError::validation(
            QStringLiteral("O arquivo tem %1 consistências; o limite é de %2 por importação. "
                           "Divida o arquivo em partes menores.")
                .arg(packet.rows.size())
                .arg(MaxRows));

    Catalog catalog(m_storage);
    RuleValidator validator(catalog);
    catalog.tax(tax);
    RuleRepository rules(m_storage);
    WriteTransaction transaction(m_storage);
    QList<QStringList> accepted;
    QStringList refused;
    QHash<QString, QString> lineOfKey;
    for (size_t i = 0; i < packet.rows.size(); ++i) {
        QStringList row = defaults(tax);
        QString line = QString::number(i + 1);
        const QStringList &values = packet.rows.at(i);
        for (qsizetype c = 0; c < target.size(); ++c) {
            const int f = target.at(c);
            if (f < 0)
                line = protocol::excerpt(values.value(c));
            else if (f != R::CDIMPOSTO && f != R::NRSEQCONSISTE && f != R::IDMARCADO)
                row[f] = values.value(c);
        }
        row[R::NRSEQCONSISTE] = Placeholder;
        try {
            validator.check(row);
            const QString key = row.at(R::CDFISCOPER) + QLatin1Char('|') + row.at(R::CDSITUTRIB) +
                                QLatin1Char('|') + row.at(R::CDFISCAL) + QLatin1Char('|') +
                                row.at(R::IDBLOQADMI);
            if (const QString earlier = lineOfKey.value(key); !earlier.isEmpty())
                throw AppError::validation(
                    QStringLiteral("Consistência Fiscal já cadastrada: a linha %1 tem o mesmo "
                                   "CFOP, CST, código fiscal e indicador bloqueado/admitido.")
                        .arg(earlier));
            RuleValidator::checkNoDuplicate(
                QString(),
                rules.duplicateOf(tax, row.at(R::CDFISCOPER), row.at(R::CDSITUTRIB),
                                  row.at(R::CDFISCAL), row.at(R::IDBLOQADMI), QString()));
            lineOfKey.insert(key, line);
            row[R::NRSEQCONSISTE].clear();
            accepted.append(row);
        } catch (const AppError &error) {
            if (error.code() != protocol::RpcError::Validation)
                throw;
            refused.append(
                QStringLiteral("Linha %1: %2").arg(line, withoutPlaceholder(error.message())));
        }
    }
    if (!refused.isEmpty())
        throw AppError::validation(
            (refused.size() == 1
                 ? QStringLiteral("Nenhuma consistência foi importada: 1 linha foi recusada.")
                 : QStringLiteral("Nenhuma consistência foi importada: %1 linhas foram recusadas.")
                       .arg(refused.size())) +
            QLatin1Char('\n') + refused.join(QLatin1Char('\n')));
    rules.insertNumbered(accepted);
    AuditTrail history(m_storage, fiscal::ImportaConsistencias::name());
    for (const QStringList &row : std::as_const(accepted))
        history.created(row);
    history.write();
    transaction.commit();
    return accepted.size();
}

} // namespace kvr::server
