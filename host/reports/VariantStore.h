#pragma once

#include "reports_global.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace Velmora {
class DBConnection;
}

namespace Velmora::Reports {

// A screen's parameter values saved under a name ("variante").
struct SavedVariant
{
    QString screen, name, owner;
    QJsonObject values;
    QDateTime created, changed, lastUsed; // lastUsed invalid when never loaded
    bool isDefault = false;
};

// The saved parameter sets and each user's last values of the report screens, in the table
// VARIANTETELA. Names are trimmed and have 1 to 40 characters. Every failure raises
// EDatabaseError or Exception with a message in the user's words; a database without the
// table is told to run velmora-db upgrade.
class VELMORA_REPORTS_EXPORT VariantStore
{
public:
    explicit VariantStore(Velmora::DBConnection *db);

    // Named sets of a screen, of every owner, by name then owner.
    QList<SavedVariant> list(const QString &screen) const;
    // The set of that name: the owner's own first, else the only other owner's; none when
    // absent (or when several other owners have that name and none is the owner's).
    std::optional<SavedVariant> find(const QString &screen, const QString &name,
                                     const QString &owner) const;
    // Inserts or replaces the owner's set of that name (keeps created and the default mark on
    // replace; sets changed to now).
    void save(const QString &screen, const QString &owner, const QString &name,
              const QJsonObject &values);
    // Raises when `to` is taken by the same owner or `from` is not the owner's.
    void rename(const QString &screen, const QString &owner, const QString &from,
                const QString &to);
    // Raises when the owner has no set of that name.
    void remove(const QString &screen, const QString &owner, const QString &name);
    // Makes it the owner's only default for the screen; an empty name clears it.
    void setDefault(const QString &screen, const QString &owner, const QString &name);
    std::optional<SavedVariant> defaultFor(const QString &screen, const QString &owner) const;
    // Records a load (DTULTIMOUSO = now) of the set of that owner.
    void markUsed(const QString &screen, const QString &setOwner, const QString &name);
    void saveLastValues(const QString &screen, const QString &owner, const QJsonObject &values);
    std::optional<QJsonObject> lastValues(const QString &screen, const QString &owner) const;

private:
    Velmora::DBConnection &connection() const;
    QList<SavedVariant> select(const QString &where, const QVariantList &values) const;
    // Inserts the row, or replaces its values when it exists.
    void put(const QString &screen, const QString &owner, const QString &type, const QString &name,
             const QJsonObject &values);
    // Runs the writes in one transaction unless the connection is already in one.
    void inTransaction(const std::function<void()> &writes);
    [[noreturn]] void noSuchSet(const QString &screen, const QString &owner,
                                const QString &name) const;

    Velmora::DBConnection *m_db;
};

} // namespace Velmora::Reports
