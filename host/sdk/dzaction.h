#pragma once
#include "dzglobal.h"
#include <QAction>
#include <QKeySequence>
#include <QString>

/// A host action. Triggering it calls executeAction().
class DZCORE_API DzAction : public QAction {
    Q_OBJECT
public:
    explicit DzAction(const QString &text = QString(), const QString &description = QString());
    ~DzAction() override;

    QString getDescription() const { return m_description; }

    virtual QString getActionGroup() const;       ///< "" here
    virtual QString getDefaultMenuPath() const;   ///< "" here
    virtual QString getDefaultToolBar() const;    ///< "" here
    virtual QKeySequence getDefaultAccel() const; ///< none here
    virtual void init();
    virtual void styleChange();
    virtual void updateInlineHelp();

    using QAction::setIcon;
    /// Sets the icon from an image file; a missing file leaves the action without an icon.
    void setIcon(const QString &imagePath);

public slots:
    /// The action's work; called when the action is triggered.
    virtual void executeAction() = 0;
    /// Called when a checkable action is toggled.
    virtual void toggleAction(bool onOff);

private:
    QString m_description;
};

/// An action the host lists among its create actions.
class DZCORE_API DzCreateItemAction : public DzAction {
    Q_OBJECT
public:
    explicit DzCreateItemAction(const QString &text = QString(), const QString &description = QString());
    QString getActionGroup() const override;      ///< "Create"
    QString getDefaultMenuPath() const override;  ///< "&Create"
};
