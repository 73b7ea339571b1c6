#include "CLI/STD/KVR/KVR51400/RuleSpreadsheet.h"

#include <QJsonArray>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>

namespace {

const QByteArray ByteOrderMark("\xEF\xBB\xBF");
const QChar Separator(QLatin1Char(';'));

// A text a spreadsheet would take for a formula ("=", "+", "-", "@" first)
// is written after an apostrophe, which reading takes off again; so is one
// that starts with an apostrophe itself, so that it comes back whole.
bool formulaLike(QStringView value)
{
    return !value.isEmpty() && QStringView(u"=+-@'").contains(value.front());
}

QString quoted(const QString &raw)
{
    const QString value = formulaLike(raw) ? QLatin1Char('\'') + raw : raw;
    const bool plain = !value.contains(Separator) && !value.contains(QLatin1Char('"')) &&
                       !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')) &&
                       value.trimmed() == value;
    if (plain)
        return value;
    QString text = value;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

struct Record
{
    int line; // where the record starts, from 1
    QStringList values;
};

// RFC 4180 fields: quotes around a field may hold separators, doubled
// quotes and line breaks.
QList<Record> records(const QString &text, QChar separator)
{
    QList<Record> out;
    Record current{1, {}};
    QString field;
    bool inQuotes = false;
    bool any = false;
    int line = 1;
    const auto endRecord = [&]() {
        current.values.append(field);
        if (any || current.values.size() > 1 || !field.trimmed().isEmpty())
            out.append(current);
        current = Record{line, {}};
        field.clear();
        any = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                if (c == QLatin1Char('\n'))
                    ++line;
                field += c;
            }
        } else if (c == QLatin1Char('"') && field.trimmed().isEmpty()) {
            field.clear();
            inQuotes = true;
            any = true;
        } else if (c == separator) {
            current.values.append(field);
            field.clear();
            any = true;
        } else if (c == QLatin1Char('\n')) {
            ++line;
            endRecord();
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    if (!field.isEmpty() || any)
        endRecord();
    return out;
}

QString unescaped(const QString &value)
{
    return value.startsWith(QLatin1Char('\'')) && formulaLike(QStringView(value).mid(1))
               ? value.mid(1)
               : value;
}

// Spreadsheets read "0510" or "00" as numbers and save them without their
// leading zeros; the field's width brings them back.
QString restored(const QString &field, const QString &value)
{
    const int width = field == QLatin1String("CDFISCOPER")   ? 4
                      : field == QLatin1String("CDSITUTRIB") ? 2
                                                             : 0;
    bool digits = !value.isEmpty();
    for (const QChar c : value)
        digits = digits && c.isDigit();
    return digits && value.size() < width ? value.rightJustified(width, QLatin1Char('0')) : value;
}

// UTF-8 as written; a spreadsheet saving "CSV" in the Windows code page
// writes Windows-1252 (Latin-1 where the system's Qt lacks it).
QString decoded(const QByteArray &bytes)
{
    const QByteArray body =
        bytes.startsWith(ByteOrderMark) ? bytes.mid(ByteOrderMark.size()) : bytes;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8(body);
    if (!utf8.hasError())
        return text;
    QStringDecoder windows("windows-1252");
    return windows.isValid() ? QString(windows(body)) : QString::fromLatin1(body);
}

} // namespace

const QList<RuleSpreadsheet::Column> &RuleSpreadsheet::Columns()
{
    static const QList<Column> columns = {
        {QStringLiteral("Ativo"), QStringLiteral("IDCONSATIVA"), false},
        {QStringLiteral("Cód. Consistência"), QStringLiteral("NRSEQCONSISTE"), false},
        {QStringLiteral("E/S"), QStringLiteral("IDENTRSAIDOP"), true},
        {QStringLiteral("CFOP"), QStringLiteral("CDFISCOPER"), false},
        {QStringLiteral("1° Dig. CST"), QStringLiteral("CDCST1DIGT"), true},
        {QStringLiteral("CST"), QStringLiteral("CDSITUTRIB"), true},
        {QStringLiteral("Código Fiscal"), QStringLiteral("CDFISCAL"), true},
        {QStringLiteral("TP. Vr. BC"), QStringLiteral("IDTPBASECALC"), true},
        {QStringLiteral("Tipo Aliquota"), QStringLiteral("IDTPALIQUOTA"), true},
        {QStringLiteral("TP. Vr. Imposto"), QStringLiteral("IDTPVRIMPOSTO"), true},
        {QStringLiteral("Tp. Crédito"), QStringLiteral("CDTPCREDPICOITE"), false},
        {QStringLiteral("Descrição"), QStringLiteral("DSCONSISTENCIA"), false},
        {QStringLiteral("Verificação no Lançamento"), QStringLiteral("IDCONSISTELANC"), false},
        {QStringLiteral("Verificação na Aprovação"), QStringLiteral("IDCONSISTEAPRO"), false},
        {QStringLiteral("Bloqueada/Admitida"), QStringLiteral("IDBLOQADMI"), false},
        {QStringLiteral("Predefinida"), QStringLiteral("IDCONSPREDEFI"), false},
    };
    return columns;
}

QString RuleSpreadsheet::DescriptionTitle(const QString &title)
{
    return title + QStringLiteral(" (descrição)");
}

QByteArray RuleSpreadsheet::Write(const QList<Rule> &rules, const Describe &describe)
{
    QStringList header;
    for (const Column &column : Columns()) {
        header.append(quoted(column.title));
        if (column.described)
            header.append(quoted(DescriptionTitle(column.title)));
    }
    QString text = header.join(Separator) + QStringLiteral("\r\n");
    for (const Rule &rule : rules) {
        QStringList values;
        for (const Column &column : Columns()) {
            values.append(quoted(rule.value(column.field)));
            if (column.described)
                values.append(quoted(describe(column.field, rule)));
        }
        text += values.join(Separator) + QStringLiteral("\r\n");
    }
    return ByteOrderMark + text.toUtf8();
}

bool RuleSpreadsheet::Read(const QByteArray &bytes, QJsonObject &packet, QString &problem)
{
    const QString text = decoded(bytes);
    const QString firstLine = text.section(QLatin1Char('\n'), 0, 0);
    // A spreadsheet saved in another locale may separate with commas or tabs.
    const QChar separator = firstLine.contains(Separator)           ? Separator
                            : firstLine.contains(QLatin1Char('\t')) ? QLatin1Char('\t')
                                                                    : QLatin1Char(',');
    const QList<Record> all = records(text, separator);
    const QString expected = QStringLiteral("a primeira linha deve trazer os títulos das colunas, "
                                            "como na exportação (Ativo;Cód. Consistência;E/S;...)");
    if (all.isEmpty()) {
        problem = QStringLiteral("O arquivo está vazio: %1.").arg(expected);
        return false;
    }
    QList<int> source; // header position of each packet field
    QJsonArray fields;
    for (const Column &column : Columns()) {
        for (qsizetype i = 0; i < all.first().values.size(); ++i) {
            if (all.first().values.at(i).trimmed() == column.title &&
                column.field != QLatin1String("NRSEQCONSISTE")) {
                source.append(int(i));
                fields.append(QJsonObject{{QStringLiteral("name"), column.field},
                                          {QStringLiteral("size"), 250}});
                break;
            }
        }
    }
    if (source.isEmpty()) {
        problem =
            QStringLiteral("O arquivo não é uma planilha de consistências: %1.").arg(expected);
        return false;
    }
    fields.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("NRLINHA")},
                              {QStringLiteral("size"), 10}});
    QJsonArray rows;
    for (qsizetype r = 1; r < all.size(); ++r) {
        const Record &record = all.at(r);
        // Spreadsheets save rows they only formatted as separators alone.
        if (std::all_of(record.values.cbegin(), record.values.cend(),
                        [](const QString &value) { return value.trimmed().isEmpty(); }))
            continue;
        QJsonArray row;
        for (qsizetype f = 0; f < source.size(); ++f)
            row.append(restored(fields.at(f).toObject().value(QStringLiteral("name")).toString(),
                                unescaped(record.values.value(source.at(f)).trimmed())));
        row.append(QString::number(record.line));
        rows.append(row);
    }
    if (rows.isEmpty()) {
        problem = QStringLiteral("O arquivo não tem consistências: há só a linha de títulos.");
        return false;
    }
    packet = {{QStringLiteral("fields"), fields}, {QStringLiteral("rows"), rows}};
    return true;
}
