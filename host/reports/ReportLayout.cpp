#include "ReportLayout.h"

#include "ValueFormat.h"

#include "rtl/Exceptions.h"
#include "rtl/JsonErrorText.h"
#include "rtl/SystemError.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSizeF>

#include <cerrno>

namespace Velmora::Reports {

namespace {

const QStringList queryKeys{QStringLiteral("SQL"), QStringLiteral("SQL_IB"),
                            QStringLiteral("SQL_ORACLE"), QStringLiteral("SQL_MSSQL")};
const QStringList pageSizes{QStringLiteral("A4"), QStringLiteral("A3"), QStringLiteral("Letter"),
                            QStringLiteral("Legal")};

bool validName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(name).hasMatch();
}

// Collects the problems of a layout's JSON as it is read, so one message lists them all.
class Reader
{
public:
    QStringList problems;

    void unknownKeys(const QJsonObject &o, const QStringList &known, const QString &where)
    {
        for (auto it = o.begin(); it != o.end(); ++it)
            if (!known.contains(it.key()))
                problems << QStringLiteral("chave '%1' desconhecida%2").arg(it.key(), where);
    }
    QString text(const QJsonObject &o, const QString &key, const QString &where,
                 const QString &fallback = {})
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return fallback;
        if (!v.isString()) {
            problems << QStringLiteral("'%1'%2 deve ser um texto").arg(key, where);
            return fallback;
        }
        return v.toString();
    }
    double number(const QJsonObject &o, const QString &key, const QString &where, double fallback)
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return fallback;
        if (!v.isDouble()) {
            problems << QStringLiteral("'%1'%2 deve ser um número").arg(key, where);
            return fallback;
        }
        return v.toDouble();
    }
    // A query text is one string or a list of lines.
    QString lines(const QJsonValue &v, const QString &key)
    {
        if (v.isString())
            return v.toString();
        if (v.isArray()) {
            QStringList out;
            for (const QJsonValue line : v.toArray()) {
                if (!line.isString()) {
                    problems
                        << QStringLiteral("as linhas da consulta '%1' devem ser textos").arg(key);
                    return {};
                }
                out << line.toString();
            }
            return out.join(QLatin1Char('\n'));
        }
        problems
            << QStringLiteral("a consulta '%1' deve ser um texto ou uma lista de linhas").arg(key);
        return {};
    }
    // Query texts per database kind.
    QMap<QString, QString> queries(const QJsonObject &q, const QString &where)
    {
        QMap<QString, QString> out;
        unknownKeys(q, queryKeys, where);
        for (auto it = q.begin(); it != q.end(); ++it)
            if (queryKeys.contains(it.key()))
                out.insert(it.key(), lines(it.value(), it.key()));
        return out;
    }
    HeadingItem headingItem(const QJsonValue &value, int n)
    {
        HeadingItem item;
        const QString where = QStringLiteral(" no item %1 do cabeçalho").arg(n);
        if (!value.isObject()) {
            problems << QStringLiteral("o item %1 do cabeçalho não é um objeto").arg(n);
            return item;
        }
        const QJsonObject o = value.toObject();
        unknownKeys(o,
                    {QStringLiteral("caption"), QStringLiteral("text"), QStringLiteral("list"),
                     QStringLiteral("empty"), QStringLiteral("counted"), QStringLiteral("lookup"),
                     QStringLiteral("masks"), QStringLiteral("summary")},
                    where);
        item.caption = text(o, QStringLiteral("caption"), where);
        item.text = text(o, QStringLiteral("text"), where);
        item.list = text(o, QStringLiteral("list"), where);
        item.empty = text(o, QStringLiteral("empty"), where);
        if (item.caption.trimmed().isEmpty())
            problems << QStringLiteral("falta a legenda ('caption')%1").arg(where);
        if (item.text.isEmpty() == item.list.isEmpty())
            problems << QStringLiteral("informe 'text' ou 'list'%1").arg(where);
        for (const QJsonValue c : o.value(QLatin1String("counted")).toArray())
            item.counted << c.toString();
        if (o.contains(QLatin1String("lookup"))) {
            if (o.value(QLatin1String("lookup")).isObject())
                item.lookup = queries(o.value(QLatin1String("lookup")).toObject(), where);
            else
                problems << QStringLiteral("'lookup'%1 deve ser um objeto de consultas").arg(where);
        }
        const QJsonObject masks = o.value(QLatin1String("masks")).toObject();
        for (auto it = masks.begin(); it != masks.end(); ++it)
            item.masks.insert(it.key(), it.value().toString());
        item.summary = o.value(QLatin1String("summary")).toBool();
        return item;
    }
};

