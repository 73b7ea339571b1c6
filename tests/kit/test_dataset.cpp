#include "fiscal/RuleRecord.h"
#include "kit/core/Consiste.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "protocol/PacketData.h"

#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

// Delta entries print as JSON.
inline void PrintTo(const QVariant &value, std::ostream *os)
{
    const QJsonValue json = QJsonValue::fromVariant(value);
    if (json.isArray())
        *os << QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact).toStdString();
    else if (json.isObject())
        *os << QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact).toStdString();
    else
        *os << value.toString().toStdString();
}

namespace {

// The rule record as the server sends it.
const QList<kvr::protocol::PacketField> &kRuleFields = kvr::fiscal::RuleRecord::fields();

QVariantList fieldList()
{
    QVariantList fields;
    for (const auto &f : kRuleFields)
        fields.append(QVariantMap{{"name", f.name}, {"size", f.size}});
    return fields;
}

// A rule row: number, blocked flag, predefined flag; the rest fixed.
QStringList rule(const QString &nr, const QString &bloq = "B", const QString &predef = "N",
                 const QString &cfop = "5102")
{
    return {"",  "01", "S", nr, "E",           cfop, "0", "00", "1",
            "1", "2",  "3", "", "Regra " + nr, "S",  "N", bloq, predef};
}

QVariantMap packet(const QList<QStringList> &rows, const QVariantList &fields = fieldList())
{
    QVariantList list;
    for (const QStringList &r : rows) {
        QVariantList values;
        for (const QString &v : r)
            values.append(v);
        list.append(QVariant(values));
    }
    return {{"fields", fields}, {"rows", list}};
}

void declareRuleFields(TClientDataSet &ds)
{
    for (const auto &f : kRuleFields)
        ds.AddField(f.name, f.size);
}

QList<QStringList> fiveRules()
{
    return {rule("0000000001", "B"), rule("0000000002", "A"), rule("0000000003", "B", "S"),
            rule("0000000004", "A"), rule("0000000005", "B")};
}

class DataSetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        declareRuleFields(ds);
        tester = std::make_unique<QAbstractItemModelTester>(
            &ds, QAbstractItemModelTester::FailureReportingMode::Fatal);
    }

    QString nr() const { return ds.FieldByName("NRSEQCONSISTE")->AsString(); }
    TField *f(const char *name) const { return ds.FieldByName(QString::fromLatin1(name)); }

    QVariantList changes() const { return ds.Delta().toMap().value("changes").toList(); }

    TClientDataSet ds;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

TEST_F(DataSetTest, LoadsAPacketOpenOnTheFirstRow)
{
    int scrolls = 0;
    ds.AfterScroll = [&](TClientDataSet *) { ++scrolls; };
    QSignalSpy states(&ds, &TClientDataSet::stateChanged);

    EXPECT_FALSE(ds.Active());
    ds.SetData(packet(fiveRules()));

    EXPECT_TRUE(ds.Active());
    EXPECT_EQ(ds.state(), TClientDataSet::State::Browse);
    EXPECT_EQ(ds.RecordCount(), 5);
    EXPECT_EQ(ds.rowCount(), 5);
    EXPECT_EQ(ds.columnCount(), 18);
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_EQ(nr(), "0000000001");
    EXPECT_EQ(f("DSCONSISTENCIA")->AsString(), "Regra 0000000001");
    EXPECT_EQ(f("CDTPCREDPICOITE")->AsString(), "");
    EXPECT_EQ(ds.Value(4, 3), "0000000005");
    EXPECT_EQ(scrolls, 1);
    EXPECT_EQ(states.count(), 1);
    EXPECT_EQ(ds.ChangeCount(), 0);
}

TEST_F(DataSetTest, LoadsAJsonObjectPacket)
{
    QJsonArray fields;
    for (const auto &fd : kRuleFields)
        fields.append(QJsonObject{{"name", fd.name}, {"size", fd.size}});
    QJsonArray rows;
    for (const QStringList &r : fiveRules())
        rows.append(QJsonArray::fromStringList(r));
    ds.SetData(QJsonObject{{"fields", fields}, {"rows", rows}});
    EXPECT_EQ(ds.RecordCount(), 5);
    ds.Last();
    EXPECT_EQ(nr(), "0000000005");
    EXPECT_EQ(f("IDBLOQADMI")->AsString(), "B");
}

// However a packet arrives, it loads alike; widths count characters.
TEST_F(DataSetTest, LoadsEveryFormOfAPacketAlike)
{
    const QString emoji = QString::fromUtf8("\xf0\x9f\x98\x80"); // two UTF-16 units
    QList<QStringList> rows = fiveRules();
    rows[4][13] = emoji.repeated(250); // DSCONSISTENCIA, 250 characters
    const QVariantMap map = packet(rows);
    const QJsonObject json = QJsonObject::fromVariantMap(map);
    const QByteArray text = QJsonDocument(json).toJson(QJsonDocument::Compact);
    const QVariant forms[] = {map, json,
                              QVariant::fromValue(kvr::protocol::PacketData::fromJson(text))};
    for (const QVariant &form : forms) {
        TClientDataSet loaded;
        declareRuleFields(loaded);
        loaded.SetData(form);
        ASSERT_EQ(loaded.RecordCount(), 5) << form.typeName();
        for (int r = 0; r < 5; ++r)
            for (int f = 0; f < 18; ++f)
                EXPECT_EQ(loaded.Value(r, f), rows[r][f])
                    << form.typeName() << " " << r << "/" << f;
    }

    rows[4][13] += QStringLiteral("x");
    TClientDataSet refused;
    declareRuleFields(refused);
    EXPECT_THROW(refused.SetData(QVariant::fromValue(kvr::protocol::PacketData::fromJson(
                     QJsonDocument(QJsonObject::fromVariantMap(packet(rows))).toJson()))),
                 EKvrError);
}

