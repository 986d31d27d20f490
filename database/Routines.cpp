#include "Routines.h"

namespace Velmora::Db {

namespace {

// Polymorphic, so that NVL(:P, CDEMPRESA) takes the column's type for a parameter that has
// none; SQL functions are inlined by the planner.
const char *const postgresql[] = {
    R"(CREATE FUNCTION NVL(anyelement, anyelement) RETURNS anyelement
  LANGUAGE sql IMMUTABLE AS 'SELECT COALESCE($1, $2)')",
    // Two nulls match, as DECODE compares.
    R"(CREATE FUNCTION DECODE(anyelement, anyelement, anycompatible) RETURNS anycompatible
  LANGUAGE sql IMMUTABLE AS 'SELECT CASE WHEN $1 = $2 OR ($1 IS NULL AND $2 IS NULL) THEN $3 END')",
    R"(CREATE FUNCTION DECODE(anyelement, anyelement, anycompatible, anycompatible)
  RETURNS anycompatible LANGUAGE sql IMMUTABLE
  AS 'SELECT CASE WHEN $1 = $2 OR ($1 IS NULL AND $2 IS NULL) THEN $3 ELSE $4 END')",
    R"(CREATE FUNCTION INSTR(text, text) RETURNS integer
  LANGUAGE sql IMMUTABLE AS 'SELECT strpos($1, $2)')",
};

// PARAM(:P) joined in the FROM list gives the parameter a column of known type: a bare :P
// would be typed from its first use (CHAR(1) beside 'T') and a null would compare wrongly.
// 8191 characters is the widest VARCHAR in UTF8.
const char *const firebird[] = {
    R"(CREATE PROCEDURE PARAM (P VARCHAR(8191)) RETURNS (PARAM VARCHAR(8191))
AS
BEGIN
  PARAM = P;
  SUSPEND;
END)",
    R"(CREATE FUNCTION NVLSTR (A VARCHAR(8191), B VARCHAR(8191)) RETURNS VARCHAR(8191)
AS
BEGIN
  RETURN COALESCE(A, B);
END)",
    // The text searched is a BLOB: a report's selection string of thousands of keys passes
    // CAST(:P AS BLOB SUB_TYPE TEXT) here, far beyond any VARCHAR; a VARCHAR converts to it.
    R"(CREATE FUNCTION INSTR (A BLOB SUB_TYPE TEXT, B VARCHAR(8191)) RETURNS INTEGER
AS
BEGIN
  RETURN POSITION(B IN A);
END)",
};

template <size_t N> QStringList list(const char *const (&statements)[N])
{
    QStringList out;
    for (const char *s : statements)
        out << QString::fromUtf8(s);
    return out;
}

} // namespace

QStringList RoutineStatements(Engine engine)
{
    switch (engine) {
    case Engine::PostgreSQL:
        return list(postgresql);
    case Engine::Firebird:
        return list(firebird);
    default:
        return {};
    }
}

} // namespace Velmora::Db
