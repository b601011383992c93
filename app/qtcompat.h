#pragma once

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QStyleOptionViewItem>

// The only places where Qt 5 and Qt 6 need different code; everything else is
// written once for both.
namespace QtCompat {

// On a 200 % screen the whole window doubles, pixel sizes and icons too, rather
// than only the fonts: Qt 6 always does so, Qt 5 must be asked before the
// application object exists.
inline void scaleWithScreen()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
}

// The style options `view` draws its items with. Qt 5 and Qt 6 name the
// protected member differently; a derived class may name it for any view.
inline QStyleOptionViewItem viewItemOption(const QAbstractItemView *view)
{
    struct Access : QAbstractItemView
    {
        static QStyleOptionViewItem of(const QAbstractItemView *view)
        {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
            QStyleOptionViewItem option;
            (view->*&Access::initViewItemOption)(&option);
            return option;
#else
            return (view->*&Access::viewOptions)();
#endif
        }
    };
    return Access::of(view);
}

} // namespace QtCompat
