// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 Quillon Softs
#include "platform/accessibility.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>

namespace {

// Qt's own interface for a combo box, but with the text the box shows: its placeholder while no
// entry is chosen. On Linux the name is that text too (the label comes as a relation), so a
// screen reader speaks it on focus and again on the change Qt reports for each arrow key.
class CAccessibleComboBox : public QAccessibleWidget {
public:
    explicit CAccessibleComboBox(QComboBox* pBox)
        : QAccessibleWidget(pBox, QAccessible::ComboBox) {}

    QString text(QAccessible::Text eText) const override {
        QString strText;
        if (eText == QAccessible::Name || eText == QAccessible::Value) {
            strText = ShownText();
        } else if (eText == QAccessible::Accelerator) {
            strText = QKeySequence(Qt::Key_Down).toString(QKeySequence::NativeText);
        }
        return strText.isEmpty() ? QAccessibleWidget::text(eText) : strText;
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = Box()->view()->isVisible();
        state.editable = Box()->isEditable();
        return state;
    }

    // The list that pops up, and the edit field of an editable box.
    int childCount() const override { return Box()->isEditable() ? 2 : 1; }

    QAccessibleInterface* child(int nIndex) const override {
        if (nIndex == 0) {
            return QAccessible::queryAccessibleInterface(Box()->view());
        }
        if (nIndex == 1 && Box()->isEditable()) {
            return QAccessible::queryAccessibleInterface(Box()->lineEdit());
        }
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface* pChild) const override {
        if (pChild == nullptr) {
            return -1;
        }
        if (pChild->object() == Box()->view()) {
            return 0;
        }
        return Box()->isEditable() && pChild->object() == Box()->lineEdit() ? 1 : -1;
    }

    QAccessibleInterface* childAt(int nX, int nY) const override {
        if (Box()->isEditable() &&
            Box()->lineEdit()->rect().contains(Box()->lineEdit()->mapFromGlobal(QPoint(nX, nY)))) {
            return child(1);
        }
        return nullptr;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }

    void doAction(const QString& strAction) override {
        if (strAction != showMenuAction() && strAction != pressAction()) {
            QAccessibleWidget::doAction(strAction);
        } else if (Box()->view()->isVisible()) {
            Box()->hidePopup();
        } else {
            Box()->showPopup();
        }
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QComboBox* Box() const { return static_cast<QComboBox*>(widget()); }

    QString ShownText() const {
        if (Box()->isEditable()) {
            return Box()->lineEdit()->text();
        }
        return Box()->currentIndex() < 0 ? Box()->placeholderText() : Box()->currentText();
    }
};

bool InExclusiveGroup(const QToolButton& button) {
    const QAction* pAction = button.defaultAction();
    return pAction != nullptr && pAction->actionGroup() != nullptr &&
           pAction->actionGroup()->isExclusive();
}

// One of several buttons of which one at most is down: what a screen reader calls a radio button,
// and reads as "n of m" among its fellows of the bar.
class CAccessibleRadioToolButton : public QAccessibleWidget {
public:
    explicit CAccessibleRadioToolButton(QToolButton* pButton)
        : QAccessibleWidget(pButton, QAccessible::RadioButton) {}

    QAccessible::Role role() const override {
        if (InExclusiveGroup(*Button())) {
            return QAccessible::RadioButton;
        }
        return Button()->isCheckable() ? QAccessible::CheckBox : QAccessible::Button;
    }

    QString text(QAccessible::Text eText) const override {
        QString strText = QAccessibleWidget::text(eText);
        if (eText == QAccessible::Name && strText.isEmpty()) {
            strText = Button()->text();
            strText.remove(QLatin1Char('&'));
        }
        return strText;
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = Button()->isCheckable();
        state.checked = Button()->isChecked();
        state.pressed = Button()->isDown();
        return state;
    }

    QStringList actionNames() const override {
        QStringList arrNames;
        if (Button()->isEnabled()) {
            arrNames << pressAction();
        }
        return arrNames + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& strAction) override {
        if (strAction == pressAction()) {
            if (Button()->isEnabled()) {
                Button()->click();
            }
        } else {
            QAccessibleWidget::doAction(strAction);
        }
    }

    QStringList keyBindingsForAction(const QString& strAction) const override {
        if (strAction == pressAction() && Button()->defaultAction() != nullptr) {
            QStringList arrKeys;
            for (const QKeySequence& key : Button()->defaultAction()->shortcuts()) {
                arrKeys << key.toString(QKeySequence::NativeText);
            }
            return arrKeys;
        }
        return QAccessibleWidget::keyBindingsForAction(strAction);
    }

private:
    QToolButton* Button() const { return static_cast<QToolButton*>(widget()); }
};

// Asked for each class name of an object, its own first: the answer for a QComboBox or a
// QToolButton is given when that name comes, so a subclass with an interface of its own keeps it.
QAccessibleInterface* MakeInterface(const QString& strClass, QObject* pObject) {
    if (strClass == QLatin1String("QComboBox")) {
        if (auto* pBox = qobject_cast<QComboBox*>(pObject)) {
            return new CAccessibleComboBox(pBox);
        }
    } else if (strClass == QLatin1String("QToolButton")) {
        auto* pButton = qobject_cast<QToolButton*>(pObject);
        if (pButton != nullptr && InExclusiveGroup(*pButton)) {
            return new CAccessibleRadioToolButton(pButton);
        }
    }
    return nullptr;
}

} // namespace

void InstallAccessibleInterfaces() {
    // Factories installed later are asked first: ours comes after Qt's own, which QApplication
    // installs.
    static const bool s_bInstalled = [] {
        QAccessible::installFactory(&MakeInterface);
        return true;
    }();
    (void)s_bInstalled;
}
