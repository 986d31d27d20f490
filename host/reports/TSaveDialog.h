#pragma once

#include "reports_global.h"

#include <QObject>
#include <QString>

// The save-as dialog of the report screen: asks the file through the dialog services, so
// tests and the batch runner answer it from their script.
class VELMORA_REPORTS_EXPORT TSaveDialog : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_PROPERTY(QString Filter READ Filter WRITE SetFilter)
    Q_PROPERTY(QString DefaultExt READ DefaultExt WRITE SetDefaultExt)
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)

public:
    explicit TSaveDialog(QObject *owner) : QObject(owner) {}

    // True when a file was chosen; FileName then holds it, with DefaultExt added when the
    // name has no extension.
    bool Execute();

    QString Title() const { return m_title; }
    void SetTitle(const QString &t) { m_title = t; }
    QString Filter() const { return m_filter; }
    void SetFilter(const QString &f) { m_filter = f; }
    QString DefaultExt() const { return m_defaultExt; }
    void SetDefaultExt(const QString &e) { m_defaultExt = e; }
    QString FileName() const { return m_fileName; }
    void SetFileName(const QString &f) { m_fileName = f; }

private:
    QString m_title = QStringLiteral("Salvar como");
    QString m_filter;
    QString m_defaultExt;
    QString m_fileName;
};
