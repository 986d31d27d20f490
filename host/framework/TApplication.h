#pragma once

#include "framework_global.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <QMdiArea>
class TForm;

// The application object: owner of the screens, keeper of the screen cursor and of the main
// window's document area where screens live as child windows.
class VELMORA_FRAMEWORK_EXPORT TApplication : public QObject
{
    Q_OBJECT
public:
    static TApplication &instance();

    // Creates a screen owned by the application object (construction loads its description
    // and runs its create event; a failure propagates and nothing is left behind).
    template <class Form> Form *CreateForm()
    {
        auto *form = new Form(this);
        try {
            form->Create();
        } catch (...) {
            delete form;
            throw;
        }
        return form;
    }

    void SetMdiArea(QMdiArea *area);
    QMdiArea *MdiArea() const;

    // Screen cursor: -11 the hourglass, 0 the default, as the business code numbers them.
    void SetScreenCursor(int cursor);
    int ScreenCursor() const { return m_cursor; }

    // Screens released with Release() are deleted once their pending events are handled;
    // this delivers those deletions now (the package loader calls it before unloading).
    static void DeliverPendingDeletions();

    // Screens owned by the application object and not yet destroyed.
    QList<TForm *> Forms() const;
    void Adopt(TForm *form);

private:
    explicit TApplication(QObject *parent = nullptr);
    ~TApplication() override;

    QPointer<QMdiArea> m_area;
    int m_cursor = 0;
    QList<QPointer<TForm>> m_forms;
};

inline TApplication &Application()
{
    return TApplication::instance();
}
