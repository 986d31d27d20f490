#include "TDataSet.h"

#include "rtl/Exceptions.h"

TDataSet::TDataSet(QObject *parent) : QObject(parent) {}

TDataSet::~TDataSet()
{
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
        m_columns.clear();
        m_rows.clear();
        m_active = false;
        throw;
    }
}

void TDataSet::Close()
{
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
    m_current = 0;
    m_bof = true;
    m_eof = m_rows.isEmpty();
    emit DataChanged();
    emit CurrentChanged(RecNo());
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
    if (!m_active || row < 0 || row >= m_rows.size())
        return {};
    const QVector<QVariant> &r = m_rows.at(row);
    return column >= 0 && column < r.size() ? r.at(column) : QVariant();
}

void TDataSet::MoveTo(int row)
{
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
    MoveTo(static_cast<int>(m_rows.size()) - 1);
    m_eof = true;
}

bool TDataSet::Locate(const QString &fieldName, const QVariant &value)
{
    const TField *f = FieldByName(fieldName);
    const QString wanted = ValueText(value, f->DataKind());
    for (int r = 0; r < RecordCount(); ++r) {
        if (f->TextAt(r) == wanted) {
            MoveTo(r);
            return true;
        }
    }
    return false;
}
