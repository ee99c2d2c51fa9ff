#include "plugin/style.h"

namespace orovista::style {

QString actionButton(bool bold)
{
    return QStringLiteral("* { \ncolor: rgba(255,255,255,255);\nbackground-color: rgba(") + accent +
           QStringLiteral(");\nwidth: 90px;\ntext-align:center;\nfont-size:14px;\nfont-weight:") +
           (bold ? QStringLiteral("bold") : QStringLiteral("normal")) +
           QStringLiteral(";\nborder:1px solid rgba(128,128,128,255);\n}") +
           // A button that cannot be pressed yet says so.
           QStringLiteral(" *:disabled { color: rgba(150,150,150,255); background-color: rgba(70,70,70,255); }");
}

QString label(const QString &objectName)
{
    return QStringLiteral("QLabel#") + objectName + QStringLiteral(" { \nfont-size:16px;\ncolor:rgba(") +
           lightText + QStringLiteral(");\n}");
}

QString smallPushButton(const QString &objectName, const QString &colour)
{
    return QStringLiteral("QPushButton#") + objectName +
           QStringLiteral(" { \nborder-width: 1px;\nborder-style: solid;\nbackground-color: rgba(") + colour +
           QStringLiteral(");\ncolor: rgba(255,255,255,255);\npadding:0px; margin:0px;\n"
                          "border-color: rgba(128,128,128,255);\nfont-size:12px;\nfont-weight:bold;\n}");
}

QString horizontalSlider(bool thin)
{
    if (thin)
        return QStringLiteral("QSlider::groove:horizontal{background: rgba(80,80,80,255); position: absolute; "
                              "top: 6px; bottom: 6px; } QSlider::handle:horizontal{width: 8px; background: rgba(") +
               accent + QStringLiteral("); margin: -6px 0; border:1px solid rgba(60,60,60,255); } ");
    return QStringLiteral("QSlider::groove:horizontal{background: rgba(60,60,60,255); position: absolute; "
                          "top: 6px; bottom: 6px; } QSlider::handle:horizontal{width: 16px; background: rgba(") +
           accent + QStringLiteral("); margin: -5px 0; border:1px solid rgba(60,60,60,255); } ");
}

QString verticalSlider()
{
    return QStringLiteral("QSlider::groove:vertical{background: rgba(60,60,60,255); position: absolute; left: 5px; "
                          "right: 5px; } QSlider::handle:vertical{height: 20px; background: rgba(") +
           accent + QStringLiteral("); margin: 0 -4px; border:1px solid rgba(60,60,60,255); } ");
}

QString spinBox()
{
    return QStringLiteral("QSpinBox {background: rgba(150,150,150,255); color:rgba(255,255,255,255)}");
}

QString tabPage(const QString &objectName)
{
    return QStringLiteral("QWidget#") + objectName +
           QStringLiteral(" { \nbackground-color: rgba(95,95,95,255);\n}");
}

QString toolButton(const QString &objectName, const QString &iconPath)
{
    return QStringLiteral("QPushButton#") + objectName + QStringLiteral(" { background-image: url(") + iconPath +
           QStringLiteral("); background-position: center; background-repeat: no-repeat; "
                          "border: 1px solid rgba(128,128,128,255); background-color: rgba(50,50,50,255); }");
}

QString backgroundImage(const QString &widgetClass, const QString &objectName, const QString &imagePath)
{
    return widgetClass + QLatin1Char('#') + objectName + QStringLiteral(" { \nbackground-image: url(") + imagePath +
           QStringLiteral(");\n}");
}

QString autoButton(bool on)
{
    if (on)
        return QStringLiteral("* { background-color:rgba(") + highlight + QStringLiteral("); color:rgba(25,25,25,255)  }");
    return QStringLiteral("* { background-color:rgb(95,95,95); color:rgba(255,255,255,255)  }");
}

QString tabBar()
{
    return QStringLiteral(
        "QTabWidget::tab-bar{alignment: center;} QTabBar::tab { background: rgba(50,50,50,255); padding: 6px; "
        "padding-left:12px; padding-right:12px; border: 0px solid rgba(50,50,50,255); border-bottom: 0px solid "
        "rgba(95,95,95,255);   } QTabBar::tab:selected {background: rgba(95,95,95,255); border: 2px solid "
        "rgba(95,95,95,255); color:rgb(255,255,255) } QTabBar::tab:!selected {margin-bottom:1px; border-left: 1px "
        "solid rgba(95,95,95,255);border-right: 1px solid rgba(95,95,95,255);border-top: 1px solid "
        "rgba(95,95,95,255); color:rgb(255,255,255) } QTabWidget::pane { border-top: 2px solid rgba(95,95,95,255); } "
        "QTabBar::tab:!selected:disabled { color:rgb(115,115,115) } ");
}

QString statusLine()
{
    return QStringLiteral("* { background-color: rgba(29,29,29,255); padding-left:6; color: rgba(248,196,95,255)}");
}

QString busyOverlay()
{
    return QStringLiteral("* { padding:16px; background-color:rgba(50,50,50,200); border-width: 1px; border-style: "
                          "solid; border-color: rgba(128,128,128,255); font-size:32px; width:580px; text-align:center; "
                          "color:rgba(") +
           lightText + QStringLiteral(")}");
}

}   // namespace orovista::style

#include <QApplication>
#include <QHash>
#include <QStyle>
#include <QStyleFactory>

namespace orovista::style {

QStyle *widgetStyle(const QString &name)
{
    static QHash<QString, QStyle *> styles;
    QStyle *&style = styles[name];
    if (!style) {
        style = QStyleFactory::create(name);
        if (!style)
            style = QStyleFactory::create(QStringLiteral("Fusion"));
        style->setParent(qApp);
        QObject::connect(style, &QObject::destroyed, [name] { styles.remove(name); });
    }
    return style;
}

}   // namespace orovista::style
