#include "TApplication.h"

#include "TForm.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>

TApplication::TApplication(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("Application"));
}

TApplication &TApplication::instance()
{
    // Parented to the Qt application so that the screens go with it.
    static QPointer<TApplication> app;
    if (!app)
        app = new TApplication(QCoreApplication::instance());
    return *app;
}

void TApplication::SetMdiArea(QMdiArea *area)
{
    m_area = area;
}

QMdiArea *TApplication::MdiArea() const
{
    return m_area;
}

void TApplication::SetScreenCursor(int cursor)
{
    if (cursor == m_cursor)
        return;
    if (m_cursor != 0)
        QGuiApplication::restoreOverrideCursor();
    if (cursor != 0)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_cursor = cursor;
}

void TApplication::DeliverPendingDeletions()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TApplication::~TApplication()
{
    for (const QPointer<TForm> &form : std::as_const(m_forms))
        delete form.data();
}

QList<TForm *> TApplication::Forms() const
{
    QList<TForm *> forms;
    for (const QPointer<TForm> &form : m_forms)
        if (form)
            forms << form.data();
    return forms;
}

void TApplication::Adopt(TForm *form)
{
    m_forms.removeAll(nullptr);
    m_forms << form;
}