Align alignFrom(const QString &name, bool *ok)
{
    *ok = true;
    if (name == QLatin1String("left"))
        return Align::Left;
    if (name == QLatin1String("center"))
        return Align::Center;
    if (name == QLatin1String("right"))
        return Align::Right;
    *ok = false;
    return Align::Left;
}

ColumnType typeFrom(const QString &name, bool *ok)
{
    *ok = true;
    if (name == QLatin1String("text"))
        return ColumnType::Text;
    if (name == QLatin1String("number"))
        return ColumnType::Number;
    if (name == QLatin1String("date"))
        return ColumnType::Date;
    *ok = false;
    return ColumnType::Text;
}

} // namespace

QString AlignName(Align align)
{
    switch (align) {
    case Align::Center:
        return QStringLiteral("center");
    case Align::Right:
        return QStringLiteral("right");
    case Align::Left:
        break;
    }
    return QStringLiteral("left");
}

QString TypeName(ColumnType type)
{
    switch (type) {
    case ColumnType::Number:
        return QStringLiteral("number");
    case ColumnType::Date:
        return QStringLiteral("date");
    case ColumnType::Text:
        break;
    }
    return QStringLiteral("text");
}

QPageSize PageSetup::pageSize() const
{
    if (size == QLatin1String("A3"))
        return QPageSize(QPageSize::A3);
    if (size == QLatin1String("Letter"))
        return QPageSize(QPageSize::Letter);
    if (size == QLatin1String("Legal"))
        return QPageSize(QPageSize::Legal);
    return QPageSize(QPageSize::A4);
}

QPageLayout PageSetup::pageLayout() const
{
    return QPageLayout(pageSize(), landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(marginLeft, marginTop, marginRight, marginBottom),
                       QPageLayout::Millimeter);
}

double PageSetup::printableWidth() const
{
    const QSizeF mm = pageSize().size(QPageSize::Millimeter);
    return (landscape ? mm.height() : mm.width()) - marginLeft - marginRight;
}

ReportLayout ReportLayout::load(const QString &path)
{
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        // Qt refuses a folder by itself, without a system error.
        const int cause = QFileInfo(path).isDir() ? EISDIR : errno;
        throw Exception(QStringLiteral("O layout de relatório '%1' não pôde ser lido: %2.")
                            .arg(path, cause != 0 ? SystemErrorText(cause) : file.errorString()));
    }
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw Exception(
            QStringLiteral(
                "O layout de relatório '%1' está corrompido: JSON inválido na posição %2 (%3).")
                .arg(path)
                .arg(parseError.offset)
                .arg(JsonErrorText(parseError.error)));
    if (!doc.isObject())
        throw Exception(
            QStringLiteral(
                "O layout de relatório '%1' está corrompido: o conteúdo não é um objeto JSON.")
                .arg(path));
    ReportLayout layout = fromJson(doc.object(), path);
    layout.path = path;
    return layout;
}

