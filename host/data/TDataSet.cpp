#include "TDataSet.h"

#include "rtl/Exceptions.h"

#include <QTimer>

namespace {
// How often the rows a source gathered are taken while the event loop runs.
constexpr int ArrivalsIntervalMs = 20;
} // namespace

TDataSet::TDataSet(QObject *parent) : QObject(parent) {}

TDataSet::~TDataSet()
{
    dropSource();
    for (TField *f : std::as_const(m_fields))
        f->SetColumn(-1);
    // Fields outlive their dataset only as components of the screen; they forget it.
    const QList<TField *> fields = m_fields;
    m_fields.clear();
    for (TField *f : fields)
        if (!m_dynamicFields.contains(f))
            f->SetDataSet(nullptr);
}

void TDataSet::SetActive(bool active)
{
    if (active)
        Open();
    else
        Close();
}

void TDataSet::Open()
{
    if (m_active)
        return;
    try {
        DoOpen();
    } catch (...) {
        dropSource();
        m_columns.clear();
        m_rows.clear();
        m_active = false;
        throw;
    }
}

void TDataSet::Close()
{
    dropSource();
    m_fetchError.clear();
    if (!m_active && m_rows.isEmpty())
        return;
    DoClose();
    m_active = false;
    m_rows.clear();
    m_rows.squeeze();
    m_current = 0;
    m_eof = m_bof = true;
    emit DataChanged();
}

void TDataSet::SetData(QVector<Column> columns, QVector<QVector<QVariant>> rows)
{
    SetData(std::move(columns), std::move(rows), nullptr);
}

void TDataSet::SetData(QVector<Column> columns, QVector<QVector<QVariant>> rows,
                       std::unique_ptr<RowSource> rest)
{
    dropSource();
    m_fetchError.clear();
    m_columns = std::move(columns);
    m_rows = std::move(rows);
    m_active = true;
    try {
        bindFields();
    } catch (...) {
        m_active = false;
        m_columns.clear();
        m_rows.clear();
        throw;
    }
    m_source = std::move(rest);
    if (m_source) {
        if (!m_arrivals) {
            m_arrivals = new QTimer(this);
            m_arrivals->setInterval(ArrivalsIntervalMs);
            connect(m_arrivals, &QTimer::timeout, this, [this] { FetchArrived(); });
        }
        m_arrivals->start();
    }
    m_current = 0;
    m_bof = true;
    m_eof = m_rows.isEmpty();
    emit DataChanged();
    emit CurrentChanged(RecNo());
}

void TDataSet::dropSource()
{
    if (m_arrivals)
        m_arrivals->stop();
    if (!m_source)
        return;
    // The source goes first: a signal of this one must not find it half gone.
    std::unique_ptr<RowSource> source = std::move(m_source);
    source->Cancel();
}

void TDataSet::endFetch(const QString &error)
{
    dropSource();
    m_fetchError = error;
    emit FetchFinished();
}

// One packet from the source; false when none was added.
bool TDataSet::takePacket(bool wait)
{
    if (!m_source)
        return false;
    QVector<QVector<QVariant>> packet;
    bool more = false;
    try {
        more = m_source->Take(packet, wait);
    } catch (const Exception &e) {
        endFetch(e.Message());
        return false;
    }
    const int first = static_cast<int>(m_rows.size());
    if (!packet.isEmpty()) {
        if (m_rows.isEmpty())
            m_rows = std::move(packet);
        else
            m_rows.append(std::move(packet));
        emit RowsArrived(first, static_cast<int>(m_rows.size()) - first);
    }
    if (!more)
        endFetch(QString());
    return static_cast<int>(m_rows.size()) > first;
}

bool TDataSet::FetchArrived()
{
    bool added = false;
    while (m_source && takePacket(false))
        added = true;
    return added;
}

bool TDataSet::FetchUpTo(int row) const
{
    auto *self = const_cast<TDataSet *>(this);
    while (row >= static_cast<int>(m_rows.size()) && self->m_source)
        self->takePacket(true);
    if (row >= static_cast<int>(m_rows.size()) && !m_fetchError.isEmpty())
        throw EDatabaseError(m_fetchError);
    return row < static_cast<int>(m_rows.size());
}

QSet<QString> TDataSet::KeysInResult(const QString &fieldName, const QStringList &keys) const
{
    const TField *field = FieldByName(fieldName);
    const QSet<QString> wanted(keys.cbegin(), keys.cend());
    QSet<QString> found;
    for (int r = 0; found.size() < wanted.size() && FetchUpTo(r); ++r) {
        const QString text = field->TextAt(r);
        if (wanted.contains(text))
            found.insert(text);
    }
    return found;
}

std::unique_ptr<TDataSet> TDataSet::RowsStartingWith(const QString &, const QString &, int) const
{
    return nullptr;
}