TEST_F(DataSetTest, MatchesPacketFieldsByNameAndIgnoresUndeclaredOnes)
{
    TClientDataSet small;
    small.AddField("NRSEQCONSISTE", 10);
    small.AddField("CDIMPOSTO", 2);
    small.AddField("IDBLOQADMI", 1);
    QAbstractItemModelTester smallTester(&small,
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    small.SetData(packet(fiveRules()));
    EXPECT_EQ(small.FieldCount(), 3);
    small.Next();
    EXPECT_EQ(small.FieldByName("NRSEQCONSISTE")->AsString(), "0000000002");
    EXPECT_EQ(small.FieldByName("CDIMPOSTO")->AsString(), "01");
    EXPECT_EQ(small.FieldByName("IDBLOQADMI")->AsString(), "A");
}

TEST_F(DataSetTest, TakesThePacketFieldsWhenNoneAreDeclared)
{
    TClientDataSet bare;
    bare.SetData(packet({{"0101", "Compra"}},
                        QVariantList{QVariantMap{{"name", "CDCFOPPADRAO"}, {"size", 10}},
                                     QVariantMap{{"name", "DSCFOPPADRAO"}, {"size", 500}}}));
    ASSERT_EQ(bare.FieldCount(), 2);
    EXPECT_EQ(bare.FieldByName("DSCFOPPADRAO")->Size(), 500);
    EXPECT_EQ(bare.FieldByName("CDCFOPPADRAO")->AsString(), "0101");
}

// Bad packets: each is a clear error and the dataset keeps what it held.
struct BadPacket
{
    const char *what;
    std::function<QVariant()> make;
    const char *messagePart;
};

class DataSetBadPacket : public ::testing::TestWithParam<BadPacket>
{
};

TEST_P(DataSetBadPacket, IsRefusedWithAClearMessageAndKeepsTheData)
{
    TClientDataSet ds;
    declareRuleFields(ds);
    ds.SetData(packet({rule("0000000009")}));
    ds.AfterScroll = [](TClientDataSet *) { FAIL() << "no scroll on a refused load"; };
    try {
        ds.SetData(GetParam().make());
        FAIL() << "accepted " << GetParam().what;
    } catch (const EKvrError &e) {
        EXPECT_TRUE(e.message().contains(QString::fromUtf8(GetParam().messagePart)))
            << e.message().toStdString();
    }
    EXPECT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(ds.FieldByName("NRSEQCONSISTE")->AsString(), "0000000009");
}

QVariantList fieldsWithout(const QString &name)
{
    QVariantList fields = fieldList();
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].toMap().value("name") == name)
            fields.removeAt(i);
    return fields;
}

INSTANTIATE_TEST_SUITE_P(
    Packets, DataSetBadPacket,
    ::testing::Values(BadPacket{"missing field",
                                [] {
                                    QStringList r = rule("1");
                                    r.removeAt(16);
                                    return QVariant(packet({r}, fieldsWithout("IDBLOQADMI")));
                                },
                                "falta o campo IDBLOQADMI"},
                      BadPacket{"short row",
                                [] {
                                    QStringList r = rule("1");
                                    r.removeLast();
                                    return QVariant(packet({rule("2"), r}));
                                },
                                "a linha 2 tem 17 valores; esperados 18"},
                      BadPacket{"long row",
                                [] {
                                    QStringList r = rule("1");
                                    r.append("X");
                                    return QVariant(packet({r}));
                                },
                                "esperados 18"},
                      BadPacket{"value too long",
                                [] {
                                    return QVariant(packet({rule("1"), rule("00000000123")}));
                                },
                                "excede o tamanho 10 do campo NRSEQCONSISTE"},
                      BadPacket{"no field list",
                                [] {
                                    return QVariant(QVariantMap{{"rows", QVariantList()}});
                                },
                                "falta a lista de campos"},
                      BadPacket{"row not a list",
                                [] {
                                    QVariantMap p = packet({});
                                    p["rows"] = QVariantList{QString("x")};
                                    return QVariant(p);
                                },
                                "não é uma lista de valores"},
                      BadPacket{"not a packet", [] { return QVariant(QString("texto")); },
                                "não é um pacote"}),
    [](const ::testing::TestParamInfo<BadPacket> &info) {
        std::string name = info.param.what;
        for (char &c : name)
            if (c == ' ')
                c = '_';
        return name;
    });

TEST_F(DataSetTest, UnknownFieldNamesAreErrors)
{
    EXPECT_THROW(ds.FieldByName("NAOEXISTE"), EKvrError);
    EXPECT_EQ(ds.FindField("NAOEXISTE"), nullptr);
    EXPECT_EQ(ds.FindField("nrseqconsiste"), ds.Fields(3));
    ds.SetData(packet(fiveRules()));
    EXPECT_THROW(ds.Locate("NAOEXISTE", "x"), EKvrError);
    EXPECT_THROW(ds.AddField("OUTRO", 1), EKvrError); // the dataset is open
}

TEST_F(DataSetTest, CreateEmptyAndCloseSetTheStates)
{
    QSignalSpy states(&ds, &TClientDataSet::stateChanged);
    ds.CreateDataSet();
    EXPECT_EQ(ds.state(), TClientDataSet::State::Browse);
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_EQ(ds.RecNo(), -1);
    EXPECT_EQ(ds.FieldByName("CDIMPOSTO")->AsString(), ""); // no row reads as empty

    ds.SetData(packet(fiveRules()));
    EXPECT_FALSE(ds.IsEmpty());
    ds.EmptyDataSet();
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_TRUE(ds.Active());

    ds.Close();
    EXPECT_EQ(ds.state(), TClientDataSet::State::Inactive);
    EXPECT_EQ(ds.rowCount(), 0);
    EXPECT_THROW(ds.Edit(), EKvrError);
    EXPECT_THROW(ds.Delta(), EKvrError);
    ASSERT_GE(states.count(), 3);
    EXPECT_EQ(states.last().at(0).value<TClientDataSet::State>(), TClientDataSet::State::Inactive);
}