ReportLayout ReportLayout::fromJson(const QJsonObject &json, const QString &source)
{
    Reader r;
    ReportLayout l;
    r.unknownKeys(json,
                  {QStringLiteral("$schema"), QStringLiteral("version"), QStringLiteral("report"),
                   QStringLiteral("title"), QStringLiteral("queries"), QStringLiteral("columns"),
                   QStringLiteral("group"), QStringLiteral("totals"), QStringLiteral("grandTotal"),
                   QStringLiteral("page"), QStringLiteral("heading")},
                  QString());
    if (json.contains(QLatin1String("version")) &&
        json.value(QLatin1String("version")).toInt() != 1)
        r.problems << QStringLiteral("versão %1 não suportada (esperada 1)")
                          .arg(json.value(QLatin1String("version")).toVariant().toString());
    l.report = r.text(json, QStringLiteral("report"), QString());
    if (!json.contains(QLatin1String("title")))
        r.problems << QStringLiteral("falta o título ('title')");
    l.title = r.text(json, QStringLiteral("title"), QString());

    const QJsonValue queries = json.value(QLatin1String("queries"));
    if (!queries.isObject())
        r.problems << QStringLiteral("falta o objeto das consultas ('queries')");
    else
        l.queries = r.queries(queries.toObject(), QStringLiteral(" em 'queries'"));

    const QJsonValue columns = json.value(QLatin1String("columns"));
    if (!columns.isArray()) {
        r.problems << QStringLiteral("falta a lista de colunas ('columns')");
    } else {
        int n = 0;
        for (const QJsonValue value : columns.toArray()) {
            ++n;
            const QString where = QStringLiteral(" na coluna %1").arg(n);
            if (!value.isObject()) {
                r.problems << QStringLiteral("a coluna %1 não é um objeto").arg(n);
                continue;
            }
            const QJsonObject o = value.toObject();
            r.unknownKeys(o,
                          {QStringLiteral("field"), QStringLiteral("label"),
                           QStringLiteral("width"), QStringLiteral("align"), QStringLiteral("type"),
                           QStringLiteral("format")},
                          where);
            Column c;
            c.field = r.text(o, QStringLiteral("field"), where);
            c.label = r.text(o, QStringLiteral("label"), where, c.field);
            c.width = r.number(o, QStringLiteral("width"), where, c.width);
            bool ok = true;
            const QString align = r.text(o, QStringLiteral("align"), where, QStringLiteral("left"));
            c.align = alignFrom(align, &ok);
            if (!ok)
                r.problems << QStringLiteral("alinhamento '%1'%2 inválido (left, center ou right)")
                                  .arg(align, where);
            const QString type = r.text(o, QStringLiteral("type"), where, QStringLiteral("text"));
            c.type = typeFrom(type, &ok);
            if (!ok)
                r.problems << QStringLiteral("tipo '%1'%2 inválido (text, number ou date)")
                                  .arg(type, where);
            c.format = r.text(o, QStringLiteral("format"), where);
            l.columns << c;
        }
    }

    const QJsonValue group = json.value(QLatin1String("group"));
    if (group.isObject()) {
        const QJsonObject g = group.toObject();
        r.unknownKeys(
            g, {QStringLiteral("fields"), QStringLiteral("header"), QStringLiteral("footer")},
            QStringLiteral(" em 'group'"));
        const QJsonValue fields = g.value(QLatin1String("fields"));
        if (!fields.isArray())
            r.problems << QStringLiteral("o agrupamento ('group') precisa da lista 'fields'");
        for (const QJsonValue f : fields.toArray()) {
            GroupField gf;
            if (f.isString()) {
                gf.field = gf.label = f.toString();
            } else if (f.isObject()) {
                gf.field = f.toObject().value(QLatin1String("field")).toString();
                gf.label = f.toObject().value(QLatin1String("label")).toString(gf.field);
            }
            if (!validName(gf.field))
                r.problems << QStringLiteral("campo de agrupamento inválido");
            l.group.fields << gf;
        }
        l.group.header = r.text(g, QStringLiteral("header"), QStringLiteral(" em 'group'"));
        l.group.footer = r.text(g, QStringLiteral("footer"), QStringLiteral(" em 'group'"));
    } else if (!group.isUndefined() && !group.isNull()) {
        r.problems << QStringLiteral("o agrupamento ('group') deve ser um objeto");
    }

    const QJsonValue totals = json.value(QLatin1String("totals"));
    if (totals.isArray()) {
        for (const QJsonValue t : totals.toArray())
            l.totals << t.toString();
    } else if (!totals.isUndefined()) {
        r.problems << QStringLiteral("os totais ('totals') devem ser uma lista de campos");
    }
    l.grandTotal = r.text(json, QStringLiteral("grandTotal"), QString(), l.grandTotal);

    const QJsonValue page = json.value(QLatin1String("page"));
    if (page.isObject()) {
        const QJsonObject p = page.toObject();
        const QString where = QStringLiteral(" em 'page'");
        r.unknownKeys(p,
                      {QStringLiteral("size"), QStringLiteral("orientation"),
                       QStringLiteral("margins"), QStringLiteral("fontSize")},
                      where);
        l.page.size = r.text(p, QStringLiteral("size"), where, l.page.size);
        const QString orientation =
            r.text(p, QStringLiteral("orientation"), where, QStringLiteral("portrait"));
        if (orientation != QLatin1String("portrait") && orientation != QLatin1String("landscape"))
            r.problems << QStringLiteral("orientação '%1' inválida (portrait ou landscape)")
                              .arg(orientation);
        l.page.landscape = orientation == QLatin1String("landscape");
        const QJsonValue margins = p.value(QLatin1String("margins"));
        if (!margins.isUndefined()) {
            const QJsonArray m = margins.toArray();
            bool good = margins.isArray() && m.size() == 4;
            for (const QJsonValue v : m)
                good = good && v.isDouble() && v.toDouble() >= 0;
            if (good) {
                l.page.marginLeft = m.at(0).toDouble();
                l.page.marginTop = m.at(1).toDouble();
                l.page.marginRight = m.at(2).toDouble();
                l.page.marginBottom = m.at(3).toDouble();
            } else {
                r.problems << QStringLiteral("as margens devem ser quatro números não negativos "
                                             "(esquerda, topo, direita, base)");
            }
        }
        l.page.fontSize = r.number(p, QStringLiteral("fontSize"), where, l.page.fontSize);
    } else if (!page.isUndefined()) {
        r.problems << QStringLiteral("a página ('page') deve ser um objeto");
    }

    const QJsonValue heading = json.value(QLatin1String("heading"));
    if (heading.isArray()) {
        int n = 0;
        for (const QJsonValue value : heading.toArray())
            l.heading << r.headingItem(value, ++n);
    } else if (!heading.isUndefined()) {
        r.problems << QStringLiteral("o cabeçalho ('heading') deve ser uma lista");
    }

    r.problems << l.problems();
    r.problems.removeDuplicates();
    if (!r.problems.isEmpty())
        throw Exception(QStringLiteral("O layout de relatório '%1' está incorreto: %2.")
                            .arg(source, r.problems.join(QStringLiteral("; "))));
    return l;
}