int TDataSet::RecordCount() const
{
    if (!m_active)
        return 0;
    FetchAll();
    return static_cast<int>(m_rows.size());
}

void TDataSet::bindFields()
{
    if (!HasDeclaredFields()) {
        bindDynamicFields();
        return;
    }
    // Declared fields read the data now: fields an earlier result brought go.
    dropDynamicFields();
    for (TField *f : std::as_const(m_fields)) {
        int column = -1;
        for (int c = 0; c < m_columns.size() && column < 0; ++c)
            if (m_columns.at(c).name.compare(f->FieldName(), Qt::CaseInsensitive) == 0)
                column = c;
        if (column < 0)
            throw EDatabaseError(QStringLiteral("Campo '%1' não encontrado em '%2'.")
                                     .arg(f->FieldName(), objectName()));
        f->SetColumn(column);
    }
}

// Fields taken from the result's own columns; those of an earlier result with the same
// columns are kept, so a pointer to one stays good across a reopen.
void TDataSet::bindDynamicFields()
{
    bool same = m_dynamicFields.size() == m_columns.size();
    for (int c = 0; same && c < m_columns.size(); ++c)
        same = m_dynamicFields.at(c)->FieldName() == m_columns.at(c).name &&
               m_dynamicFields.at(c)->DataKind() == m_columns.at(c).kind;
    if (same)
        return;
    dropDynamicFields();
    for (int c = 0; c < m_columns.size(); ++c) {
        TField *f = m_columns.at(c).kind == TField::Kind::DateTime
                        ? static_cast<TField *>(new TDateTimeField(this))
                        : new TStringField(this);
        f->SetFieldName(m_columns.at(c).name);
        f->SetColumn(c);
        f->setObjectName(objectName() + m_columns.at(c).name);
        m_dynamicFields << f;
        f->SetDataSet(this);
    }
}

void TDataSet::dropDynamicFields()
{
    const QList<TField *> dynamic = m_dynamicFields;
    m_dynamicFields.clear();
    for (TField *f : dynamic) {
        m_fields.removeAll(f);
        delete f;
    }
}

bool TDataSet::HasDeclaredFields() const
{
    return m_fields.size() > m_dynamicFields.size();
}

bool TDataSet::IsDeclared(const TField *field) const
{
    return m_fields.contains(const_cast<TField *>(field)) &&
           !m_dynamicFields.contains(const_cast<TField *>(field));
}

void TDataSet::AddField(TField *field)
{
    if (!m_fields.contains(field))
        m_fields << field;
}

void TDataSet::RemoveField(TField *field)
{
    m_fields.removeAll(field);
    m_dynamicFields.removeAll(field);
}

QList<TField *> TDataSet::VisibleFields() const
{
    QList<TField *> visible;
    for (TField *f : m_fields)
        if (f->Visible())
            visible << f;
    return visible;
}

TField *TDataSet::FindField(const QString &fieldName) const
{
    for (TField *f : m_fields)
        if (f->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}

TField *TDataSet::FieldByName(const QString &fieldName) const
{
    if (TField *f = FindField(fieldName))
        return f;
    throw EDatabaseError(
        QStringLiteral("Campo '%1' não encontrado em '%2'.").arg(fieldName, objectName()));
}

QVariant TDataSet::Value(int row, int column) const
{
    if (!m_active || row < 0 || (row >= m_rows.size() && !FetchUpTo(row)))
        return {};
    const QVector<QVariant> &r = m_rows.at(row);
    return column >= 0 && column < r.size() ? r.at(column) : QVariant();
}

void TDataSet::MoveTo(int row)
{
    if (row >= 0)
        FetchUpTo(row);
    if (!m_active || m_rows.isEmpty())
        return;
    const int last = static_cast<int>(m_rows.size()) - 1;
    m_bof = row < 0;
    m_eof = row > last;
    m_current = qBound(0, row, last);
    emit CurrentChanged(m_current);
}

void TDataSet::First()
{
    MoveTo(0);
    m_bof = true;
}

void TDataSet::Next()
{
    if (Eof())
        return;
    MoveTo(m_current + 1);
}

void TDataSet::Prior()
{
    if (Bof())
        return;
    MoveTo(m_current - 1);
}

void TDataSet::Last()
{
    FetchAll();
    MoveTo(static_cast<int>(m_rows.size()) - 1);
    m_eof = true;
}

bool TDataSet::Locate(const QString &fieldName, const QVariant &value)
{
    const TField *f = FieldByName(fieldName);
    const QString wanted = ValueText(value, f->DataKind());
    for (int r = 0; FetchUpTo(r); ++r) {
        if (f->TextAt(r) == wanted) {
            MoveTo(r);
            return true;
        }
    }
    return false;
}
