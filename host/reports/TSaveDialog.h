#pragma once

#include "reports_global.h"

#include <QDate>
#include <QObject>
#include <QString>

// The save-as dialog of the report screen: asks the file through the dialog services, so
// tests and the batch runner answer it from their script. It opens in the folder the user
// last saved its report code in, kept in the user's own settings.
class VELMORA_REPORTS_EXPORT TSaveDialog : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_PROPERTY(QString Filter READ Filter WRITE SetFilter)
    Q_PROPERTY(QString DefaultExt READ DefaultExt WRITE SetDefaultExt)
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_PROPERTY(QString ReportCode READ ReportCode WRITE SetReportCode)

public:
    explicit TSaveDialog(QObject *owner) : QObject(owner) {}

    // True when a file was chosen; FileName then holds it, with DefaultExt added when the
    // name has no extension. A FileName with no folder is offered in the remembered one.
    bool Execute();

    QString Title() const { return m_title; }
    void SetTitle(const QString &t) { m_title = t; }
    QString Filter() const { return m_filter; }
    void SetFilter(const QString &f) { m_filter = f; }
    QString DefaultExt() const { return m_defaultExt; }
    void SetDefaultExt(const QString &e) { m_defaultExt = e; }
    QString FileName() const { return m_fileName; }
    void SetFileName(const QString &f) { m_fileName = f; }
    QString ReportCode() const { return m_reportCode; }
    void SetReportCode(const QString &c) { m_reportCode = c; }

    // "FIS014 2024-10-01 a 2024-12-31.pdf"; the code alone when the period is not known.
    static QString ProposedName(const QString &reportCode, const QDate &from, const QDate &to,
                                const QString &extension);
    // The folder a report's file was last saved in; empty when none was or it is gone.
    static QString RememberedFolder(const QString &reportCode);
    static void RememberFolder(const QString &reportCode, const QString &folder);

private:
    QString m_title = QStringLiteral("Salvar como");
    QString m_filter;
    QString m_defaultExt;
    QString m_fileName;
    QString m_reportCode;
};