QStringList ReportLayout::problems() const
{
    QStringList p;
    if (title.trimmed().isEmpty())
        p << QStringLiteral("o título está vazio");
    if (queries.value(QStringLiteral("SQL")).trimmed().isEmpty())
        p << QStringLiteral("falta o texto genérico da consulta ('SQL')");
    if (columns.isEmpty())
        p << QStringLiteral("não há colunas");
    QStringList seen;
    for (int i = 0; i < columns.size(); ++i) {
        const Column &c = columns.at(i);
        if (!validName(c.field))
            p << QStringLiteral("a coluna %1 não tem um campo válido ('field')").arg(i + 1);
        else if (seen.contains(c.field, Qt::CaseInsensitive))
            p << QStringLiteral("o campo '%1' aparece em mais de uma coluna").arg(c.field);
        seen << c.field;
        if (!(c.width > 0 && c.width <= 1000))
            p << QStringLiteral("a largura da coluna '%1' deve ser maior que zero").arg(c.field);
    }
    for (const QString &t : totals) {
        const int i = columnIndex(t);
        if (i < 0)
            p << QStringLiteral("o total '%1' não é uma coluna do layout").arg(t);
        else if (columns.at(i).type != ColumnType::Number)
            p << QStringLiteral("o total '%1' não é uma coluna numérica").arg(t);
    }
    if (!pageSizes.contains(page.size))
        p << QStringLiteral("tamanho de página '%1' desconhecido (A4, A3, Letter ou Legal)")
                 .arg(page.size);
    if (!(page.fontSize >= 5 && page.fontSize <= 24))
        p << QStringLiteral("o tamanho da fonte deve estar entre 5 e 24 pontos");
    double width = 0;
    for (const Column &c : columns)
        width += c.width;
    const double room = page.printableWidth();
    if (room <= 0)
        p << QStringLiteral("as margens não deixam espaço na página");
    else if (width > room + 0.01)
        p << QStringLiteral("as colunas somam %1 mm e a página comporta %2 mm")
                 .arg(ReportLocale().toString(width, 'f', 1),
                      ReportLocale().toString(room, 'f', 1));
    return p;
}

