#pragma once
// Checks that a window shows its texts whole: every label and button is at
// least as wide as its text needs, wrapped labels are tall enough, and the
// controls of a fixed-size dialog do not overlap. With ORVANTA_SCREENSHOT_DIR
// set, the window is also saved there as a picture to look at.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <gtest/gtest.h>

namespace orv::test {

inline void saveScreenshot(QWidget* w, const QString& name)
{
    const QString dir = qEnvironmentVariable("ORVANTA_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        w->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

inline void expectTextsWhole(QWidget* window)
{
    for (QLabel* l : window->findChildren<QLabel*>()) {
        if (!l->isVisibleTo(window) || l->text().isEmpty() || l->pixmap().toImage().width() > 0)
            continue;
        if (l->wordWrap())
            EXPECT_LE(l->heightForWidth(l->width()), l->height() + 1) << l->text().toStdString();
        else
            EXPECT_GE(l->width() + 1, l->sizeHint().width()) << l->text().toStdString();
    }
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(window) || b->text().isEmpty())
            continue;
        // The text and icon themselves, not the style's minimum button width.
        const QString text = QString(b->text()).remove(QLatin1Char('&'));
        const int needed = b->fontMetrics().horizontalAdvance(text) + (b->icon().isNull() ? 0 : b->iconSize().width() + 4) + 8;
        EXPECT_GE(b->width(), needed) << text.toStdString();
    }
}

inline void expectNoOverlap(QWidget* dialog)
{
    QList<QWidget*> controls;
    for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if ((qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractButton*>(w)
             || qobject_cast<QAbstractSpinBox*>(w))
            && w->isVisibleTo(dialog))
            controls << w;
    for (int i = 0; i < controls.size(); ++i)
        for (int j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << controls[i]->objectName().toStdString() << "/" << controls[j]->objectName().toStdString();
    for (QWidget* w : controls)
        EXPECT_TRUE(dialog->rect().contains(w->geometry())) << w->objectName().toStdString();
}

} // namespace orv::test
