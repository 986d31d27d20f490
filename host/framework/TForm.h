#pragma once

#include "framework_global.h"

#include <QPointer>
#include <QWidget>

#include <QMdiSubWindow>
class TApplication;

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

// A screen: a widget whose contents come from its form description, shown as a child window
// of the main window's document area. Derived screens name their description in
// DescriptionPath() and declare their handlers as Q_INVOKABLE methods.
class VELMORA_FRAMEWORK_EXPORT TForm : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int ClientWidth READ ClientWidth WRITE SetClientWidth)
    Q_PROPERTY(int ClientHeight READ ClientHeight WRITE SetClientHeight)
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(QString BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_PROPERTY(QString FormStyle READ FormStyle WRITE SetFormStyle)
    Q_PROPERTY(QString Position READ Position WRITE SetPosition)
    Q_PROPERTY(QString HelpFile READ HelpFile WRITE SetHelpFile)
    Q_PROPERTY(int HelpContext READ HelpContext WRITE SetHelpContext)
    Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)

public:
    // The application object owns every screen and destroys those left when it ends.
    explicit TForm(TApplication *owner);
    ~TForm() override;

    // Loads the description and runs the create event. Raises on failure.
    void Create();
    // The resource path of this screen's description (":/module/form/Screen.json").
    virtual QString DescriptionPath() const = 0;

protected:
    // Runs once the description is applied, before the create event: the place to look the
    // components up. Raises when one is missing.
    virtual void Loaded() {}

public:
    void Show();
    void Close();
    // Destroys the screen once the events already queued for it have been handled.
    void Release();
    void SetWindowState(TWindowState state);
    TWindowState WindowState() const;
    QMdiSubWindow *SubWindow() const { return m_subWindow; }

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString &caption);
    int ClientWidth() const { return width(); }
    void SetClientWidth(int w);
    int ClientHeight() const { return height(); }
    void SetClientHeight(int h);
    int Left() const { return m_left; }
    void SetLeft(int left) { m_left = left; }
    int Top() const { return m_top; }
    void SetTop(int top) { m_top = top; }
    QString BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(const QString &style) { m_borderStyle = style; }
    QString FormStyle() const { return m_formStyle; }
    void SetFormStyle(const QString &style) { m_formStyle = style; }
    QString Position() const { return m_position; }
    void SetPosition(const QString &position) { m_position = position; }
    QString HelpFile() const { return m_helpFile; }
    void SetHelpFile(const QString &file) { m_helpFile = file; }
    int HelpContext() const { return m_helpContext; }
    void SetHelpContext(int context) { m_helpContext = context; }
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool show) { m_showHint = show; }
    bool Visible() const { return m_visibleFlag; }
    void SetVisible(bool visible) { m_visibleFlag = visible; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

private:
    void ensureSubWindow();
    void activated();

    QPointer<QMdiSubWindow> m_subWindow;
    QString m_borderStyle = QStringLiteral("bsSizeable");
    QString m_formStyle = QStringLiteral("fsNormal");
    QString m_position = QStringLiteral("poDesigned");
    QString m_helpFile;
    int m_helpContext = 0;
    int m_left = 0;
    int m_top = 0;
    bool m_showHint = false;
    bool m_visibleFlag = false;
};