QJsonObject ReportLayout::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("version"), 1);
    if (!report.isEmpty())
        o.insert(QLatin1String("report"), report);
    o.insert(QLatin1String("title"), title);
    QJsonObject q;
    for (auto it = queries.begin(); it != queries.end(); ++it)
        if (!it.value().trimmed().isEmpty())
            q.insert(it.key(), QJsonArray::fromStringList(it.value().split(QLatin1Char('\n'))));
    o.insert(QLatin1String("queries"), q);
    QJsonArray cols;
    for (const Column &c : columns) {
        QJsonObject co{{QStringLiteral("field"), c.field},
                       {QStringLiteral("label"), c.label},
                       {QStringLiteral("width"), c.width},
                       {QStringLiteral("align"), AlignName(c.align)},
                       {QStringLiteral("type"), TypeName(c.type)}};
        if (!c.format.isEmpty())
            co.insert(QLatin1String("format"), c.format);
        cols.append(co);
    }
    o.insert(QLatin1String("columns"), cols);
    if (group.enabled()) {
        QJsonArray fields;
        for (const GroupField &f : group.fields)
            fields.append(QJsonObject{{QStringLiteral("field"), f.field},
                                      {QStringLiteral("label"), f.label}});
        o.insert(QLatin1String("group"), QJsonObject{{QStringLiteral("fields"), fields},
                                                     {QStringLiteral("header"), group.header},
                                                     {QStringLiteral("footer"), group.footer}});
    }
    o.insert(QLatin1String("totals"), QJsonArray::fromStringList(totals));
    if (!heading.isEmpty()) {
        auto texts = [](const QMap<QString, QString> &map) {
            QJsonObject q;
            for (auto it = map.begin(); it != map.end(); ++it)
                q.insert(it.key(), it.value());
            return q;
        };
        QJsonArray items;
        for (const HeadingItem &h : heading) {
            QJsonObject item{{QStringLiteral("caption"), h.caption}};
            if (h.list.isEmpty())
                item.insert(QLatin1String("text"), h.text);
            else
                item.insert(QLatin1String("list"), h.list);
            if (!h.empty.isEmpty())
                item.insert(QLatin1String("empty"), h.empty);
            if (!h.counted.isEmpty())
                item.insert(QLatin1String("counted"), QJsonArray::fromStringList(h.counted));
            if (!h.lookup.isEmpty())
                item.insert(QLatin1String("lookup"), texts(h.lookup));
            if (!h.masks.isEmpty())
                item.insert(QLatin1String("masks"), texts(h.masks));
            if (h.summary)
                item.insert(QLatin1String("summary"), true);
            items.append(item);
        }
        o.insert(QLatin1String("heading"), items);
    }
    o.insert(QLatin1String("grandTotal"), grandTotal);
    o.insert(
        QLatin1String("page"),
        QJsonObject{{QStringLiteral("size"), page.size},
                    {QStringLiteral("orientation"),
                     page.landscape ? QStringLiteral("landscape") : QStringLiteral("portrait")},
                    {QStringLiteral("margins"), QJsonArray{page.marginLeft, page.marginTop,
                                                           page.marginRight, page.marginBottom}},
                    {QStringLiteral("fontSize"), page.fontSize}});
    return o;
}

void ReportLayout::save(const QString &target) const
{
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        throw Exception(QStringLiteral("O layout de relatório '%1' não pôde ser gravado: %2.")
                            .arg(target, file.errorString()));
    file.write(QJsonDocument(toJson()).toJson(QJsonDocument::Indented));
    if (!file.commit())
        throw Exception(QStringLiteral("O layout de relatório '%1' não pôde ser gravado: %2.")
                            .arg(target, file.errorString()));
}

QString ReportLayout::queryText(DatabaseKind kind) const
{
    const QString own = queries.value(QueryKey(kind));
    return own.trimmed().isEmpty() ? queries.value(QStringLiteral("SQL")) : own;
}

QString ReportLayout::name() const
{
    if (!report.trimmed().isEmpty())
        return report.trimmed();
    if (!path.isEmpty())
        return QFileInfo(path).completeBaseName();
    return title;
}

int ReportLayout::columnIndex(const QString &field) const
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns.at(i).field.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool ReportLayout::isTotal(const QString &field) const
{
    return totals.contains(field, Qt::CaseInsensitive);
}

} // namespace Velmora::Reports
