#pragma once

#include "app/unit1.h"
#include "settings/kesto_ini.h"
#include "support/testsupport.h"
#include "support/windowsupport.h"
#include "worklist/memoedit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

// Helpers shared by the window's tests. The profile is the one beside the test executable
// (GetIniFileName), so each test writes the profile it needs and removes it afterwards.

// The list as the window shows it at start.
inline const QString placeholder = placeholderLine + QStringLiteral("\r\n");

inline QString profilePath()
{
    return GetIniFileName();
}

inline void writeProfile(const QByteArray &content)
{
    writeFile(profilePath(), content);
}

inline QByteArray readProfile()
{
    return readFile(profilePath());
}

// A profile that names fileName as the last file dropped, with the option as given and a
// placement.
inline QByteArray profileWithFile(const QString &fileName, bool autoExtract)
{
    return "[" + ExeName(false).toUtf8() + "]\nForm1=30:40:500:300\n[FICHIER]\nIMPORT="
            + fileName.toUtf8() + "\n[OPTIONS]\nchk_AUTO=" + (autoExtract ? "1" : "0") + "\n";
}

inline QList<QUrl> localUrls(const QStringList &fileNames)
{
    QList<QUrl> urls;
    for (const QString &fileName : fileNames)
        urls.append(QUrl::fromLocalFile(fileName));
    return urls;
}

// Drops files on the text area, and the window loads them. The drop is taken at once; the
// file is loaded once the event loop runs.
inline void dropFiles(MemoEdit *memo, const QStringList &fileNames)
{
    const QString before = memo->Lines()->Text();
    QVERIFY(sendDrop(memo, localUrls(fileNames)));
    QCOMPARE(memo->Lines()->Text(), before);
    QCoreApplication::sendPostedEvents();
}

// Calls answer with the next modal box or dialog once it is open; answer must close it.
inline void whenModalOpens(QObject *context, const std::function<void(QWidget *)> &answer)
{
    QTimer::singleShot(10, context, [context, answer] {
        if (QWidget *modal = QApplication::activeModalWidget())
            answer(modal);
        else
            whenModalOpens(context, answer);
    });
}

// The base of the tests that create the window themselves: each test function has a
// folder of its own, starts without a profile and collects the error boxes; createForm()
// runs the window's start-up. The test class calls initForm() from init() and
// cleanupForm() from cleanup().
class FormTest : public QObject
{
protected:
    void initForm()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QFile::remove(profilePath());
        m_boxes = std::make_unique<ErrorBoxes>();
    }

    void cleanupForm()
    {
        m_form.reset();
        m_boxes.reset();
        QFile::remove(profilePath());
        QDir(profilePath()).removeRecursively();
        m_dir.reset();
    }

    void createForm()
    {
        m_form = std::make_unique<TForm1>();
        m_memo = m_form->findChild<MemoEdit *>(QStringLiteral("Memo1"));
        QVERIFY(m_memo);
    }

    QString text() const { return m_memo->Lines()->Text(); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ErrorBoxes> m_boxes;
    std::unique_ptr<TForm1> m_form;
    MemoEdit *m_memo = nullptr;
};