TEST_F(DataSetTest, WalksTheRowsWithFirstNextAndEof)
{
    ds.SetData(packet(fiveRules()));
    QStringList seen;
    for (ds.First(); !ds.Eof(); ds.Next())
        seen << nr().right(1);
    EXPECT_EQ(seen.join(""), "12345");
    EXPECT_EQ(ds.RecNo(), 4);

    seen.clear();
    for (ds.Last(); !ds.Bof(); ds.Prior())
        seen << nr().right(1);
    EXPECT_EQ(seen.join(""), "54321");

    ds.MoveBy(2);
    EXPECT_EQ(nr(), "0000000003");
    ds.SetRecNo(3);
    EXPECT_EQ(nr(), "0000000004");
    EXPECT_THROW(ds.SetRecNo(5), EKvrError);
    EXPECT_TRUE(ds.Locate("NRSEQCONSISTE", "0000000002"));
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_FALSE(ds.Locate("NRSEQCONSISTE", "0000000009"));
    EXPECT_EQ(ds.RecNo(), 1);
}

TEST_F(DataSetTest, ScrollEventsFireAroundEveryMoveOnly)
{
    ds.SetData(packet(fiveRules()));
    QStringList log;
    ds.BeforeScroll = [&](TClientDataSet *) { log << "before:" + nr(); };
    ds.AfterScroll = [&](TClientDataSet *) { log << "after:" + nr(); };
    ds.Next();
    ds.First();
    ds.First(); // already there: no scroll
    EXPECT_EQ(log, QStringList({"before:0000000001", "after:0000000002", "before:0000000002",
                                "after:0000000001"}));
}

// Filters: expression -> visible rule numbers (last digits).
struct FilterCase
{
    const char *expression;
    const char *visible;
};

class DataSetFilter : public ::testing::TestWithParam<FilterCase>
{
};

