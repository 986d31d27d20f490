#pragma once

#include "ReportJob.h"
#include "ReportTestSupport.h"

#include <QCryptographicHash>
#include <QDate>
#include <QFile>

// What the FIS014 screen checks before a run, for the fixture's January 2024: a tax code for
// tax 01, the state registration 123456789 of company 01 and its assessment map of the month.
inline void AddFis014Registrations(TestDatabase &db)
{
    auto &c = db.connection();
    c.Execute(QStringLiteral("INSERT INTO IMPOSTO VALUES (?, ?, ?)"),
              {QStringLiteral("0001"), QStringLiteral("ICMS"), QStringLiteral("01")});
    c.Execute(QStringLiteral("INSERT INTO INSCRESTAD VALUES (?, ?)"),
              {QStringLiteral("01"), QStringLiteral("123456789")});
    c.Execute(QStringLiteral("INSERT INTO MAPAAPURACAO VALUES (?, ?, ?, ?, ?)"),
              {QStringLiteral("01"), QStringLiteral("01"), QStringLiteral("123456789"),
               QDate(2024, 1, 1), QDate(2024, 1, 31)});
}

inline QString Sha256Of(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(
        QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
}

// The job the screen would queue for those values, with the layout it had.
inline AppServer::Jobs::ReportJob Fis014Job(const QString &layoutPath, const QString &format)
{
    AppServer::Jobs::ReportJob job;
    job.id = QStringLiteral("job-17");
    job.screen = QStringLiteral("FIS01400");
    job.reportCode = QStringLiteral("FIS014");
    job.layoutFile = QStringLiteral("FIS014.json");
    job.layoutVersion = Sha256Of(layoutPath);
    job.format = format;
    job.params = {{QStringLiteral("P_CDEMPRESA"), QStringLiteral("01")},
                  {QStringLiteral("P_CDFILIAL"), QString(QLatin1String(""))},
                  {QStringLiteral("P_TCDFILIAL"), QStringLiteral("T")},
                  {QStringLiteral("P_CDFORNECED"), QString(QLatin1String(""))},
                  {QStringLiteral("P_TCDFORNECED"), QStringLiteral("T")},
                  {QStringLiteral("P_DTINICIAL"), QDate(2024, 1, 1)},
                  {QStringLiteral("P_DTFINAL"), QDate(2024, 1, 31)},
                  {QStringLiteral("P_CDINSCRICAO"), QStringLiteral("123456789")},
                  {QStringLiteral("P_CDIMPOSTO"), QStringLiteral("01")}};
    return job;
}
