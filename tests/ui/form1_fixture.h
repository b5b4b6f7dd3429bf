// Form1Fixture: a window with scripted dialogs and an export folder of its own, for tests
// that drive it through its controls as a user would.
#pragma once

#include "form1_widget.h"
#include "scripteddialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The labels that show counts: Label3, Label5, Label7..Label12.
inline const QStringList countNames = {"Label3", "Label5",  "Label7",  "Label8",
                                       "Label9", "Label10", "Label11", "Label12"};

class Form1Fixture {
protected:
    // For a test's init() and cleanup(): every test gets a fresh window and folder.
    void openWindow() {
        m_exportDir = std::make_unique<QTemporaryDir>();
        auto dialogs = std::make_unique<ScriptedDialogs>();
        m_dialogs = dialogs.get();
        m_form = new Form1Widget(std::move(dialogs));
        m_form->form().setExportFolder(m_exportDir->path().toStdString());
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form));
    }
    void closeWindow() {
        delete m_form;
        m_form = nullptr;
        m_dialogs = nullptr;
        m_exportDir.reset();
    }

    template <typename T = QWidget> T* control(const QString& name) const {
        T* found = m_form->findChild<T*>(name);
        if (!found)
            qFatal("Form1 has no %s named %s", T::staticMetaObject.className(), qPrintable(name));
        return found;
    }
    // A field's or a label's text.
    QString text(const QString& name) const {
        if (auto* field = m_form->findChild<QLineEdit*>(name))
            return field->text();
        return control<QLabel>(name)->text();
    }
    QStringList countTexts() const {
        QStringList texts;
        for (const QString& name : countNames)
            texts.append(text(name));
        return texts;
    }
    void click(const QString& name) { QTest::mouseClick(control(name), Qt::LeftButton); }

    std::unique_ptr<QTemporaryDir> m_exportDir;
    ScriptedDialogs* m_dialogs = nullptr;
    Form1Widget* m_form = nullptr;
};