TEST_P(DataSetFilter, ShowsOnlyMatchingRows)
{
    TClientDataSet ds;
    declareRuleFields(ds);
    QAbstractItemModelTester tester(&ds, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ds.SetData(packet(fiveRules()));
    ds.SetFilter(QString::fromUtf8(GetParam().expression));
    ds.SetFiltered(true);
    QString seen;
    for (ds.First(); !ds.Eof(); ds.Next())
        seen += ds.FieldByName("NRSEQCONSISTE")->AsString().right(1);
    EXPECT_EQ(seen, QString::fromLatin1(GetParam().visible));
    EXPECT_EQ(ds.RecordCount(), seen.size());
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, DataSetFilter,
    ::testing::Values(
        FilterCase{"IDBLOQADMI = 'B'", "135"}, FilterCase{"IDBLOQADMI='A'", "24"},
        FilterCase{"IDBLOQADMI = 'B' and IDCONSPREDEFI = 'N'", "15"},
        FilterCase{"IDBLOQADMI = 'A' or NRSEQCONSISTE = '0000000005'", "245"},
        // and binds tighter than or
        FilterCase{"IDBLOQADMI = 'A' or IDBLOQADMI = 'B' AND IDCONSPREDEFI = 'S'", "234"},
        FilterCase{"(IDBLOQADMI = 'A' or IDBLOQADMI = 'B') and IDCONSPREDEFI = 'S'", "3"},
        FilterCase{"IDBLOQADMI <> 'B'", "24"},
        FilterCase{"not IDBLOQADMI = 'B' and CDIMPOSTO = '01'", "24"},
        FilterCase{"idbloqadmi = 'X'", ""}, FilterCase{"", "12345"},
        FilterCase{"DSCONSISTENCIA = 'Regra 0000000004'", "4"}));

class DataSetBadFilter : public ::testing::TestWithParam<const char *>
{
};

TEST_P(DataSetBadFilter, IsAClearErrorWhenSwitchedOn)
{
    TClientDataSet ds;
    declareRuleFields(ds);
    ds.SetData(packet(fiveRules()));
    ds.SetFilter(QString::fromUtf8(GetParam()));
    try {
        ds.SetFiltered(true);
        FAIL() << "parsed " << GetParam();
    } catch (const EKvrError &e) {
        EXPECT_TRUE(e.message().startsWith("Filtro inválido")) << e.message().toStdString();
    }
    EXPECT_FALSE(ds.Filtered());
    EXPECT_EQ(ds.RecordCount(), 5);
}

INSTANTIATE_TEST_SUITE_P(Expressions, DataSetBadFilter,
                         ::testing::Values("IDBLOQADMI = 'B", "IDBLOQADMI 'B'", "XPTO = 'B'",
                                           "(IDBLOQADMI = 'B'", "IDBLOQADMI = 'B' and",
                                           "IDBLOQADMI = B", "IDBLOQADMI = 'B' 'A'", "= 'B'",
                                           "IDBLOQADMI < 'B'"));

TEST_F(DataSetTest, FilterWithQuoteInsideLiteral)
{
    ds.SetData(packet({rule("1"), rule("2")}));
    ds.Next();
    ds.Edit();
    f("DSCONSISTENCIA")->SetAsString("d'água");
    ds.Post();
    ds.SetFilter("DSCONSISTENCIA = 'd''água'");
    ds.SetFiltered(true);
    EXPECT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(nr(), "2");
}

TEST_F(DataSetTest, SwitchingTheFilterGoesToTheFirstVisibleRowAndScrolls)
{
    ds.SetData(packet(fiveRules()));
    ds.SetRecNo(3); // rule 4, admitted
    QStringList scrolled;
    ds.AfterScroll = [&](TClientDataSet *) { scrolled << nr(); };
    ds.SetFilter("IDBLOQADMI = 'A'");
    EXPECT_TRUE(scrolled.isEmpty()); // filter text alone changes nothing

    ds.SetFiltered(true);
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_EQ(nr(), "0000000002");
    ds.Next();
    ds.SetFiltered(false);
    EXPECT_EQ(nr(), "0000000001");
    EXPECT_EQ(ds.RecordCount(), 5);
    EXPECT_EQ(scrolled, QStringList({"0000000002", "0000000004", "0000000001"}));

    ds.SetFiltered(true);
    ds.SetFilter("IDBLOQADMI = 'B'"); // re-filters while on
    EXPECT_EQ(nr(), "0000000001");
    EXPECT_EQ(ds.RecordCount(), 3);
}

TEST_F(DataSetTest, FilterSetWhileClosedAppliesOnLoad)
{
    ds.SetFilter("IDBLOQADMI = 'B'");
    ds.SetFiltered(true);
    ds.SetData(packet(fiveRules()));
    EXPECT_EQ(ds.RecordCount(), 3);
    ds.SetData(packet({rule("7", "A")}));
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_EQ(nr(), "");
}

// A row that leaves the filter leaves only the view: its data and its change
// stay for the delta. Filter "B" shows rules 1, 3 and 5; each case starts on 3.
QStringList with(QStringList row, const QList<QPair<const char *, const char *>> &values)
{
    for (const auto &[name, value] : values)
        for (int i = 0; i < int(kRuleFields.size()); ++i)
            if (kRuleFields[i].name == QLatin1String(name))
                row[i] = QString::fromUtf8(value);
    return row;
}

// Delta entries as the dataset builds them: values as QVariantList.
QVariantMap change(const char *op, const QStringList &old, const QStringList &posted = {})
{
    QVariantMap entry{{"op", op}};
    if (!old.isEmpty())
        entry.insert("old", QVariant(old).toList());
    if (!posted.isEmpty())
        entry.insert("new", QVariant(posted).toList());
    return entry;
}

QVariantMap update(const QStringList &old, const QStringList &posted)
{
    return change("update", old, posted);
}

QVariantMap deletion(const QStringList &old)
{
    return change("delete", old);
}

struct LeaveCase
{
    const char *name;
    std::function<void(TClientDataSet &)> steps;
    const char *visible; // last digits of the rules shown afterwards
    int total;
    QVariantList changes;
};

void PrintTo(const LeaveCase &c, std::ostream *os)
{
    *os << c.name;
}

class DataSetLeavesFilter : public DataSetTest, public ::testing::WithParamInterface<LeaveCase>
{
};

void set(TClientDataSet &ds, const char *name, const char *value)
{
    ds.FieldByName(QString::fromLatin1(name))->SetAsString(QString::fromUtf8(value));
}

void post(TClientDataSet &ds, const char *name, const char *value)
{
    ds.Edit();
    set(ds, name, value);
    ds.Post();
}

void toRule3Unfiltered(TClientDataSet &ds)
{
    ds.SetFiltered(false);
    ASSERT_TRUE(ds.Locate("NRSEQCONSISTE", "0000000003"));
}

TEST_P(DataSetLeavesFilter, KeepsTheRowAndItsChange)
{
    const LeaveCase &c = GetParam();
    ds.SetData(packet(fiveRules()));
    ds.SetFilter("IDBLOQADMI = 'B'");
    ds.SetFiltered(true);
    ds.Next();
    ASSERT_EQ(nr(), "0000000003");
    c.steps(ds);

    QString seen;
    for (ds.First(); !ds.Eof(); ds.Next())
        seen += nr().right(1);
    EXPECT_EQ(seen, QString::fromLatin1(c.visible));
    EXPECT_EQ(ds.RecordCount(), seen.size());
    EXPECT_EQ(ds.rowCount(), seen.size());
    EXPECT_EQ(ds.TotalRecordCount(), c.total);
    EXPECT_EQ(ds.ChangeCount(), c.changes.size());
    EXPECT_EQ(changes(), c.changes);

    ds.SetFiltered(false); // every row held comes back
    EXPECT_EQ(ds.RecordCount(), c.total);
}

const QStringList kRule1 = rule("0000000001", "B");
const QStringList kRule3 = rule("0000000003", "B", "S");

INSTANTIATE_TEST_SUITE_P(
    Posts, DataSetLeavesFilter,
    ::testing::Values(
        LeaveCase{"PostedOut",
                  [](TClientDataSet &ds) {
                      post(ds, "IDBLOQADMI", "A");
                      EXPECT_EQ(ds.FieldByName("NRSEQCONSISTE")->AsString(), "0000000005");
                  },
                  "15",
                  5,
                  {update(kRule3, with(kRule3, {{"IDBLOQADMI", "A"}}))}},
        LeaveCase{"PostedTwiceTheLastOut",
                  [](TClientDataSet &ds) {
                      post(ds, "DSCONSISTENCIA", "mudada");
                      post(ds, "IDBLOQADMI", "A");
                  },
                  "15",
                  5,
                  {update(kRule3,
                          with(kRule3, {{"DSCONSISTENCIA", "mudada"}, {"IDBLOQADMI", "A"}}))}},
        LeaveCase{"OutThenPostedAgainUnfiltered",
                  [](TClientDataSet &ds) {
                      post(ds, "IDBLOQADMI", "A");
                      toRule3Unfiltered(ds);
                      post(ds, "CDFISCAL", "2");
                      ds.SetFiltered(true);
                  },
                  "15",
                  5,
                  {update(kRule3, with(kRule3, {{"IDBLOQADMI", "A"}, {"CDFISCAL", "2"}}))}},
        LeaveCase{"OutThenBackAsLoaded",
                  [](TClientDataSet &ds) {
                      post(ds, "IDBLOQADMI", "A");
                      toRule3Unfiltered(ds);
                      post(ds, "IDBLOQADMI", "B");
                      ds.SetFiltered(true);
                  },
                  "135",
                  5,
                  {}},
        LeaveCase{"OutThenDeletedUnfiltered",
                  [](TClientDataSet &ds) {
                      post(ds, "IDBLOQADMI", "A");
                      toRule3Unfiltered(ds);
                      ds.Delete();
                      ds.SetFiltered(true);
                  },
                  "15",
                  4,
                  {deletion(kRule3)}},
        LeaveCase{"OutThenAnEarlierRowDeleted",
                  [](TClientDataSet &ds) {
                      post(ds, "IDBLOQADMI", "A");
                      ds.First();
                      ds.Delete();
                  },
                  "5",
                  4,
                  {update(kRule3, with(kRule3, {{"IDBLOQADMI", "A"}})), deletion(kRule1)}},
        LeaveCase{"DeletedWhileFiltered", [](TClientDataSet &ds) { ds.Delete(); }, "15", 4,
                  {deletion(kRule3)}},
        LeaveCase{"InsertedOutside",
                  [](TClientDataSet &ds) {
                      ds.Append();
                      set(ds, "NRSEQCONSISTE", "0000000009");
                      set(ds, "IDBLOQADMI", "A");
                      ds.Post();
                  },
                  "135",
                  6,
                  {change("insert", {},
                          with(QStringList(18, QString()),
                               {{"NRSEQCONSISTE", "0000000009"}, {"IDBLOQADMI", "A"}}))}}),
    [](const ::testing::TestParamInfo<LeaveCase> &info) { return std::string(info.param.name); });

// Assignments keep the leading characters up to the field width.
struct Truncation
{
    const char *field;
    const char *assigned;
    const char *stored;
};

class DataSetTruncation : public ::testing::TestWithParam<Truncation>
{
};

TEST_P(DataSetTruncation, KeepsTheLeadingCharacters)
{
    TClientDataSet ds;
    declareRuleFields(ds);
    ds.SetData(packet({rule("1")}));
    ds.Edit();
    TField *field = ds.FieldByName(QString::fromLatin1(GetParam().field));
    field->SetAsString(QString::fromUtf8(GetParam().assigned));
    EXPECT_EQ(field->AsString(), QString::fromUtf8(GetParam().stored));
    ds.Post();
    EXPECT_EQ(field->AsString(), QString::fromUtf8(GetParam().stored));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, DataSetTruncation,
    ::testing::Values(Truncation{"IDTPALIQUOTA", "2 - Igual a Zero", "2"},
                      Truncation{"CDSITUTRIB", "00 - Tributada integralmente", "00"},
                      Truncation{"CDFISCOPER", "0123456789", "0123"},
                      Truncation{"IDENTRSAIDOP", "Entrada", "E"},
                      Truncation{"IDENTRSAIDOP", "Ambos", "A"}, Truncation{"CDFISCAL", "", ""},
                      Truncation{"CDTPCREDPICOITE", "12", "12"},
                      Truncation{"CDCST1DIGT", "3 - Nacional, mercadoria", "3"}));

TEST_F(DataSetTest, WritingOutsideEditIsAnError)
{
    EXPECT_THROW(f("CDFISCAL")->SetAsString("1"), EKvrError);
    ds.SetData(packet(fiveRules()));
    EXPECT_THROW(f("CDFISCAL")->SetAsString("1"), EKvrError);
    EXPECT_EQ(f("CDFISCAL")->AsString(), "1");
    EXPECT_FALSE(ds.setData(ds.index(0, 8), "2"));
}

TEST_F(DataSetTest, EventsRunInOrderForEditPostCancelDelete)
{
    ds.SetData(packet(fiveRules()));
    QStringList log;
    auto record = [&](const char *name) {
        return [&log, name](TClientDataSet *d) {
            log << QString::fromLatin1(name) + ":" + QString::number(static_cast<int>(d->state()));
        };
    };
    ds.BeforeEdit = record("BeforeEdit");
    ds.AfterEdit = record("AfterEdit");
    ds.BeforePost = record("BeforePost");
    ds.AfterPost = record("AfterPost");
    ds.BeforeCancel = record("BeforeCancel");
    ds.AfterCancel = record("AfterCancel");
    ds.BeforeDelete = record("BeforeDelete");
    ds.AfterDelete = record("AfterDelete");
    ds.BeforeScroll = record("BeforeScroll");
    ds.AfterScroll = record("AfterScroll");
    // 1 browse, 2 edit
    ds.Edit();
    f("CDFISCAL")->SetAsString("2");
    ds.Post();
    EXPECT_EQ(log, QStringList({"BeforeEdit:1", "AfterEdit:2", "BeforePost:2", "AfterPost:1"}));

    log.clear();
    ds.Edit();
    ds.Cancel();
    EXPECT_EQ(log, QStringList({"BeforeEdit:1", "AfterEdit:2", "BeforeCancel:2", "AfterCancel:1"}));

    log.clear();
    ds.Post(); // browse: nothing happens
    ds.Cancel();
    EXPECT_TRUE(log.isEmpty());

    ds.Delete();
    EXPECT_EQ(log,
              QStringList({"BeforeDelete:1", "BeforeScroll:1", "AfterDelete:1", "AfterScroll:1"}));
    EXPECT_EQ(nr(), "0000000002");
}

TEST_F(DataSetTest, MovingWhileEditingPostsFirst)
{
    ds.SetData(packet(fiveRules()));
    QStringList log;
    ds.AfterPost = [&](TClientDataSet *) { log << "post"; };
    ds.AfterScroll = [&](TClientDataSet *) { log << "scroll"; };
    ds.Edit();
    f("CDFISCAL")->SetAsString("3");
    ds.Next();
    EXPECT_EQ(log, QStringList({"post", "scroll"}));
    EXPECT_EQ(ds.state(), TClientDataSet::State::Browse);
    EXPECT_EQ(ds.Value(0, 8), "3");
}

// EAbort in each before-event refuses the operation and reaches the caller.
enum class Op { Insert, Append, Edit, Post, Cancel, Delete, Scroll, Filter };

struct Refusal
{
    const char *name;
    Op op;
};

class DataSetRefusal : public ::testing::TestWithParam<Refusal>
{
};

TEST_P(DataSetRefusal, AbortInTheBeforeEventLeavesStateAndDataUnchanged)
{
    TClientDataSet ds;
    declareRuleFields(ds);
    QAbstractItemModelTester tester(&ds, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ds.SetData(packet(fiveRules()));
    ds.Next();
    auto refuse = [](TClientDataSet *) { throw EAbort(); };
    bool afterRan = false;
    auto after = [&](TClientDataSet *) { afterRan = true; };

    const Op op = GetParam().op;
    if (op == Op::Post || op == Op::Cancel) {
        ds.Edit();
        ds.FieldByName("CDFISCAL")->SetAsString("3");
    }
    const TClientDataSet::State stateBefore = ds.state();
    QSignalSpy states(&ds, &TClientDataSet::stateChanged);

    std::function<void()> run;
    switch (op) {
    case Op::Insert:
        ds.BeforeInsert = refuse;
        ds.AfterInsert = after;
        run = [&] { ds.Insert(); };
        break;
    case Op::Append:
        ds.BeforeInsert = refuse;
        ds.AfterInsert = after;
        run = [&] { ds.Append(); };
        break;
    case Op::Edit:
        ds.BeforeEdit = refuse;
        ds.AfterEdit = after;
        run = [&] { ds.Edit(); };
        break;
    case Op::Post:
        ds.BeforePost = refuse;
        ds.AfterPost = after;
        run = [&] { ds.Post(); };
        break;
    case Op::Cancel:
        ds.BeforeCancel = refuse;
        ds.AfterCancel = after;
        run = [&] { ds.Cancel(); };
        break;
    case Op::Delete:
        ds.BeforeDelete = refuse;
        ds.AfterDelete = after;
        run = [&] { ds.Delete(); };
        break;
    case Op::Scroll:
        ds.BeforeScroll = refuse;
        ds.AfterScroll = after;
        run = [&] { ds.Next(); };
        break;
    case Op::Filter:
        ds.SetFilter("IDBLOQADMI = 'A'");
        ds.BeforeScroll = refuse;
        ds.AfterScroll = after;
        run = [&] { ds.SetFiltered(true); };
        break;
    }
    EXPECT_THROW(run(), EAbort);

    EXPECT_FALSE(afterRan);
    EXPECT_EQ(ds.state(), stateBefore);
    EXPECT_EQ(states.count(), 0);
    EXPECT_EQ(ds.RecordCount(), 5);
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_EQ(ds.FieldByName("NRSEQCONSISTE")->AsString(), "0000000002");
    EXPECT_EQ(ds.ChangeCount(), 0);
    EXPECT_FALSE(ds.Filtered());
    if (op == Op::Post || op == Op::Cancel)
        EXPECT_EQ(ds.FieldByName("CDFISCAL")->AsString(), "3"); // the edit is kept
    else
        EXPECT_EQ(ds.FieldByName("CDFISCAL")->AsString(), "1");
}

INSTANTIATE_TEST_SUITE_P(
    Events, DataSetRefusal,
    ::testing::Values(Refusal{"Insert", Op::Insert}, Refusal{"Append", Op::Append},
                      Refusal{"Edit", Op::Edit}, Refusal{"Post", Op::Post},
                      Refusal{"Cancel", Op::Cancel}, Refusal{"Delete", Op::Delete},
                      Refusal{"Scroll", Op::Scroll}, Refusal{"Filter", Op::Filter}),
    [](const ::testing::TestParamInfo<Refusal> &info) { return std::string(info.param.name); });

TEST_F(DataSetTest, ABeforePostHandlerCanWriteFieldsAndRefuseAfterwards)
{
    ds.SetData(packet(fiveRules()));
    ds.BeforePost = [&](TClientDataSet *) {
        if (f("CDFISCAL")->AsString().isEmpty())
            f("CDFISCAL")->SetAsString("0");
        throw EAbort();
    };
    ds.Edit();
    f("CDFISCAL")->Clear();
    EXPECT_THROW(ds.Post(), EAbort);
    EXPECT_EQ(ds.state(), TClientDataSet::State::Edit);
    EXPECT_EQ(f("CDFISCAL")->AsString(), "0");
    EXPECT_EQ(ds.Value(0, 8), "0"); // the model shows the edited row
}

TEST_F(DataSetTest, InsertAndAppendAddARowInInsertState)
{
    ds.SetData(packet(fiveRules()));
    ds.Next();
    ds.Insert();
    EXPECT_EQ(ds.state(), TClientDataSet::State::Insert);
    EXPECT_EQ(ds.RecordCount(), 6);
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_EQ(nr(), "");
    ds.Cancel();
    EXPECT_EQ(ds.RecordCount(), 5);
    EXPECT_EQ(nr(), "0000000002");

    ds.Append();
    EXPECT_EQ(ds.RecNo(), 5);
    f("NRSEQCONSISTE")->SetAsString("0000000099");
    ds.Post();
    EXPECT_EQ(ds.RecordCount(), 6);
    ASSERT_EQ(changes().size(), 1);
    const QVariantMap change = changes().at(0).toMap();
    EXPECT_EQ(change.value("op"), "insert");
    EXPECT_EQ(change.value("new").toList().at(3), "0000000099");
    EXPECT_FALSE(change.contains("old"));

    ds.Delete(); // deleting the inserted row forgets it
    EXPECT_EQ(ds.ChangeCount(), 0);
}

TEST_F(DataSetTest, UntouchedInsertedRowIsDroppedWhenMovingAway)
{
    ds.SetData(packet(fiveRules()));
    ds.Append();
    ds.First();
    EXPECT_EQ(ds.RecordCount(), 5);
    EXPECT_EQ(ds.state(), TClientDataSet::State::Browse);
    EXPECT_EQ(ds.ChangeCount(), 0);
}

TEST_F(DataSetTest, MovingPastADroppedRowLandsOnTheRowAskedFor)
{
    ds.SetData(packet(fiveRules()));
    ds.Next();
    ds.Insert();    // untouched: dropped when leaving
    ds.SetRecNo(3); // rule 3 in the view that still shows the new row
    EXPECT_EQ(nr(), "0000000003");

    ds.SetFilter("IDBLOQADMI = 'B'");
    ds.SetFiltered(true); // 1, 3, 5
    ds.Edit();
    f("IDBLOQADMI")->SetAsString("A"); // leaves the view when posted
    ds.SetRecNo(2);
    EXPECT_EQ(nr(), "0000000005");
    EXPECT_EQ(ds.RecordCount(), 2);
}

TEST_F(DataSetTest, EditOfAnEmptyDataSetIsAnInsertAndCanBeRefused)
{
    ds.CreateDataSet();
    ds.BeforeInsert = [](TClientDataSet *) { throw EAbort(); };
    EXPECT_THROW(ds.Edit(), EAbort);
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_EQ(ds.state(), TClientDataSet::State::Browse);
    ds.BeforeInsert = nullptr;
    ds.Edit();
    EXPECT_EQ(ds.state(), TClientDataSet::State::Insert);
    EXPECT_THROW(ds.SetRecNo(3), EKvrError);
}

TEST_F(DataSetTest, SeveralPostsOfARowAreOneChange)
{
    ds.SetData(packet(fiveRules()));
    ds.Edit();
    f("CDFISCAL")->SetAsString("2");
    ds.Post();
    ds.Edit();
    f("CDFISCOPER")->SetAsString("6102");
    ds.Post();
    ASSERT_EQ(ds.ChangeCount(), 1);

    const QVariantMap delta = ds.Delta().toMap();
    const QVariantList fields = delta.value("fields").toList();
    ASSERT_EQ(fields.size(), 18);
    EXPECT_EQ(fields.at(13).toMap().value("name"), "DSCONSISTENCIA");
    EXPECT_EQ(fields.at(13).toMap().value("size"), 250);
    const QVariantMap change = delta.value("changes").toList().at(0).toMap();
    EXPECT_EQ(change.value("op"), "update");
    EXPECT_EQ(change.value("old").toStringList(), rule("0000000001"));
    QStringList expected = rule("0000000001");
    expected[8] = "2";
    expected[5] = "6102";
    EXPECT_EQ(change.value("new").toStringList(), expected);
}

TEST_F(DataSetTest, EditBackToTheLoadedRowDropsTheChange)
{
    ds.SetData(packet(fiveRules()));
    ds.Edit();
    f("CDFISCAL")->SetAsString("2");
    ds.Post();
    EXPECT_EQ(ds.ChangeCount(), 1);
    ds.Edit();
    f("CDFISCAL")->SetAsString("1");
    ds.Post();
    EXPECT_EQ(ds.ChangeCount(), 0);
    EXPECT_TRUE(changes().isEmpty());

    ds.Edit(); // a post that changes nothing logs nothing
    ds.Post();
    EXPECT_EQ(ds.ChangeCount(), 0);
}

TEST_F(DataSetTest, DeleteOfAnUpdatedRowIsOneDeleteOfTheLoadedRow)
{
    ds.SetData(packet(fiveRules()));
    ds.Next();
    ds.Edit();
    f("DSCONSISTENCIA")->SetAsString("mudada");
    ds.Post();
    ds.Delete();
    ASSERT_EQ(ds.ChangeCount(), 1);
    const QVariantMap change = changes().at(0).toMap();
    EXPECT_EQ(change.value("op"), "delete");
    EXPECT_EQ(change.value("old").toStringList(), rule("0000000002", "A"));
    EXPECT_FALSE(change.contains("new"));
    EXPECT_EQ(ds.RecordCount(), 4);
}

TEST_F(DataSetTest, ChangesStayAfterAFailedSaveAndGoOnReload)
{
    ds.SetData(packet(fiveRules()));
    bool serverUp = false;
    // The screen's after-post save: on failure the log stays; on success it reloads.
    ds.AfterPost = [&](TClientDataSet *d) {
        if (!serverUp)
            throw EKvrError("Servidor indisponível");
        d->SetData(packet(fiveRules()));
    };
    ds.Edit();
    f("CDFISCAL")->SetAsString("2");
    EXPECT_THROW(ds.Post(), EKvrError);
    EXPECT_EQ(ds.state(), TClientDataSet::State::Browse);
    EXPECT_EQ(ds.ChangeCount(), 1);

    ds.Next();
    ds.Edit();
    f("CDFISCAL")->SetAsString("3");
    serverUp = true;
    int sentChanges = -1;
    ds.AfterPost = [&](TClientDataSet *d) {
        sentChanges = d->Delta().toMap().value("changes").toList().size();
        d->SetData(packet(fiveRules()));
    };
    ds.Post();
    EXPECT_EQ(sentChanges, 2);
    EXPECT_EQ(ds.ChangeCount(), 0);
    EXPECT_EQ(f("CDFISCAL")->AsString(), "1");

    ds.Delete();
    EXPECT_EQ(ds.ChangeCount(), 1);
    ds.EmptyDataSet();
    EXPECT_EQ(ds.ChangeCount(), 0);
    ds.SetData(packet(fiveRules()));
    ds.Delete();
    ds.Close();
    EXPECT_EQ(ds.ChangeCount(), 0);
}

TEST_F(DataSetTest, DeleteOnAnEmptyDataSetIsAnError)
{
    ds.CreateDataSet();
    EXPECT_THROW(ds.Delete(), EKvrError);
}

TEST_F(DataSetTest, DisplayTextComesFromTheHandlerForEveryRow)
{
    ds.SetData(packet({rule("1"), rule("2")}));
    QList<bool> flags;
    f("CDTPCREDPICOITE")->OnGetText = [&](TField *field, QString &text, bool display) {
        flags << display;
        // reads another field of the row being shown
        const QString tax = field->DataSet()->FieldByName("CDIMPOSTO")->AsString();
        text = tax == "50" ? field->AsString() : QStringLiteral("Não se aplica.");
    };
    ds.Next();
    ds.Edit();
    f("CDIMPOSTO")->SetAsString("50");
    f("CDTPCREDPICOITE")->SetAsString("001");

    EXPECT_EQ(ds.data(ds.index(0, 12), Qt::DisplayRole), "Não se aplica.");
    EXPECT_EQ(ds.data(ds.index(1, 12), Qt::DisplayRole), "001");
    EXPECT_EQ(ds.data(ds.index(1, 12), Qt::EditRole), "001");
    EXPECT_EQ(flags, QList<bool>({true, true, false}));
    EXPECT_EQ(f("CDTPCREDPICOITE")->Text(true), "001");       // current row again
    EXPECT_EQ(ds.data(ds.index(0, 3), Qt::DisplayRole), "1"); // no handler: raw value
    EXPECT_EQ(ds.headerData(3, Qt::Horizontal), "NRSEQCONSISTE");
    f("NRSEQCONSISTE")->SetDisplayLabel("Cód. Consistência");
    EXPECT_EQ(ds.headerData(3, Qt::Horizontal), "Cód. Consistência");
}

TEST_F(DataSetTest, ModelSignalsFollowEdits)
{
    ds.SetData(packet(fiveRules()));
    QSignalSpy changed(&ds, &QAbstractItemModel::dataChanged);
    ds.Edit();
    EXPECT_TRUE(ds.setData(ds.index(0, 8), "2 - x"));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toModelIndex(), ds.index(0, 8));
    EXPECT_EQ(ds.data(ds.index(0, 8), Qt::EditRole), "2");
    EXPECT_FALSE(ds.setData(ds.index(1, 8), "3")); // not the edited row
    QSignalSpy removed(&ds, &QAbstractItemModel::rowsRemoved);
    ds.Post();
    ds.Delete();
    EXPECT_EQ(removed.count(), 1);
}

TEST_F(DataSetTest, FocusControlAsksTheControls)
{
    QSignalSpy focus(&ds, &TClientDataSet::focusFieldRequested);
    f("CDFISCOPER")->FocusControl();
    ASSERT_EQ(focus.count(), 1);
    EXPECT_EQ(focus.at(0).at(0).value<TField *>(), f("CDFISCOPER"));
}

TEST_F(DataSetTest, FieldVisibilityAndDisplayWidth)
{
    QSignalSpy visibility(&ds, &TClientDataSet::fieldVisibilityChanged);
    f("IDMARCADO")->SetVisible(false);
    f("IDMARCADO")->SetVisible(false);
    EXPECT_EQ(visibility.count(), 1);
    EXPECT_EQ(f("CDSITUTRIB")->DisplayWidth(), 2);
    f("CDSITUTRIB")->SetDisplayWidth(45);
    EXPECT_EQ(f("CDSITUTRIB")->DisplayWidth(), 45);
}

TEST(DataSourceTest, RelaysEveryStateChange)
{
    TClientDataSet ds;
    declareRuleFields(ds);
    TDataSource source;
    QSignalSpy changes(&source, &TDataSource::StateChange);
    EXPECT_EQ(source.State(), TClientDataSet::State::Inactive);
    source.SetDataSet(&ds);
    EXPECT_EQ(changes.count(), 1);

    QList<TClientDataSet::State> seen;
    QObject::connect(&source, &TDataSource::StateChange, [&] { seen << source.State(); });
    ds.SetData(packet(fiveRules()));
    ds.Edit();
    ds.Cancel();
    ds.Edit();
    ds.Post();
    ds.Close();
    using S = TClientDataSet::State;
    EXPECT_EQ(seen, QList<S>({S::Browse, S::Edit, S::Browse, S::Edit, S::Browse, S::Inactive}));

    source.SetDataSet(nullptr);
    EXPECT_EQ(source.State(), S::Inactive);
    ds.SetData(packet(fiveRules()));
    EXPECT_EQ(seen.size(), 7); // only the unbinding
}

TEST(DataSourceTest, ForgetsADestroyedDataSet)
{
    TDataSource source;
    {
        TClientDataSet ds;
        declareRuleFields(ds);
        source.SetDataSet(&ds);
        ds.CreateDataSet();
        EXPECT_EQ(source.State(), TClientDataSet::State::Browse);
    }
    EXPECT_EQ(source.DataSet(), nullptr);
    EXPECT_EQ(source.State(), TClientDataSet::State::Inactive);
}

} // namespace
