#pragma once

#include "data/TDataSource.h"
#include "framework/ControlState.h"

#include <QPointer>
#include <QToolButton>

// The lookup button beside a field. A press runs, through the dispatch boundary:
// OnBeforePesq (sender, bool& go on: true unless the handler clears it), then the search
// dialog titled Title over DataSource's dataset, or EmptyError when that dataset has no row
// (or there is no DataSource), then OnAfterPesq with the dataset standing on the chosen
// row; the focus then goes to Associate. A cancelled search runs nothing more. A button with
// an OnClick handler and no lookup events runs only that handler.
// It takes no keyboard focus; F4 in its Associate presses it while it is enabled.
// A button that picks a list (PesquisaLista over its DataSource) tells in its hint how many
// rows the list holds, in the words of HintOnePicked ("1 fornecedor selecionado") and
// HintPicked ("%1 fornecedores selecionados"); an empty list, or a button disabled (its
// list no longer applies), shows the hint it was given.
class VELMORA_FRAMEWORK_EXPORT TBtnPesquisa : public QToolButton
{
    Q_OBJECT
    VELMORA_CONTROL
    Q_PROPERTY(QWidget *Associate READ Associate WRITE SetAssociate)
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_PROPERTY(QString Subtitle READ Subtitle WRITE SetSubtitle)
    Q_PROPERTY(TDataSource *DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString EmptyError READ EmptyError WRITE SetEmptyError)
    Q_PROPERTY(QString HintOnePicked READ HintOnePicked WRITE SetHintOnePicked)
    Q_PROPERTY(QString HintPicked READ HintPicked WRITE SetHintPicked)

public:
    explicit TBtnPesquisa(QWidget *parent = nullptr);
    ~TBtnPesquisa() override;

    QWidget *Associate() const { return m_associate; }
    void SetAssociate(QWidget *associate);
    QString Title() const { return m_title; }
    void SetTitle(const QString &title) { m_title = title; }
    // A second text of the button, kept for the screen's use; the button shows neither.
    QString Subtitle() const { return m_subtitle; }
    void SetSubtitle(const QString &text) { m_subtitle = text; }
    TDataSource *DataSource() const { return m_dataSource; }
    void SetDataSource(TDataSource *dataSource);
    QString EmptyError() const { return m_emptyError; }
    void SetEmptyError(const QString &text) { m_emptyError = text; }
    QString HintOnePicked() const { return m_hintOnePicked; }
    void SetHintOnePicked(const QString &text) { m_hintOnePicked = text; }
    QString HintPicked() const { return m_hintPicked; }
    void SetHintPicked(const QString &text) { m_hintPicked = text; }

    // Runs a press as the user's click does (through the dispatch boundary). Returns false
    // when it ended by an exception.
    bool Press();
    // The press itself, for form code that presses the button: exceptions reach the caller.
    void RunPress();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void showPicked(int count);

    QPointer<QWidget> m_associate;
    QPointer<TDataSource> m_dataSource;
    QString m_title;
    QString m_subtitle;
    QString m_emptyError;
    QString m_hintOnePicked;
    QString m_hintPicked;
    QString m_plainHint;
    int m_picked = 0;
};
