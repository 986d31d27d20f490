#pragma once

#include "RelativePeriod.h"
#include "VariantStore.h"
#include "reports_global.h"

#include <QJsonObject>
#include <QList>
#include <QString>

class TfrmDadosGerRel;

namespace Velmora::Reports {

// The saved parameter sets of one report screen and the clerk's last values, in the store of
// the shared database. The values are those of the screen's parameter group (grbDadosRel) and
// the lists the screen reports through ListSelections; the owner is the user of this session.
class VELMORA_REPORTS_EXPORT ScreenVariants
{
public:
    explicit ScreenVariants(TfrmDadosGerRel *screen);

    // The screen code the sets are kept under: lblCodTela's caption, else the report code.
    QString ScreenCode() const;
    QString Owner() const;
    TfrmDadosGerRel *Screen() const { return m_screen; }

    QList<SavedVariant> List() const;
    // The relative period a set's values keep (RelativePeriodKey), empty for fixed dates.
    static QString PeriodKeyOf(const QJsonObject &values);
    // The screen's values now, the period kept as `period`; raises when the screen has no
    // period to make relative.
    QJsonObject Capture(RelativePeriod period) const;
    void Save(const QString &name, RelativePeriod period);
    // Writes the set into the screen as typing would (ParameterSet.h); raises when there is no
    // set of that name. Returns whether every check passed.
    bool Load(const QString &name);
    void Rename(const QString &from, const QString &to);
    void Remove(const QString &name);
    void SetDefault(const QString &name);
    // At the screen's opening: the owner's default set, if any. A store that cannot answer
    // (no table yet, the database away) leaves the screen as it is.
    void LoadDefault();
    // After a report ran with these values.
    void RememberLast(const QJsonObject &values);
    // Raises when the owner has none for this screen.
    bool LoadLast();
    // The set's values written into the screen; `label` names them in messages.
    bool Apply(const QJsonObject &values, const QString &label);

private:
    VariantStore store() const;

    TfrmDadosGerRel *m_screen;
};

} // namespace Velmora::Reports
